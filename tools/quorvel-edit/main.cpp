// quorvel-edit FILE...: opens each file in a tab of its own, over a local connection to the
// file's folder, coloured by the shared syntax engine in the theme of the settings.
//
//   --theme TITLE        use this theme instead of the settings' one
//   --select LOC,LEN     select characters in the last document
//   --find TEXT          show the find bar searching for TEXT
//   --screenshot PATH    save a picture of the window once it has settled, then quit
//
// Ctrl+F shows the find bar, Ctrl+S saves the document in front, Ctrl+Q saves all and quits.

#include "connections/FileConnection.h"
#include "core/Settings.h"
#include "editor/KTCodeView.h"
#include "kit/KTTabBarController.h"
#include "platform/Animations.h"
#include "platform/Window.h"
#include "syntax/KTSyntaxEngine.h"
#include "syntax/KTSyntaxTheme.h"
#include "text/KTTextFinder.h"
#include "workspace/KTDocumentController.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QLineEdit>
#include <QShortcut>
#include <QTimer>

#include <cstdio>

namespace {

class Editor : public KTTabBarControllerDelegate, public KTDocumentControllerDelegate {
public:
    explicit Editor(std::shared_ptr<KTSyntaxTheme> theme) : theme_(std::move(theme)) {}

    void tabBarControllerDidSelectViewController(KTTabBarController*,
                                                 ViewController* controller) override {
        auto* document = qobject_cast<KTDocumentController*>(controller);
        if (!document || !document->editorView())
            return;
        KTSyntaxEngine* engine = KTSyntaxEngine::sharedSyntaxEngine();
        engine->setSyntaxTheme(theme_);
        document->editorView()->setSyntaxEngine(engine);
        KTTextFinder::sharedTextFinder()->setTextView(document->editorView());
    }

    void documentControllerDoesNeedSave(KTDocumentController* document) override {
        document->saveDocument();
    }

private:
    std::shared_ptr<KTSyntaxTheme> theme_;
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Quorvel"));
    QApplication::setApplicationName(QStringLiteral("Quorvel"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Opens files in the Quorvel code editor."));
    parser.addHelpOption();
    const QCommandLineOption themeOption(QStringLiteral("theme"), QStringLiteral("Theme title."),
                                         QStringLiteral("title"));
    const QCommandLineOption selectOption(QStringLiteral("select"),
                                          QStringLiteral("Selection as location,length."),
                                          QStringLiteral("range"));
    const QCommandLineOption findOption(QStringLiteral("find"),
                                        QStringLiteral("Show the find bar with this text."),
                                        QStringLiteral("text"));
    const QCommandLineOption screenshotOption(QStringLiteral("screenshot"),
                                              QStringLiteral("Save a PNG of the window and quit."),
                                              QStringLiteral("path"));
    parser.addOptions({themeOption, selectOption, findOption, screenshotOption});
    parser.addPositionalArgument(QStringLiteral("files"), QStringLiteral("Files to open."),
                                 QStringLiteral("FILE..."));
    parser.process(app);
    const QStringList files = parser.positionalArguments();
    if (files.isEmpty()) {
        std::fprintf(stderr, "usage: quorvel-edit [options] FILE...\n");
        return 2;
    }
    const bool screenshot = parser.isSet(screenshotOption);
    if (screenshot)
        setAnimationsEnabled(false);

    const QString themeTitle =
        parser.isSet(themeOption) ? parser.value(themeOption) : Settings::syntaxTheme();
    std::shared_ptr<KTSyntaxTheme> theme = KTSyntaxTheme::syntaxThemeWithTitle(themeTitle);
    Editor editor(theme);

    Window window;
    window.setWindowTitle(QStringLiteral("quorvel-edit"));
    auto* tabs = new KTTabBarController(&window);
    tabs->setDelegate(&editor);

    QList<ViewController*> documents;
    for (const QString& file : files) {
        const QFileInfo info(file);
        auto connection = std::make_shared<FileConnection>();
        connection->setBasePath(info.absolutePath());
        auto* document = new KTDocumentController(info.fileName());
        document->setConnection(connection);
        document->setDelegate(&editor);
        document->setAutosavingDelay(3.0);
        documents.append(document);
    }
    window.setRootViewController(tabs);
    tabs->setViewControllers(documents, false);
    window.makeKeyAndVisible();

    auto current = [tabs]() -> KTDocumentController* {
        return qobject_cast<KTDocumentController*>(tabs->selectedViewController());
    };
    auto* findShortcut = new QShortcut(QKeySequence::Find, &window);
    QObject::connect(findShortcut, &QShortcut::activated, &window, [current] {
        if (KTDocumentController* document = current()) {
            KTTextFinder::sharedTextFinder()->setTextView(document->editorView());
            KTTextFinder::sharedTextFinder()->show();
        }
    });
    auto* saveShortcut = new QShortcut(QKeySequence::Save, &window);
    QObject::connect(saveShortcut, &QShortcut::activated, &window, [current] {
        if (KTDocumentController* document = current())
            document->saveDocument();
    });
    auto* quitShortcut = new QShortcut(QKeySequence::Quit, &window);
    QObject::connect(quitShortcut, &QShortcut::activated, &app, &QApplication::quit);
    QObject::connect(&app, &QApplication::aboutToQuit, [&documents] {
        for (ViewController* controller : documents)
            if (auto* document = qobject_cast<KTDocumentController*>(controller))
                if (document->isDocumentEdited())
                    document->saveDocument();
    });

    // Options that act on the document in front once the tabs have settled.
    QTimer::singleShot(200, &window, [&] {
        KTDocumentController* document = current();
        if (!document)
            return;
        KTCodeView* view = document->editorView();
        if (parser.isSet(selectOption)) {
            const QStringList parts = parser.value(selectOption).split(QLatin1Char(','));
            if (parts.size() == 2) {
                view->setFocus();
                view->setSelectedRange(NSMakeRange(parts[0].toUInt(), parts[1].toUInt()));
            }
        }
        if (parser.isSet(findOption)) {
            KTTextFinder* finder = KTTextFinder::sharedTextFinder();
            finder->setTextView(view);
            finder->show();
            finder->findField()->setText(parser.value(findOption));
            finder->_reset();
        }
    });
    if (screenshot) {
        // After the 0.5 s re-parse has coloured the visible text.
        QTimer::singleShot(1500, &window, [&] {
            const QString path = parser.value(screenshotOption);
            const bool saved = window.grab().save(path);
            std::fprintf(saved ? stdout : stderr, "%s %s\n", saved ? "saved" : "could not save",
                         qPrintable(path));
            QApplication::exit(saved ? 0 : 1);
        });
    }
    return app.exec();
}
