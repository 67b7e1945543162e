#include "EngineSupport.h"
#include "support/TestSupport.h"
#include "syntax/KTSyntaxDefinition.h"
#include "text/KTLayoutManager.h"
#include "text/KTTextView.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <gtest/gtest.h>

using namespace syntaxtest;

namespace {

QString numberedLines(int count, const QString& pattern) {
    QString text;
    for (int i = 0; i < count; ++i)
        text += pattern.arg(i) + u'\n';
    return text;
}

std::unique_ptr<KTTextView> makeView(const QString& text, QSize size = QSize(500, 300)) {
    auto view = std::make_unique<KTTextView>();
    view->setFont(QFont(QStringLiteral("DejaVu Sans Mono"), 14));
    view->setText(text);
    view->resize(size);
    view->show();
    QApplication::processEvents();
    return view;
}

std::shared_ptr<KTSyntaxDefinition> definitionFor(const char* fileType) {
    return KTSyntaxDefinition::syntaxDefinitionForSyntaxDescriptor(
        KTSyntaxDescriptor{QString::fromLatin1(fileType)});
}

// The engine recolours the lines the view shows, and only those.
TEST(SyntaxEngineWithView, ParsesTheVisibleLines) {
    const QString text = numberedLines(400, QStringLiteral("return %1; // note"));
    auto view = makeView(text);
    KeywordListSyntaxEngine engine;
    engine.setSyntaxTheme(scopeTheme());
    engine.setSyntaxDefinition(definitionFor("js"));
    engine.setTextStorage(view->textStorage());
    const QString top = scopeMap(*view->textStorage(), NSMakeRange(0, 18));
    EXPECT_EQ(top, "kkkkkkppppcccccccc") << top.toStdString();

    // The whole text took the theme's prose colour; lines far below stay prose.
    const uint32_t far = uint32_t(text.indexOf(QStringLiteral("return 300;")));
    EXPECT_EQ(scopeMap(*view->textStorage(), NSMakeRange(far, 6)), "pppppp");

    // Scrolled down, the lines that come into view are coloured on the next parse.
    view->setContentOffset(QPointF(0, view->contentSize().height() / 2));
    QApplication::processEvents();
    const NSRange visible =
        view->layoutManager()->glyphRangeForBoundingRect(view->bounds(), view->textContainer());
    ASSERT_GT(visible.location, 0u);
    ASSERT_LT(visible.location, uint32_t(text.size()));
    engine.setNeedsParse();
    const uint32_t line =
        view->textStorage()->lineRangeForRange(NSMakeRange(visible.location + 1, 0)).location;
    EXPECT_EQ(scopeMap(*view->textStorage(), NSMakeRange(line, 6)), "kkkkkk");
    EXPECT_EQ(view->backgroundColor(), QColor(Qt::white));
}

// A view pulled above its first line (or showing space below the last one) reports corners
// outside the text; the parse covers the lines that are there.
TEST(SyntaxEngineWithView, CornersOutsideTheTextParseTheLinesThatExist) {
    const QString text = numberedLines(40, QStringLiteral("if (%1) return;"));
    auto view = makeView(text, QSize(400, 200));
    KeywordListSyntaxEngine engine;
    engine.setSyntaxTheme(scopeTheme());
    engine.setSyntaxDefinition(definitionFor("c"));
    engine.setTextStorage(view->textStorage());
    KTLayoutManager* layoutManager = view->layoutManager();
    struct Case {
        QRectF rect;
        bool firstLine;
        bool lastLine;
    };
    const qreal height = layoutManager->usedRectForTextContainer(view->textContainer()).height();
    const Case cases[] = {
        {QRectF(0, -150, 400, 200), true, false},
        {QRectF(0, height - 50, 400, 400), false, true},
        {QRectF(0, -500, 400, height + 1000), true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rect.y());
        engine.setSyntaxTheme(std::make_shared<KTSyntaxTheme>()); // clears nothing by itself
        engine.setSyntaxTheme(scopeTheme());
        view->textStorage()->setForegroundColor(Qt::blue);
        const NSRange visible =
            layoutManager->glyphRangeForBoundingRect(c.rect, view->textContainer());
        const NSRange lines = KTSyntaxEngine::lineRangeForVisibleRange(text, visible);
        ASSERT_LE(NSMaxRange(lines), uint32_t(text.size()));
        engine.ensureParsingForCharacterRange(lines);
        const QString map = scopeMap(*view->textStorage());
        EXPECT_EQ(map.startsWith(QStringLiteral("kk")), c.firstLine) << map.left(20).toStdString();
        EXPECT_EQ(map.mid(text.lastIndexOf(QStringLiteral("if (")), 2) == QStringLiteral("kk"),
                  c.lastLine);
    }
}

TEST(SyntaxEngineWithView, ThemeChangesColourTheViewOnce) {
    auto view = makeView(QStringLiteral("x = 1;\nif (a) return b;\n"));
    KeywordListSyntaxEngine engine;
    engine.setSyntaxDefinition(definitionFor("c"));
    engine.setTextStorage(view->textStorage());
    ProcessingCounter processings(*view->textStorage());

    const auto theme = KTSyntaxTheme::syntaxThemeWithTitle(QStringLiteral("Monokai"));
    engine.setSyntaxTheme(theme);
    EXPECT_EQ(view->backgroundColor(), theme->backgroundColor());
    EXPECT_EQ(view->textColor(), *theme->foregroundColorForSyntaxScope(KTSyntaxScopeProse));
    const int afterFirst = processings.count;
    EXPECT_GT(afterFirst, 0);
    // The same theme object again: nothing happens.
    engine.setSyntaxTheme(theme);
    EXPECT_EQ(processings.count, afterFirst);
    // An equal theme read again is another object: parsed again.
    engine.setSyntaxTheme(KTSyntaxTheme::syntaxThemeWithTitle(QStringLiteral("Monokai")));
    EXPECT_GT(processings.count, afterFirst);
}

// Closing a tab sets no store; the old store, its manager and its view may be gone already.
TEST(SyntaxEngineWithView, NoStoreTouchesNoOldViewOrManager) {
    KeywordListSyntaxEngine engine;
    engine.setSyntaxTheme(KTSyntaxTheme::syntaxThemeWithTitle(QStringLiteral("Slate")));
    engine.setSyntaxDefinition(definitionFor("c"));
    auto view = makeView(QStringLiteral("int a;\n"));
    engine.setTextStorage(view->textStorage());
    EXPECT_EQ(engine.firstLayoutManager(), view->layoutManager());
    EXPECT_EQ(engine.textContainer(), view->textContainer());

    // With the view alive: setting none leaves its colours as they are.
    engine.setTextStorage(nullptr);
    EXPECT_EQ(engine.textStorage(), nullptr);
    EXPECT_EQ(engine.firstLayoutManager(), nullptr);
    EXPECT_EQ(engine.textContainer(), nullptr);
    const QColor background = view->backgroundColor();
    engine.setSyntaxTheme(KTSyntaxTheme::syntaxThemeWithTitle(QStringLiteral("Clouds")));
    EXPECT_EQ(view->backgroundColor(), background);

    // The view (with store and manager) destroyed while the engine still holds the store.
    engine.setTextStorage(view->textStorage());
    view.reset();
    EXPECT_EQ(engine.textStorage(), nullptr);
    engine.setTextStorage(nullptr);
    engine.setSyntaxTheme(KTSyntaxTheme::syntaxThemeWithTitle(QStringLiteral("Bespin")));
    engine.setNeedsParse();
    engine.ensureParsingForCharacterRange(NSMakeRange(0, 5));
}

struct Shot {
    const char* file;
    const char* fileType;
    const char* theme;
    const char* text;
};

// Pictures for people to look at: coloured keywords in JavaScript, CSS, Python and HTML.
TEST(SyntaxScreenshots, ColouredSamples) {
    const Shot shots[] = {
        {"syntax-javascript.png", "js", "Panache",
         "// Toggle the menu when the button is pressed\n"
         "import { ready } from './dom.js';\n\n"
         "export async function toggle(id) {\n"
         "  const menu = document.getElementById(id);\n"
         "  if (!menu) return null;\n"
         "  /* remember the state */\n"
         "  let open = menu.classList.toggle('open');\n"
         "  console.log(\"menu \" + id + (open ? ' open' : ' closed'));\n"
         "  return open;\n"
         "}\n"},
        {"syntax-css.png", "css", "Monokai",
         "/* Layout of the page */\n"
         "body {\n"
         "  margin: 0 auto;\n"
         "  font-family: \"DejaVu Sans\", sans-serif;\n"
         "  background-color: #fafafa;\n"
         "}\n"
         "@media (max-width: 600px) {\n"
         "  .menu a:hover { text-decoration: none; display: block; }\n"
         "}\n"
         "$accent: #c33;\n"},
        {"syntax-python.png", "py", "Slate",
         "# Count the words of a file\n"
         "import sys\n\n"
         "def count_words(path):\n"
         "    with open(path) as handle:\n"
         "        return len(handle.read().split())\n\n"
         "if __name__ == \"__main__\":\n"
         "    for name in sys.argv[1:]:\n"
         "        print(name, count_words(name))\n"
         "    total = None if not sys.argv else 'done'\n"},
        {"syntax-html.png", "html", "Clouds",
         "<!DOCTYPE html>\n"
         "<html lang=\"en\">\n"
         "<head>\n"
         "  <title>Quorvel</title>\n"
         "  <link rel=\"stylesheet\" href=\"style.css\">\n"
         "</head>\n"
         "<body class=\"home\">\n"
         "  <!-- the main menu -->\n"
         "  <div id=\"menu\">Body text with a div word</div>\n"
         "  <?php echo $title; ?>\n"
         "  <script>var open = 'yes';</script>\n"
         "</body>\n"
         "</html>\n"},
    };
    const QDir output(quorvel::test::outputDirectory());
    for (const Shot& shot : shots) {
        SCOPED_TRACE(shot.file);
        auto view = makeView(QString::fromUtf8(shot.text), QSize(760, 330));
        KeywordListSyntaxEngine engine;
        const auto theme = KTSyntaxTheme::syntaxThemeWithTitle(QString::fromLatin1(shot.theme));
        engine.setSyntaxTheme(theme);
        engine.setSyntaxDefinition(definitionFor(shot.fileType));
        engine.setTextStorage(view->textStorage());
        QApplication::processEvents();
        const QImage image = view->grab().toImage();
        ASSERT_FALSE(image.isNull());
        EXPECT_TRUE(image.save(output.filePath(QString::fromLatin1(shot.file))));
        // The keyword colour is on screen.
        const QRgb keyword = theme->foregroundColorForSyntaxScope(KTSyntaxScopeKeyword)->rgb();
        bool found = false;
        for (int y = 0; y < image.height() && !found; ++y) {
            for (int x = 0; x < image.width() && !found; ++x)
                found = (image.pixel(x, y) & 0xffffff) == (keyword & 0xffffff);
        }
        EXPECT_TRUE(found);
    }
}

} // namespace
