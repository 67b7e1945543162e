#include "connections/FileConnection.h"
#include "core/Settings.h"
#include "editor/KTCodeView.h"
#include "platform/AlertView.h"
#include "platform/Animations.h"
#include "support/TestSupport.h"
#include "text/KTLayoutManager.h"
#include "workspace/KTDocumentController.h"
#include "workspace/TextEncoding.h"

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

static void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace {

// Preferences and folders of the run live in a temporary home.
class Home : public ::testing::Environment {
public:
    void SetUp() override {
        home = std::make_unique<QTemporaryDir>();
        qputenv("QUORVEL_HOME", home->path().toUtf8());
        setAnimationsEnabled(false);
    }
    std::unique_ptr<QTemporaryDir> home;
};
const auto* const home = ::testing::AddGlobalTestEnvironment(new Home);

class Document : public ::testing::Test {
protected:
    void SetUp() override {
        Settings::setDefaultTextEncoding(0);
        Settings::resetProcessPreferences();
        window = std::make_unique<QWidget>();
        window->resize(768, 1024);
        window->show();
    }
    void TearDown() override {
        for (AlertView* alert : AlertView::visibleAlerts())
            alert->dismissWithClickedButtonIndex(0, false);
    }
    void write(const QString& name, const QByteArray& bytes) {
        QFile file(folder.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    QByteArray read(const QString& name) {
        QFile file(folder.filePath(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    // A controller over the folder, its view loaded inside the window.
    KTDocumentController* open(const QString& name) {
        auto connection = std::make_shared<FileConnection>();
        connection->setBasePath(folder.path());
        auto* controller = new KTDocumentController(name, window.get());
        controller->setConnection(connection);
        QWidget* view = controller->view();
        view->setParent(window.get());
        view->setGeometry(0, 0, 768, 1024);
        view->show();
        controller->viewDidAppear(false);
        return controller;
    }
    void edit(KTDocumentController* controller, uint32_t at, const QString& text) {
        controller->editorView()->setSelectedRange(NSMakeRange(at, 0));
        controller->editorView()->insertText(text);
    }

    QTemporaryDir folder;
    std::unique_ptr<QWidget> window;
};

struct Sample {
    const char* label;
    uint32_t encoding;
    QString text; // with "\n" breaks
    QByteArray mark;
};

const Sample samples[] = {
    {"Utf8", TextEncoding::UTF8, QStringLiteral("<p>Gr\u00fc\u00dfe \u65e5\u672c</p>\nzwei\n"), {}},
    {"Utf16WithMark", TextEncoding::Unicode, QStringLiteral("<p>\u00e9t\u00e9 \U0001F600</p>\nb\n"),
     QByteArray("\xff\xfe")},
    {"IsoLatin1",
     TextEncoding::ISOLatin1,
     QStringLiteral("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<a>caf\u00e9</a>\n"),
     {}},
    {"Windows1252",
     TextEncoding::WindowsCP1252,
     QStringLiteral("<meta charset=\"windows-1252\">\n\u201cq\u201d \u20ac5\n"),
     {}},
    {"ShiftJis",
     TextEncoding::ShiftJIS,
     QStringLiteral("<meta charset=\"Shift_JIS\">\n\u65e5\u672c\u8a9e\n"),
     {}},
};

struct Ending {
    const char* label;
    int32_t lineEnding;
    QString bytes;
};

const Ending endings[] = {{"LF", LineEndings::LF, QStringLiteral("\n")},
                          {"CR", LineEndings::CR, QStringLiteral("\r")},
                          {"CRLF", LineEndings::CRLF, QStringLiteral("\r\n")}};

QByteArray encode(const Sample& sample, const Ending& ending) {
    QString text = sample.text;
    text.replace(QLatin1Char('\n'), ending.bytes);
    Error error;
    auto bytes = TextEncoding::encode(text, sample.encoding, sample.mark, &error);
    return bytes ? *bytes : QByteArray();
}

class RoundTrip : public Document,
                  public ::testing::WithParamInterface<std::tuple<Sample, Ending>> {};

TEST_P(RoundTrip, UneditedFileIsSavedByteForByteAndEditsKeepTheConventions) {
    const auto& [sample, ending] = GetParam();
    const QByteArray bytes = encode(sample, ending);
    ASSERT_FALSE(bytes.isEmpty());
    write(QStringLiteral("page.html"), bytes);
    KTDocumentController* controller = open(QStringLiteral("page.html"));
    EXPECT_FALSE(controller->isReadOnly()) << controller->readOnlyReason().toStdString();
    EXPECT_EQ(controller->encoding(), sample.encoding);
    EXPECT_EQ(controller->lineEnding(), ending.lineEnding);
    // CR LF is edited as LF; the others as they are.
    QString shown = sample.text;
    if (ending.lineEnding == LineEndings::CR)
        shown.replace(QLatin1Char('\n'), QLatin1Char('\r'));
    EXPECT_EQ(controller->text(), shown);
    EXPECT_FALSE(controller->isDocumentEdited());

    ASSERT_TRUE(controller->saveDocument());
    EXPECT_EQ(read(QStringLiteral("page.html")), bytes);

    // A line typed at the end (LF from the keyboard) joins the text; CR LF gets its CR back.
    edit(controller, uint32_t(shown.size()), QStringLiteral("x\ny"));
    EXPECT_TRUE(controller->isDocumentEdited());
    ASSERT_TRUE(controller->saveDocument());
    EXPECT_FALSE(controller->isDocumentEdited());
    QString expected = sample.text;
    expected.replace(QLatin1Char('\n'), ending.bytes);
    expected +=
        ending.lineEnding == LineEndings::CRLF ? QStringLiteral("x\r\ny") : QStringLiteral("x\ny");
    EXPECT_EQ(read(QStringLiteral("page.html")),
              TextEncoding::encode(expected, sample.encoding, sample.mark).value_or("?"));
}

INSTANTIATE_TEST_SUITE_P(Files, RoundTrip,
                         ::testing::Combine(::testing::ValuesIn(samples),
                                            ::testing::ValuesIn(endings)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).label) + "_" +
                                    std::get<1>(info.param).label;
                         });

struct DetectionCase {
    const char* label;
    QByteArray bytes;
    uint32_t defaultEncoding;
    uint32_t expected;
};

class Detection : public Document, public ::testing::WithParamInterface<DetectionCase> {};

TEST_P(Detection, PicksTheEncoding) {
    const DetectionCase& c = GetParam();
    Settings::setDefaultTextEncoding(c.defaultEncoding);
    write(QStringLiteral("file.txt"), c.bytes);
    KTDocumentController* controller = open(QStringLiteral("file.txt"));
    EXPECT_EQ(controller->encoding(), c.expected);
    EXPECT_FALSE(controller->isReadOnly());
}

INSTANTIATE_TEST_SUITE_P(
    Table, Detection,
    ::testing::Values(
        DetectionCase{"HtmlCharsetBeatsTheDefault",
                      "<meta http-equiv=\"Content-Type\" content=\"text/html; CharSet=UTF-8\">"
                      "\xc3\xa9",
                      TextEncoding::ISOLatin1, TextEncoding::UTF8},
        DetectionCase{"XmlEncoding", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>\xe9</a>",
                      0, TextEncoding::ISOLatin1},
        DetectionCase{"UnknownDeclaredNameFallsThrough",
                      "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?><svg>\xc3\xa9"
                      "</svg>",
                      0, TextEncoding::UTF8},
        DetectionCase{"NineCharactersSkipTheDeclaration", "charset=x", 0, TextEncoding::UTF8},
        DetectionCase{"Utf8Mark", "\xef\xbb\xbfhello there", 0, TextEncoding::UTF8},
        DetectionCase{"Utf16Mark", QByteArray("\xff\xfeh\0i\0", 6), 0, TextEncoding::Unicode},
        DetectionCase{"DefaultSettingWhenItReads", "caf\xe9 au lait", TextEncoding::WindowsCP1252,
                      TextEncoding::WindowsCP1252},
        DetectionCase{"UndeclaredUtf8", "na\xc3\xafve caf\xc3\xa9 text", 0, TextEncoding::UTF8},
        DetectionCase{"Latin1Fallback", "caf\xe9 au lait, cr\xe8me br\xfbl\xe9", 0,
                      TextEncoding::ISOLatin1}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(Document, MixedEndingsTakeTheFirstBreak) {
    write(QStringLiteral("mixed.txt"), "one\r\ntwo\nthree\rfour");
    KTDocumentController* controller = open(QStringLiteral("mixed.txt"));
    EXPECT_EQ(controller->lineEnding(), LineEndings::CRLF);
    EXPECT_EQ(controller->text(), QStringLiteral("one\ntwo\nthree\rfour"));
    ASSERT_TRUE(controller->saveDocument());
    // Every LF is written as CR LF; the lone CR stays.
    EXPECT_EQ(read(QStringLiteral("mixed.txt")), QByteArray("one\r\ntwo\r\nthree\rfour"));
}

TEST_F(Document, PastedCrLfBlockIsSavedWithCrLfOnly) {
    write(QStringLiteral("crlf.txt"), "one\r\ntwo\r\n");
    KTDocumentController* controller = open(QStringLiteral("crlf.txt"));
    QGuiApplication::clipboard()->setText(QStringLiteral("four\r\nfive\r\n"));
    controller->editorView()->setSelectedRange(NSMakeRange(8, 0));
    controller->editorView()->paste();
    EXPECT_EQ(controller->text(), QStringLiteral("one\ntwo\nfour\nfive\n"));
    ASSERT_TRUE(controller->saveDocument());
    EXPECT_EQ(read(QStringLiteral("crlf.txt")), QByteArray("one\r\ntwo\r\nfour\r\nfive\r\n"));
}

TEST_F(Document, MissingFileOpensEmptyAndASaveCreatesIt) {
    KTDocumentController* controller = open(QStringLiteral("new.css"));
    EXPECT_EQ(controller->text(), QString());
    EXPECT_FALSE(controller->isReadOnly());
    EXPECT_EQ(controller->lineEnding(), LineEndings::CR);
    edit(controller, 0, QStringLiteral("a{}\nb{}"));
    ASSERT_TRUE(controller->saveDocument());
    EXPECT_EQ(read(QStringLiteral("new.css")), QByteArray("a{}\nb{}"));
}

TEST_F(Document, AutosaveWritesOnceAFullDelayAfterTheLastEdit) {
    write(QStringLiteral("auto.txt"), "start\n");
    KTDocumentController* controller = open(QStringLiteral("auto.txt"));
    controller->setAutosavingDelay(1.5);
    QSignalSpy saves(controller, &KTDocumentController::documentSaved);
    for (int i = 0; i < 3; ++i) {
        edit(controller, 0, QStringLiteral("e"));
        QTest::qWait(200);
    }
    EXPECT_EQ(saves.count(), 0); // every edit restarted the timer
    QTRY_COMPARE_WITH_TIMEOUT(saves.count(), 1, 5000);
    EXPECT_EQ(read(QStringLiteral("auto.txt")), QByteArray("eeestart\n"));
    EXPECT_FALSE(controller->isDocumentEdited());
    // The timer goes on firing and writes nothing.
    EXPECT_TRUE(controller->isAutosaveTimerRunning());
    QTest::qWait(3200);
    EXPECT_EQ(saves.count(), 1);
}

TEST_F(Document, PendingEditsAreWrittenWhenTheControllerGoes) {
    write(QStringLiteral("late.txt"), "abc");
    KTDocumentController* controller = open(QStringLiteral("late.txt"));
    controller->setAutosavingDelay(3.0);
    edit(controller, 3, QStringLiteral("d"));
    delete controller;
    EXPECT_EQ(read(QStringLiteral("late.txt")), QByteArray("abcd"));

    // Unedited, nothing is written (the file's own later changes stay).
    KTDocumentController* untouched = open(QStringLiteral("late.txt"));
    write(QStringLiteral("late.txt"), "changed elsewhere");
    delete untouched;
    EXPECT_EQ(read(QStringLiteral("late.txt")), QByteArray("changed elsewhere"));
}

TEST_F(Document, ScrollingToTheTopKeepsTheStoredOffset) {
    QByteArray many;
    for (int i = 0; i < 400; ++i)
        many += "line of text\n";
    write(QStringLiteral("long.txt"), many);
    KTDocumentController* controller = open(QStringLiteral("long.txt"));
    KTCodeView* codeView = controller->editorView();
    codeView->layoutManager()->ensureLayoutForCharacterRange(
        NSMakeRange(0, codeView->textStorage()->length()));
    codeView->sizeToFit();
    codeView->setContentOffset(QPointF(0, 900));
    EXPECT_EQ(controller->scrollOffset(), QPointF(0, 900));
    controller->editorView()->setContentOffset(QPointF(0, 0));
    EXPECT_EQ(controller->scrollOffset(), QPointF(0, 900));
    // Shown again, the view goes back there.
    controller->viewDidAppear(false);
    QTRY_COMPARE(controller->editorView()->contentOffset(), QPointF(0, 900));
}

TEST_F(Document, MarginTakesFiftyPointsAndCanBeTurnedOffAfterLoading) {
    write(QStringLiteral("m.txt"), "a\nb\n");
    KTDocumentController* controller = open(QStringLiteral("m.txt"));
    ASSERT_NE(controller->leftMargin(), nullptr);
    EXPECT_EQ(controller->leftMargin()->geometry(), QRect(0, 0, 50, 1024));
    EXPECT_EQ(controller->editorView()->geometry(), QRect(50, 0, 718, 1024));
    controller->setShouldShowLeftMargin(false);
    EXPECT_EQ(controller->leftMargin(), nullptr);
    EXPECT_EQ(controller->editorView()->geometry(), QRect(0, 0, 768, 1024));
    controller->setShouldShowLeftMargin(true);
    EXPECT_EQ(controller->editorView()->geometry(), QRect(50, 0, 718, 1024));
}

class Recorder : public KTDocumentControllerDelegate {
public:
    int needSave = 0;
    void documentControllerDoesNeedSave(KTDocumentController*) override { ++needSave; }
};

TEST_F(Document, EndOfEditingAsksForASaveOnlyWhenEdited) {
    const QByteArray svg =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n"
        "<svg xmlns=\"http://www.w3.org/2000/svg\"><title>\xc3\xa9</title></svg>\n";
    write(QStringLiteral("icon.svg"), svg);
    KTDocumentController* controller = open(QStringLiteral("icon.svg"));
    EXPECT_TRUE(controller->text().contains(QStringLiteral("<title>\u00e9</title>")));
    Recorder recorder;
    controller->setDelegate(&recorder);
    controller->setAutosavingDelay(0.2);
    controller->editorView()->setFocus();
    controller->editorView()->setSelectedRange(NSMakeRange(3, 0));
    controller->textViewDidEndEditing(controller->editorView());
    EXPECT_EQ(recorder.needSave, 0);
    QTest::qWait(500); // autosave ticks with nothing to write
    EXPECT_EQ(read(QStringLiteral("icon.svg")), svg);

    edit(controller, 0, QStringLiteral(" "));
    controller->textViewDidEndEditing(controller->editorView());
    EXPECT_EQ(recorder.needSave, 1);
}

TEST_F(Document, UnreadableFileStaysReadOnlyAndIsNeverWritten) {
    // A link that points at itself exists but cannot be read.
    ASSERT_TRUE(QFile::link(folder.filePath(QStringLiteral("loop.html")),
                            folder.filePath(QStringLiteral("loop.html"))) ||
                QFileInfo(folder.filePath(QStringLiteral("loop.html"))).isSymLink());
    KTDocumentController* controller = open(QStringLiteral("loop.html"));
    EXPECT_TRUE(controller->isReadOnly());
    EXPECT_FALSE(controller->readOnlyReason().isEmpty());
    EXPECT_EQ(controller->encoding(), 0u);
    auto* banner = controller->view()->findChild<QWidget*>(QStringLiteral("readOnlyBanner"));
    ASSERT_NE(banner, nullptr);
    EXPECT_TRUE(banner->isVisible());
    EXPECT_LE(banner->geometry().bottom(), controller->editorView()->geometry().top());
    controller->view()
        ->grab(QRect(0, 0, 768, 200))
        .save(quorvel::test::outputDirectory() + "/document-read-only.png");

    Recorder recorder;
    controller->setDelegate(&recorder);
    edit(controller, 0, QStringLiteral("typed"));
    EXPECT_EQ(controller->text(), QString()); // the edit is refused
    EXPECT_FALSE(controller->isDocumentEdited());
    controller->textViewDidEndEditing(controller->editorView());
    EXPECT_EQ(recorder.needSave, 0);
    EXPECT_FALSE(controller->saveDocument());
    EXPECT_TRUE(QFileInfo(folder.filePath(QStringLiteral("loop.html"))).isSymLink());
    EXPECT_TRUE(AlertView::visibleAlerts().isEmpty());

    // A folder in the file's place is no document either.
    QDir(folder.path()).mkdir(QStringLiteral("dir.html"));
    KTDocumentController* folderDocument = open(QStringLiteral("dir.html"));
    EXPECT_TRUE(folderDocument->isReadOnly());
}

TEST_F(Document, FailedSaveKeepsTheDocumentEditedAndAlertsOncePerFailure) {
    QDir(folder.path()).mkdir(QStringLiteral("sub"));
    write(QStringLiteral("sub/page.html"), "<p>hi</p>\n");
    KTDocumentController* controller = open(QStringLiteral("sub/page.html"));
    edit(controller, 0, QStringLiteral("x"));
    // The folder goes away under the open document.
    ASSERT_TRUE(QDir(folder.filePath(QStringLiteral("sub"))).removeRecursively());

    EXPECT_FALSE(controller->saveDocument());
    EXPECT_TRUE(controller->isDocumentEdited());
    ASSERT_EQ(AlertView::visibleAlerts().size(), 1);
    EXPECT_EQ(AlertView::visibleAlerts().first()->title(), QStringLiteral("Error"));
    EXPECT_FALSE(AlertView::visibleAlerts().first()->message().isEmpty());
    AlertView::visibleAlerts().first()->dismissWithClickedButtonIndex(0, false);

    controller->_autosave(); // the same failure again: tried, not told again
    EXPECT_TRUE(controller->isDocumentEdited());
    EXPECT_TRUE(AlertView::visibleAlerts().isEmpty());

    QDir(folder.path()).mkdir(QStringLiteral("sub"));
    controller->_autosave();
    EXPECT_FALSE(controller->isDocumentEdited());
    EXPECT_EQ(read(QStringLiteral("sub/page.html")), QByteArray("x<p>hi</p>\n"));
    EXPECT_TRUE(controller->lastSaveError().isEmpty());
}

TEST_F(Document, TextTheEncodingCannotHoldIsNotSaved) {
    const QByteArray latin = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>caf\xe9</a>";
    write(QStringLiteral("a.xml"), latin);
    KTDocumentController* controller = open(QStringLiteral("a.xml"));
    ASSERT_EQ(controller->encoding(), uint32_t(TextEncoding::ISOLatin1));
    edit(controller, 0, QStringLiteral("\u20ac"));
    EXPECT_FALSE(controller->saveDocument());
    EXPECT_TRUE(controller->isDocumentEdited());
    EXPECT_EQ(read(QStringLiteral("a.xml")), latin);
    ASSERT_EQ(AlertView::visibleAlerts().size(), 1);
    const QString message = AlertView::visibleAlerts().first()->message();
    EXPECT_TRUE(message.contains(QStringLiteral("\u20ac"))) << message.toStdString();
    EXPECT_TRUE(message.contains(QStringLiteral("Latin"))) << message.toStdString();
}

} // namespace
