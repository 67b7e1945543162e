#pragma once

#include "app/QuorvelUpdater.h"
#include "connections/AbstractConnectionProtocol.h"
#include "platform/ViewController.h"

#include <QApplication>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QUrl>
#include <QVariantMap>

#include <memory>
#include <optional>

class NavigationController;
class AlertView;
class Window;

// The application delegate: decides what the user sees first (the upgrade migration or the
// projects), takes in documents handed over by other applications, and answers the program's
// own URL scheme "quorvel".
class QuorvelAppDelegate : public QObject, public QuorvelUpdaterDelegate {
    Q_OBJECT
public:
    static const QString launchOptionsURLKey; // "UIApplicationLaunchOptionsURLKey"

    // Creates the window (768 × 1024) and the root navigation controller, as the main interface
    // file would.
    explicit QuorvelAppDelegate(QObject* parent = nullptr);
    ~QuorvelAppDelegate() override;

    Window* window() const { return m_window.get(); }
    NavigationController* navigationController() const { return m_navigationController; }
    // Held from launch until the projects have been shown.
    std::optional<QVariantMap> launchOptions() const { return m_launchOptions; }

    bool applicationDidFinishLaunchingWithOptions(QApplication* application,
                                                  const std::optional<QVariantMap>& launchOptions);
    bool applicationHandleOpenURL(QApplication* application, const QUrl& url);
    // A URL handed over by a later start while this program runs: own-scheme URLs go to
    // applicationHandleOpenURL, documents are taken in as at launch.
    void applicationDidReceiveURLFromAnotherStart(QApplication* application, const QUrl& url);

    void showUpdater();
    void updaterDidFinish(QuorvelUpdater* updater) override;
    void showProjects();

    // The project database must be usable before anything else runs. None when it is; else the
    // reason, which has also been written to stderr and shown in an alert titled "Error" in a
    // window of its own, which closes when the alert is dismissed.
    static std::optional<QString> checkProjectStore(AlertView** alert = nullptr);

protected:
    // The root screen until the projects grid is wired in: titled "Projects", nothing else.
    virtual ViewController* makeProjectsViewController();
    // The import wizard's second step over the given items of the connection; none until the
    // wizard is wired in.
    virtual ViewController*
    makeImportWizard(const std::shared_ptr<AbstractConnectionProtocol>& connection,
                     const QStringList& itemPaths);

public:
    // Presents the wizard in a form sheet over the projects screen (or over what it presents).
    void presentImportWizard(const std::shared_ptr<AbstractConnectionProtocol>& connection,
                             const QStringList& itemPaths);

private:
    void takeInHandedOverDocument(const QUrl& url);

    std::unique_ptr<Window> m_window;
    NavigationController* m_navigationController = nullptr; // owned by the delegate
    std::optional<QVariantMap> m_launchOptions;
    std::unique_ptr<QuorvelUpdater> m_updater;
    QPointer<ViewController> m_projectsViewController;
    QList<QUrl> m_documentsWaitingForProjects;
    bool m_showingProjects = false;
};
