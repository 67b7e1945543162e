// Opening, typing in the middle and jumping to the end of one generated 100,000-line web
// document in three engines: our text store + layout manager, QPlainTextEdit and QScintilla.
// Each engine runs in a child process of its own so that its peak memory is its own; the
// parent prints the figures and the ratio ours / peer.

#include "text/KTLayoutManager.h"
#include "text/KTTextContainer.h"
#include "text/KTTextStorage.h"
#include "text/KTTextView.h"

// QScintilla's headers use Qt's keywords, which the rest of the tree switches off.
#define signals Q_SIGNALS
#define slots Q_SLOTS
#include <Qsci/qsciscintilla.h>
#undef slots
#undef signals

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QPlainTextEdit>
#include <QProcess>
#include <QScrollBar>
#include <QTextBlock>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr int kLines = 100000;
constexpr int kKeystrokes = 1000;
const QSize kViewSize(768, 1024);
constexpr qreal kWrapWidth = 738;
// What is typed, one character per keystroke, over and over.
const char kTyping[] = "let answer = items.map((item) => item.value * 2); ";
constexpr int kTypingLength = sizeof(kTyping) - 1;

// A deterministic mix of HTML, JavaScript and CSS, about 65 UTF-16 units per line.
QString generateDocument() {
    static const char* const templates[] = {
        "<div class=\"card card-%1\" id=\"item-%1\" data-index=\"%1\" role=\"listitem\">",
        "  <h2 class=\"card-title\">Section %1: an overview of the product line</h2>",
        "  <p>Lorem ipsum dolor sit amet, consectetur adipiscing elit, item %1.</p>",
        "  <a href=\"/products/%1/details.html\" title=\"Details for %1\">Read more</a>",
        "</div> <!-- end of card %1 -->",
        "<script type=\"module\" src=\"/static/js/counter-%1.js\" defer></script>",
        "function updateCounter%1(element, value) {",
        "    const total = computeTotal(value, %1) + element.dataset.offset * 2;",
        "    if (total > %1) { element.classList.add('over-limit'); } else { "
        "element.classList.remove('over-limit'); }",
        "    return fetch(`/api/items/${value}?page=%1`).then((response) => response.json());",
        "} // updateCounter%1",
        "<script> window.addEventListener(\"load\", () => updateCounter%1(document.body, 1)); "
        "</script>",
        "<style media=\"screen and (min-width: 768px)\">",
        ".card-%1 { margin: 0 auto; padding: 12px 16px; border: 1px solid #ccc; }",
        ".card-%1:hover { background-color: rgba(0, 0, 0, 0.05); transition: background 0.2s "
        "ease-in-out; }",
        "</style>",
        "<!-- %1: generated block of markup for the benchmark document, kept realistic -->",
        "",
    };
    constexpr int count = sizeof(templates) / sizeof(templates[0]);
    QString text;
    text.reserve(kLines * 66);
    for (int i = 0; i < kLines; ++i) {
        const QString line = QString::fromLatin1(templates[i % count]);
        text += line.contains(QLatin1String("%1")) ? line.arg(i) : line;
        text += QLatin1Char('\n');
    }
    return text;
}

QFont courier() {
    QFont font(QStringLiteral("Courier"));
    font.setPointSizeF(14);
    return font;
}

double elapsedMs(const QElapsedTimer& timer) {
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

long statusKilobytes(const char* key) {
    QFile file(QStringLiteral("/proc/self/status"));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(static_cast<int>(qstrlen(key))).trimmed().split(' ').first().toLong();
    }
    return 0;
}

struct Figures {
    double openMs = 0;
    double keyMedianMs = 0;
    double keyP99Ms = 0;
    double endMs = 0;
    double peakMb = 0;
};

// What differs between engines.
char typedCharacter(int keystroke) {
    return kTyping[keystroke % kTypingLength];
}

struct Engine {
    std::function<void(const QString&)> open; // load the text
    std::function<void()> paint;              // lay out and paint the visible rectangle
    std::function<void()> scrollToMiddle;     // put the caret in the middle, in view
    std::function<void(char)> typeCharacter;  // insert one character at the caret
    std::function<void()> scrollToEnd;        // lay out to the end and show the last screen
};

Figures run(Engine& engine, const QString& document, long baselineKb) {
    Figures figures;
    QElapsedTimer timer;
    timer.start();
    engine.open(document);
    engine.paint();
    figures.openMs = elapsedMs(timer);

    engine.scrollToMiddle();
    engine.paint();
    std::vector<double> keys;
    keys.reserve(kKeystrokes);
    for (int i = 0; i < kKeystrokes; ++i) {
        timer.restart();
        engine.typeCharacter(typedCharacter(i));
        engine.paint();
        keys.push_back(elapsedMs(timer));
    }
    std::sort(keys.begin(), keys.end());
    figures.keyMedianMs = keys[keys.size() / 2];
    figures.keyP99Ms = keys[keys.size() * 99 / 100];

    timer.restart();
    engine.scrollToEnd();
    engine.paint();
    figures.endMs = elapsedMs(timer);
    figures.peakMb = static_cast<double>(statusKilobytes("VmHWM:") - baselineKb) / 1024.0;
    return figures;
}

Figures runOurs(const QString& document, long baselineKb, QImage& image) {
    KTTextView view;
    view.resize(kViewSize);
    view.show();
    view.setFont(courier());
    view.textContainer()->setWidthTracksTextView(false);
    view.textContainer()->setContainerSize(QSizeF(kWrapWidth, KTTextContainerUnlimited));
    KTLayoutManager* manager = view.layoutManager();
    KTTextStorage* storage = view.textStorage();
    uint32_t caret = 0;
    Engine engine;
    engine.open = [&](const QString& text) { view.setText(text); };
    engine.paint = [&] { view.viewport()->render(&image); };
    engine.scrollToMiddle = [&] {
        caret = storage->lineRangeForRange(NSMakeRange(storage->length() / 2, 0)).location;
        const std::optional<QRectF> rect =
            manager->boundingRectForGlyphRange(NSMakeRange(caret, 0), view.textContainer());
        view.setContentOffset(QPointF(0, rect ? rect->top() - 400 : 0));
    };
    engine.typeCharacter = [&](char c) {
        storage->replaceCharactersInRange(NSMakeRange(caret, 0), QString(QLatin1Char(c)));
        ++caret;
    };
    engine.scrollToEnd = [&] {
        manager->ensureLayoutForCharacterRange(NSMakeRange(storage->length(), 0));
        view.setContentOffset(QPointF(0, view.verticalScrollBar()->maximum()));
    };
    return run(engine, document, baselineKb);
}

Figures runPlainTextEdit(const QString& document, long baselineKb, QImage& image) {
    QPlainTextEdit edit;
    edit.resize(kViewSize);
    edit.setFont(courier());
    edit.setLineWrapMode(QPlainTextEdit::WidgetWidth);
    edit.show();
    Engine engine;
    engine.open = [&](const QString& text) { edit.setPlainText(text); };
    engine.paint = [&] { edit.viewport()->render(&image); };
    engine.scrollToMiddle = [&] {
        QTextCursor cursor(edit.document()->findBlockByNumber(kLines / 2));
        edit.setTextCursor(cursor);
        edit.centerCursor();
    };
    engine.typeCharacter = [&](char c) { edit.insertPlainText(QString(QLatin1Char(c))); };
    engine.scrollToEnd = [&] {
        edit.verticalScrollBar()->setValue(edit.verticalScrollBar()->maximum());
    };
    return run(engine, document, baselineKb);
}

Figures runScintilla(const QString& document, long baselineKb, QImage& image) {
    QsciScintilla editor;
    editor.resize(kViewSize);
    editor.setFont(courier());
    editor.setWrapMode(QsciScintilla::WrapWord);
    editor.show();
    Engine engine;
    engine.open = [&](const QString& text) { editor.setText(text); };
    engine.paint = [&] { editor.viewport()->render(&image); };
    engine.scrollToMiddle = [&] {
        editor.setCursorPosition(kLines / 2, 0);
        editor.ensureCursorVisible();
    };
    engine.typeCharacter = [&](char c) {
        const char text[2] = {c, 0};
        editor.SendScintilla(QsciScintillaBase::SCI_ADDTEXT, 1, text);
    };
    engine.scrollToEnd = [&] { editor.SendScintilla(QsciScintillaBase::SCI_DOCUMENTEND); };
    return run(engine, document, baselineKb);
}

int runChild(const QString& engineName) {
    const QString document = generateDocument();
    QImage image(kViewSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    const long baselineKb = statusKilobytes("VmRSS:");
    Figures figures;
    if (engineName == "ours")
        figures = runOurs(document, baselineKb, image);
    else if (engineName == "plain")
        figures = runPlainTextEdit(document, baselineKb, image);
    else if (engineName == "scintilla")
        figures = runScintilla(document, baselineKb, image);
    else
        return 2;
    if (!qEnvironmentVariableIsEmpty("TEXT_ENGINE_SNAPSHOT"))
        image.save(qEnvironmentVariable("TEXT_ENGINE_SNAPSHOT") + "/" + engineName + ".png");
    std::printf("%.3f %.4f %.4f %.3f %.1f\n", figures.openMs, figures.keyMedianMs, figures.keyP99Ms,
                figures.endMs, figures.peakMb);
    return 0;
}

bool runEngine(const QString& program, const QString& engineName, Figures* figures) {
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(program, {QStringLiteral("--engine=") + engineName});
    if (!child.waitForFinished(-1) || child.exitCode() != 0)
        return false;
    const QList<QByteArray> fields = child.readAllStandardOutput().trimmed().split(' ');
    if (fields.size() != 5)
        return false;
    figures->openMs = fields[0].toDouble();
    figures->keyMedianMs = fields[1].toDouble();
    figures->keyP99Ms = fields[2].toDouble();
    figures->endMs = fields[3].toDouble();
    figures->peakMb = fields[4].toDouble();
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList arguments = QApplication::arguments();
    for (const QString& argument : arguments) {
        if (argument.startsWith(QStringLiteral("--engine=")))
            return runChild(argument.mid(9));
    }

    const QString document = generateDocument();
    const double fileMb = static_cast<double>(document.toUtf8().size()) / (1024.0 * 1024.0);
    std::printf("document: %d lines, %lld UTF-16 units, %.1f MB as UTF-8; view %dx%d, Courier 14, "
                "wrap at %.0f\n",
                kLines, static_cast<long long>(document.size()), fileMb, kViewSize.width(),
                kViewSize.height(), kWrapWidth);
    struct Row {
        const char* name;
        const char* key;
        Figures figures;
        bool ok = false;
    } rows[] = {
        {"Quorvel", "ours", {}}, {"QPlainTextEdit", "plain", {}}, {"QScintilla", "scintilla", {}}};
    for (Row& row : rows) {
        row.ok = runEngine(QApplication::applicationFilePath(), row.key, &row.figures);
        if (!row.ok)
            std::printf("%s: failed to run\n", row.name);
    }
    if (!rows[0].ok)
        return 1;
    std::printf("\n%-16s %12s %14s %14s %12s %12s\n", "engine", "open (ms)", "key median",
                "key p99", "end (ms)", "peak (MB)");
    for (const Row& row : rows) {
        if (!row.ok)
            continue;
        std::printf("%-16s %12.1f %14.3f %14.3f %12.1f %12.1f\n", row.name, row.figures.openMs,
                    row.figures.keyMedianMs, row.figures.keyP99Ms, row.figures.endMs,
                    row.figures.peakMb);
    }
    const Figures& ours = rows[0].figures;
    for (int i = 1; i < 3; ++i) {
        if (!rows[i].ok)
            continue;
        const Figures& peer = rows[i].figures;
        std::printf("ours / %-9s %12.2f %14.2f %14.2f %12.2f %12.2f\n",
                    i == 1 ? "plain" : "scintilla", ours.openMs / peer.openMs,
                    ours.keyMedianMs / peer.keyMedianMs, ours.keyP99Ms / peer.keyP99Ms,
                    ours.endMs / peer.endMs, ours.peakMb / peer.peakMb);
    }
    std::printf(
        "\ntargets: open <= 60 ms: %s; key median <= faster peer: %s; end <= 100 ms: %s; "
        "peak <= 4x file (%.1f MB): %s\n",
        ours.openMs <= 60 ? "met" : "MISSED",
        (rows[1].ok && ours.keyMedianMs <= std::min(rows[1].figures.keyMedianMs,
                                                    rows[2].ok ? rows[2].figures.keyMedianMs : 1e9))
            ? "met"
            : "MISSED",
        ours.endMs <= 100 ? "met" : "MISSED", 4 * fileMb,
        ours.peakMb <= 4 * fileMb ? "met" : "MISSED");
    return 0;
}
