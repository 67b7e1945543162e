#include "platform/SecureStore.h"

#include <QtGlobal>

#include <libsecret/secret.h>

namespace SecureStore {
namespace {

const SecretSchema* schema() {
    static const SecretSchema passwordSchema = [] {
        SecretSchema value{};
        value.name = "org.quorvel.Password";
        value.flags = SECRET_SCHEMA_NONE;
        value.attributes[0] = {"service", SECRET_SCHEMA_ATTRIBUTE_STRING};
        value.attributes[1] = {"account", SECRET_SCHEMA_ATTRIBUTE_STRING};
        return value;
    }();
    return &passwordSchema;
}

int32_t statusOf(GError* error) {
    int32_t status = errSecInternalComponent;
    if (error->domain == SECRET_ERROR) {
        switch (error->code) {
        case SECRET_ERROR_IS_LOCKED:
            status = errSecInteractionNotAllowed;
            break;
        case SECRET_ERROR_NO_SUCH_OBJECT:
            status = errSecItemNotFound;
            break;
        case SECRET_ERROR_ALREADY_EXISTS:
            status = errSecDuplicateItem;
            break;
        default:
            break;
        }
    } else if (error->domain == G_DBUS_ERROR || error->domain == G_IO_ERROR ||
               error->domain == G_SPAWN_ERROR) {
        status = errSecNotAvailable;
    }
    qWarning("Secure store: %s (status %d)", error->message, int(status));
    g_error_free(error);
    return status;
}

SecretService* service(int32_t* status) {
    GError* error = nullptr;
    SecretService* connection =
        secret_service_get_sync(SECRET_SERVICE_OPEN_SESSION, nullptr, &error);
    if (!connection)
        *status = error ? statusOf(error) : errSecNotAvailable;
    return connection;
}

GHashTable* attributes(const QString& service, const QString& account) {
    return secret_attributes_build(schema(), "service", service.toUtf8().constData(), "account",
                                   account.toUtf8().constData(), nullptr);
}

struct Search {
    int32_t status = errSecSuccess;
    GList* items = nullptr;
    ~Search() { g_list_free_full(items, g_object_unref); }
};

void search(const QString& serviceName, const QString& account, bool loadSecrets, Search* result) {
    SecretService* connection = service(&result->status);
    if (!connection)
        return;
    GHashTable* query = attributes(serviceName, account);
    GError* error = nullptr;
    int flags = SECRET_SEARCH_ALL | (loadSecrets ? SECRET_SEARCH_LOAD_SECRETS : 0);
    result->items = secret_service_search_sync(connection, schema(), query,
                                               SecretSearchFlags(flags), nullptr, &error);
    g_hash_table_unref(query);
    g_object_unref(connection);
    if (error)
        result->status = statusOf(error);
}

SecretValue* secretValue(const QByteArray& data) {
    return secret_value_new(data.constData(), gssize(data.size()), "text/plain");
}

} // namespace

int32_t findItem(const QString& service, const QString& account, bool wantData,
                 std::optional<QByteArray>* data) {
    if (data)
        data->reset();
    Search found;
    search(service, account, wantData, &found);
    if (found.status != errSecSuccess)
        return found.status;
    if (!found.items)
        return errSecItemNotFound;
    auto* item = static_cast<SecretItem*>(found.items->data);
    if (!wantData)
        return errSecSuccess;
    // Asking for a locked item's secret would need a prompt, which a headless program cannot show.
    if (secret_item_get_locked(item))
        return errSecInteractionNotAllowed;
    if (SecretValue* value = secret_item_get_secret(item)) {
        gsize length = 0;
        const gchar* bytes = secret_value_get(value, &length);
        if (data && bytes)
            *data = QByteArray(bytes, qsizetype(length));
        secret_value_unref(value);
    }
    return errSecSuccess;
}

int32_t addItem(const QString& serviceName, const QString& account, const QString& label,
                const QByteArray& data) {
    int32_t status = errSecSuccess;
    SecretService* connection = service(&status);
    if (!connection)
        return status;
    GError* error = nullptr;
    SecretCollection* collection = secret_collection_for_alias_sync(
        connection, SECRET_COLLECTION_DEFAULT, SECRET_COLLECTION_NONE, nullptr, &error);
    g_object_unref(connection);
    if (error)
        return statusOf(error);
    if (!collection)
        return errSecNotAvailable;
    if (secret_collection_get_locked(collection)) {
        g_object_unref(collection);
        return errSecInteractionNotAllowed;
    }
    GHashTable* itemAttributes = attributes(serviceName, account);
    SecretValue* value = secretValue(data);
    SecretItem* item =
        secret_item_create_sync(collection, schema(), itemAttributes, label.toUtf8().constData(),
                                value, SECRET_ITEM_CREATE_NONE, nullptr, &error);
    secret_value_unref(value);
    g_hash_table_unref(itemAttributes);
    g_object_unref(collection);
    if (item)
        g_object_unref(item);
    if (error)
        return statusOf(error);
    return item ? errSecSuccess : errSecInternalComponent;
}

// Runs action on every item stored for (service, account); the first failure ends the walk.
// No such item is a failure of its own.
template <typename Action>
int32_t forEachItem(const QString& service, const QString& account, Action action) {
    Search found;
    search(service, account, false, &found);
    if (found.status != errSecSuccess)
        return found.status;
    if (!found.items)
        return errSecItemNotFound;
    for (GList* entry = found.items; entry; entry = entry->next) {
        const int32_t status = action(static_cast<SecretItem*>(entry->data));
        if (status != errSecSuccess)
            return status;
    }
    return errSecSuccess;
}

int32_t updateItem(const QString& service, const QString& account, const QByteArray& data) {
    return forEachItem(service, account, [&data](SecretItem* item) {
        if (secret_item_get_locked(item))
            return errSecInteractionNotAllowed;
        GError* error = nullptr;
        SecretValue* value = secretValue(data);
        secret_item_set_secret_sync(item, value, nullptr, &error);
        secret_value_unref(value);
        return error ? statusOf(error) : errSecSuccess;
    });
}

int32_t deleteItems(const QString& service, const QString& account) {
    return forEachItem(service, account, [](SecretItem* item) {
        GError* error = nullptr;
        secret_item_delete_sync(item, nullptr, &error);
        return error ? statusOf(error) : errSecSuccess;
    });
}

int32_t countItems(const QString& service, const QString& account, int* count) {
    Search found;
    search(service, account, false, &found);
    *count = int(g_list_length(found.items));
    return found.status;
}

} // namespace SecureStore
