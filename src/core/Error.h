#pragma once

#include <QString>

// What a failed operation tells its caller: nothing throws across a layer boundary.
struct Error {
    QString domain;
    int code = 0;
    QString description;

    friend bool operator==(const Error&, const Error&) = default;
};

// Fills an optional error out-parameter.
inline void setError(Error* error, const QString& domain, int code, const QString& description) {
    if (error)
        *error = Error{domain, code, description};
}
