// Colours the visible lines (60) at the start, the middle and the end of a generated
// 100,000-line HTML document with embedded CSS, JavaScript and PHP, and prints the time per run
// and the ratio end / start. Targets: at most 2 ms per run anywhere, end / start at most 3.

#include "syntax/KTLineRange.h"
#include "syntax/KTSyntaxDefinition.h"
#include "syntax/KTSyntaxTheme.h"
#include "syntax/KeywordListSyntaxEngine.h"
#include "text/KTTextStorage.h"
#include "text/KTTextView.h"

#include <QApplication>
#include <QStringList>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr int kLines = 100000;
constexpr int kVisibleLines = 60;

QString generateDocument() {
    static const char* const block[] = {
        "<!-- section %1 -->",
        "<div class=\"section\" id=\"s%1\">",
        "  <h2 title=\"Heading %1\">Section %1</h2>",
        "  <p>Some <a href=\"https://example.com/%1\">link text</a> and more prose here.</p>",
        "  <style>",
        "    .s%1 { color: #333; margin: 0 auto; } /* rule %1 */",
        "    .s%1 a:hover { text-decoration: underline; }",
        "  </style>",
        "  <script>",
        "    // handler %1",
        "    function show%1(el) { var msg = \"item /* %1 */\"; return el.querySelector('.x'); }",
        "    /* block",
        "       comment */",
        "  </script>",
        "  <?php",
        "    $count = %1; // counter",
        "    echo htmlspecialchars(\"Value: \" . $count);",
        "  ?>",
        "  <ul>",
        "    <li>One</li><li>Two</li>",
        "  </ul>",
        "</div>",
    };
    constexpr int blockLines = int(sizeof(block) / sizeof(block[0]));
    QString text;
    text.reserve(kLines * 48);
    for (int line = 0; line < kLines; ++line) {
        QString content = QString::fromLatin1(block[line % blockLines]);
        text += content.replace(QLatin1String("%1"), QString::number(line / blockLines)) + u'\n';
    }
    return text;
}

// Start of each line, found once.
std::vector<uint32_t> lineStarts(const QString& text) {
    std::vector<uint32_t> starts{0};
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'\n' && i + 1 < text.size())
            starts.push_back(uint32_t(i + 1));
    }
    return starts;
}

double medianMicroseconds(KTSyntaxEngine& engine, NSRange range, int runs) {
    for (int i = 0; i < 3; ++i)
        engine.ensureParsingForCharacterRange(range);
    std::vector<double> times;
    times.reserve(size_t(runs));
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        engine.ensureParsingForCharacterRange(range);
        const auto end = std::chrono::steady_clock::now();
        times.push_back(std::chrono::duration<double, std::micro>(end - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 200;

    const QString text = generateDocument();
    const std::vector<uint32_t> starts = lineStarts(text);
    std::printf("document: %d lines, %lld characters\n", int(starts.size()),
                static_cast<long long>(text.size()));

    // A bare store, and the store of a text view (its layout manager is told of each run).
    auto bareStore = std::make_unique<KTTextStorage>(text);
    KTTextView view;
    view.setFont(QFont(QStringLiteral("DejaVu Sans Mono"), 14));
    view.resize(768, 1024);
    view.setText(text);

    // The same document without instruction or block-comment markers: the look above the
    // range for an open instruction or comment then runs back over the whole text.
    QString bare = text;
    for (const char* marker : {"<?", "?>", "<!--", "-->", "/*", "*/"})
        bare.replace(QLatin1String(marker), QString(qsizetype(strlen(marker)), u' '));
    auto noMarkersStore = std::make_unique<KTTextStorage>(bare);

    struct Setup {
        const char* type;
        KTTextStorage* store;
        const char* where;
    };
    const Setup setups[] = {{"html", bareStore.get(), "store"},
                            {"php", bareStore.get(), "store"},
                            {"html", view.textStorage(), "view"},
                            {"html", noMarkersStore.get(), "no markers"}};
    for (const Setup& setup : setups) {
        const auto definition = KTSyntaxDefinition::syntaxDefinitionForSyntaxDescriptor(
            {QString::fromLatin1(setup.type)});
        if (!definition) {
            std::fprintf(stderr, "no definition for %s\n", setup.type);
            return 1;
        }
        KeywordListSyntaxEngine engine;
        engine.setSyntaxTheme(
            KTSyntaxTheme::syntaxThemeWithTitle(KTSyntaxTheme::defaultThemeTitle()));
        engine.setSyntaxDefinition(definition);
        const QByteArray label =
            definition->title().toUtf8() + " (" + QByteArray(setup.where) + ")";
        // Handing the engine a store (a tab becoming current) gives the whole text the prose
        // colour and parses what is visible.
        const auto attachStart = std::chrono::steady_clock::now();
        engine.setTextStorage(setup.store);
        const double attachMs = std::chrono::duration<double, std::milli>(
                                    std::chrono::steady_clock::now() - attachStart)
                                    .count();
        std::printf("%-18s attach to the store: %.1f ms\n", label.constData(), attachMs);

        const struct {
            const char* name;
            size_t firstLine;
        } places[] = {
            {"start", 0}, {"middle", starts.size() / 2}, {"end", starts.size() - kVisibleLines}};
        double startTime = 0, worst = 0, endTime = 0;
        for (const auto& place : places) {
            const uint32_t from = starts[place.firstLine];
            const uint32_t to = place.firstLine + kVisibleLines < starts.size()
                                    ? starts[place.firstLine + kVisibleLines]
                                    : uint32_t(text.size());
            const double us = medianMicroseconds(engine, NSMakeRange(from, to - from), runs);
            std::printf("%-18s %-6s lines %6zu-%6zu  %8.1f us per run\n", label.constData(),
                        place.name, place.firstLine, place.firstLine + kVisibleLines - 1, us);
            worst = std::max(worst, us);
            if (place.firstLine == 0)
                startTime = us;
            endTime = us;
        }
        std::printf("%-18s worst %.1f us (target <= 2000), end / start %.2f (target <= 3)\n\n",
                    label.constData(), worst, endTime / startTime);
    }
    return 0;
}
