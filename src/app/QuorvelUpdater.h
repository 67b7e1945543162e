#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>

class QuorvelUpdater;

class QuorvelUpdaterDelegate {
public:
    virtual ~QuorvelUpdaterDelegate() = default;
    virtual void updaterDidFinish(QuorvelUpdater* updater) = 0;
};

// The upgrade check and its screen. The version that the stored data belongs to is kept in the
// user defaults under "LastKnownUpdate".
//
// The migration steps themselves are not built yet: needsUpdate() answers NO, and start()
// reports that it has finished at once.
class QuorvelUpdater : public QObject {
    Q_OBJECT
public:
    static const QString currentVersion; // "1.1.0"

    static bool needsUpdate();
    // Stores the version and writes the user defaults at once.
    static void storeLastKnownUpdateVersion(const QString& version);
    // Null when none is stored.
    static QString lastKnownUpdateVersion();

    QuorvelUpdater();
    ~QuorvelUpdater() override;

    QuorvelUpdaterDelegate* delegate() const { return m_delegate; }
    void setDelegate(QuorvelUpdaterDelegate* delegate) { m_delegate = delegate; }
    QWidget* view();
    void start();

private:
    QuorvelUpdaterDelegate* m_delegate = nullptr;
    QPointer<QWidget> m_view;
};
