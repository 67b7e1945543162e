#include "app/QuorvelUpdater.h"

#include "core/Settings.h"

#include <QSettings>
#include <QTimer>

const QString QuorvelUpdater::currentVersion = QStringLiteral("1.1.0");

namespace {
const QString kLastKnownUpdate = QStringLiteral("LastKnownUpdate");
}

bool QuorvelUpdater::needsUpdate() {
    // TODO(migration): lastKnownUpdateVersion() != currentVersion once the migration steps exist.
    return false;
}

void QuorvelUpdater::storeLastKnownUpdateVersion(const QString& version) {
    auto defaults = Settings::userDefaults();
    defaults->setValue(kLastKnownUpdate, version);
    defaults->sync();
}

QString QuorvelUpdater::lastKnownUpdateVersion() {
    QVariant value = Settings::userDefaults()->value(kLastKnownUpdate);
    return value.isValid() ? value.toString() : QString();
}

QuorvelUpdater::QuorvelUpdater() = default;

QuorvelUpdater::~QuorvelUpdater() {
    delete m_view.data();
}

QWidget* QuorvelUpdater::view() {
    if (!m_view)
        m_view = new QWidget;
    return m_view;
}

void QuorvelUpdater::start() {
    QTimer::singleShot(0, this, [this] {
        if (m_delegate)
            m_delegate->updaterDidFinish(this);
    });
}
