#include "app/QuorvelAppDelegate.h"

#include "connections/AbstractConnection.h"
#include "core/Settings.h"
#include "core/URLAdditions.h"
#include "platform/AlertView.h"
#include "platform/NavigationController.h"
#include "platform/Window.h"
#include "projects/ProjectStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cstdio>

const QString QuorvelAppDelegate::launchOptionsURLKey =
    QStringLiteral("UIApplicationLaunchOptionsURLKey");

namespace {

const QString kOwnScheme = QStringLiteral("quorvel");

QString canonicalFolder(const QString& path) {
    QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(path) : canonical;
}

// Copies file to file beside the target and renames over it, so a failed copy leaves no half file.
bool copyReplacing(const QString& source, const QString& target) {
    QFile input(source);
    if (!input.open(QIODevice::ReadOnly))
        return false;
    QTemporaryFile output(target + QStringLiteral(".XXXXXX"));
    if (!output.open())
        return false;
    char buffer[64 * 1024];
    qint64 count;
    while ((count = input.read(buffer, sizeof buffer)) > 0) {
        if (output.write(buffer, count) != count)
            return false;
    }
    if (count < 0 || !output.flush())
        return false;
    QFile::remove(target);
    if (!output.rename(target))
        return false;
    output.setAutoRemove(false);
    return true;
}

} // namespace

QuorvelAppDelegate::QuorvelAppDelegate(QObject* parent)
    : QObject(parent), m_window(std::make_unique<Window>()),
      m_navigationController(new NavigationController(nullptr, this)) {}

QuorvelAppDelegate::~QuorvelAppDelegate() {
    // The window holds the navigation controller's view; the controller goes first.
    delete m_navigationController;
}

bool QuorvelAppDelegate::applicationDidFinishLaunchingWithOptions(
    QApplication*, const std::optional<QVariantMap>& launchOptions) {
    if (qEnvironmentVariableIsSet("NSZombieEnabled") ||
        qEnvironmentVariableIsSet("NSAutoreleaseFreedObjectCheckEnabled"))
        qInfo("NSZombieEnabled/NSAutoreleaseFreedObjectCheckEnabled enabled!");
    m_window->makeKeyAndVisible();
    m_launchOptions = launchOptions;
    if (QuorvelUpdater::needsUpdate())
        showUpdater();
    else
        showProjects();
    return true;
}

void QuorvelAppDelegate::showUpdater() {
    m_updater = std::make_unique<QuorvelUpdater>();
    m_updater->setDelegate(this);
    QWidget* view = m_updater->view();
    view->setParent(m_window.get());
    view->setGeometry(m_window->rect());
    view->show();
    m_updater->start();
}

void QuorvelAppDelegate::updaterDidFinish(QuorvelUpdater* updater) {
    if (updater && updater == m_updater.get()) {
        updater->view()->hide();
        updater->view()->setParent(nullptr);
        // Released once this call, which the updater itself makes, has returned.
        m_updater.release()->deleteLater();
    }
    showProjects();
}

ViewController* QuorvelAppDelegate::makeProjectsViewController() {
    auto* controller = new ViewController;
    controller->setTitle(QStringLiteral("Projects"));
    return controller;
}

void QuorvelAppDelegate::showProjects() {
    ViewController* projects = makeProjectsViewController();
    m_projectsViewController = projects;
    m_navigationController->setViewControllers({projects});
    m_window->setRootViewController(m_navigationController);
    m_showingProjects = true;

    if (m_launchOptions) {
        const QUrl url = m_launchOptions->value(launchOptionsURLKey).toUrl();
        if (!url.isEmpty() && url.scheme() != kOwnScheme)
            takeInHandedOverDocument(url);
    }
    // The document is taken in once only.
    m_launchOptions.reset();

    const QList<QUrl> waiting = std::exchange(m_documentsWaitingForProjects, {});
    for (const QUrl& url : waiting)
        takeInHandedOverDocument(url);
}

void QuorvelAppDelegate::takeInHandedOverDocument(const QUrl& url) {
    const QString fileName = QFileInfo(url.path()).fileName();
    if (!url.isLocalFile() || fileName.isEmpty()) {
        std::fprintf(stderr, "quorvel: cannot take in %s\n", qPrintable(url.toDisplayString()));
        return;
    }
    const QString source = url.toLocalFile();
    const QString temporary = Settings::pathToTemporaryDirectory();
    std::shared_ptr<AbstractConnectionProtocol> connection =
        AbstractConnection::connectionWithScheme(QStringLiteral("file"),
                                                 QStringLiteral("localhost"), QString(), QString(),
                                                 QString(), temporary);

    // A failed copy is not reported: the wizard then lists a name that does not exist.
    if (!copyReplacing(source, temporary + QLatin1Char('/') + fileName))
        std::fprintf(stderr, "quorvel: could not copy %s\n", qPrintable(source));

    // The handed-over copy in the inbox is ours to remove, and the inbox with it once empty.
    // Any other folder may be the user's own and is never touched.
    const QString inbox =
        canonicalFolder(Settings::pathToDocumentsDirectory() + QStringLiteral("/Inbox"));
    const QString folder = canonicalFolder(QFileInfo(source).absolutePath());
    if (folder == inbox) {
        QFile::remove(source);
        QDir().rmdir(inbox);
    }

    presentImportWizard(connection, {fileName});
}

ViewController*
QuorvelAppDelegate::makeImportWizard(const std::shared_ptr<AbstractConnectionProtocol>&,
                                     const QStringList& itemPaths) {
    // TODO(import wizard): answer a MoveCopyStep2ViewController over these items.
    std::fprintf(stderr, "quorvel: received %s; the import wizard is not available yet\n",
                 qPrintable(itemPaths.join(QStringLiteral(", "))));
    return nullptr;
}

void QuorvelAppDelegate::presentImportWizard(
    const std::shared_ptr<AbstractConnectionProtocol>& connection, const QStringList& itemPaths) {
    ViewController* wizard = makeImportWizard(connection, itemPaths);
    if (!wizard || !m_projectsViewController)
        return;
    auto* navigation = new NavigationController(wizard);
    navigation->setModalPresentationStyle(ModalPresentationStyle::FormSheet);
    navigation->setModalTransitionStyle(ModalTransitionStyle::CrossDissolve);
    navigation->navigationBar()->setTintColor(QColor::fromRgbF(0.46f, 0.53f, 0.60f, 1.0f));
    // A document arriving while another one's wizard is up is shown over that wizard.
    ViewController* presenter = m_projectsViewController;
    while (presenter->modalViewController())
        presenter = presenter->modalViewController();
    presenter->presentModalViewController(navigation, true);
}

bool QuorvelAppDelegate::applicationHandleOpenURL(QApplication*, const QUrl& url) {
    if (url.isEmpty())
        return false;
    // Documents of other applications are taken in through the launch options only.
    if (url.scheme() != kOwnScheme)
        return true;
    if (url.host() == QStringLiteral("debug")) {
        const QString version = valueForVariable(url, QStringLiteral("setVersion"));
        if (!version.isNull())
            QuorvelUpdater::storeLastKnownUpdateVersion(version);
    }
    return true;
}

void QuorvelAppDelegate::applicationDidReceiveURLFromAnotherStart(QApplication* application,
                                                                  const QUrl& url) {
    applicationHandleOpenURL(application, url);
    if (url.isEmpty() || url.scheme() == kOwnScheme)
        return;
    if (m_showingProjects)
        takeInHandedOverDocument(url);
    else
        m_documentsWaitingForProjects.append(url);
}

std::optional<QString> QuorvelAppDelegate::checkProjectStore(AlertView** alert) {
    std::optional<Error> error = ProjectStore::sharedInstance()->openingError();
    if (!error)
        return std::nullopt;
    const QString message = error->description;
    std::fprintf(stderr, "quorvel: %s\n", qPrintable(message));
    auto* window = new Window;
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->makeKeyAndVisible();
    AlertView* shown = AlertView::showAlert(QStringLiteral("Error"), message, QStringLiteral("OK"));
    QObject::connect(shown, &AlertView::dismissed, window, &QWidget::close);
    if (alert)
        *alert = shown;
    return message;
}
