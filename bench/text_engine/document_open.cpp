// Opening a 5 MB web document through KTDocumentController, from the file on disk to the first
// painted screen: reading through the local connection, encoding detection, line endings,
// the text store, the code view with its margin, and the first layout and drawing.
//
// Prints the median and the fastest of several runs, with the share of the load (read,
// detection, store) and of the first paint.

#include "connections/FileConnection.h"
#include "core/Settings.h"
#include "editor/KTCodeView.h"
#include "platform/Animations.h"
#include "text/KTLayoutManager.h"
#include "workspace/DocumentData.h"
#include "workspace/KTDocumentController.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr qsizetype kTargetBytes = 5 * 1024 * 1024;
constexpr int kRuns = 9;

QByteArray generateFile() {
    static const char* const lines[] = {
        "<div class=\"card\" id=\"item-%1\"><h2>Section %1 \xc3\xa9t\xc3\xa9</h2>",
        "  <p>Lorem ipsum dolor sit amet, consectetur adipiscing elit, item %1.</p>",
        "<script>function update%1(e, v) { return fetch(`/api/${v}?p=%1`); }</script>",
        ".card-%1 { margin: 0 auto; padding: 12px 16px; border: 1px solid #ccc; }",
        "</div>",
    };
    QByteArray data = "<!DOCTYPE html>\r\n<html><head><meta charset=\"utf-8\"></head><body>\r\n";
    for (int i = 0; data.size() < kTargetBytes; ++i)
        data += QString::fromUtf8(lines[i % 5])
                    .replace(QLatin1String("%1"), QString::number(i))
                    .toUtf8() +
                "\r\n";
    return data + "</body></html>\r\n";
}

struct Run {
    double loadMs;
    double paintMs;
};

Run openOnce(const QString& folder) {
    auto connection = std::make_shared<FileConnection>();
    connection->setBasePath(folder);
    QElapsedTimer timer;
    timer.start();
    KTDocumentController controller(QStringLiteral("big.html"));
    controller.setConnection(connection);
    QWidget* view = controller.view(); // reads and detects
    view->resize(768, 1024);
    const double load = timer.nsecsElapsed() / 1e6;
    QImage image(768, 1024, QImage::Format_ARGB32_Premultiplied);
    view->render(&image); // the first painted screen, margin included
    const double total = timer.nsecsElapsed() / 1e6;
    if (controller.text().size() < kTargetBytes / 2 || controller.encoding() != 4)
        std::fprintf(stderr, "unexpected document: %lld characters, encoding %u\n",
                     static_cast<long long>(controller.text().size()), controller.encoding());
    return {load, total - load};
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    qputenv("QUORVEL_HOME", home.path().toUtf8());
    QApplication app(argc, argv);
    setAnimationsEnabled(false);

    QTemporaryDir folder;
    const QByteArray data = generateFile();
    QFile file(folder.filePath(QStringLiteral("big.html")));
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size())
        return 1;
    file.close();

    openOnce(folder.path()); // warm up fonts and caches
    std::vector<Run> runs;
    for (int i = 0; i < kRuns; ++i)
        runs.push_back(openOnce(folder.path()));
    std::vector<Run> sorted = runs;
    std::sort(sorted.begin(), sorted.end(), [](const Run& a, const Run& b) {
        return a.loadMs + a.paintMs < b.loadMs + b.paintMs;
    });
    const Run& median = sorted[sorted.size() / 2];
    // The parts of the load on their own: bytes to text, and text into a code view's store.
    std::vector<double> decode, store;
    for (int i = 0; i < kRuns; ++i) {
        QElapsedTimer timer;
        timer.start();
        const auto contents = documentFromData(data, 0);
        decode.push_back(timer.nsecsElapsed() / 1e6);
        KTCodeView view;
        view.resize(718, 1024);
        timer.restart();
        view.setText(contents ? contents->text : QString());
        store.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(decode.begin(), decode.end());
    std::sort(store.begin(), store.end());
    std::printf("document open, %.1f MB UTF-8 with CR LF, %d runs\n", data.size() / 1048576.0,
                kRuns);
    std::printf("  reading the bytes as text (detection, decoding, line endings): median %.1f ms\n",
                decode[decode.size() / 2]);
    std::printf("  putting the text into the code view: median %.1f ms\n", store[store.size() / 2]);
    std::printf("through KTDocumentController, %d runs\n", kRuns);
    std::printf("  to first painted screen: median %.1f ms (load %.1f + paint %.1f), fastest "
                "%.1f ms\n",
                median.loadMs + median.paintMs, median.loadMs, median.paintMs,
                sorted.front().loadMs + sorted.front().paintMs);

    // The margin numbers the visible lines counted from the top of the text: drawing it at the
    // end of the document walks every line before.
    {
        auto connection = std::make_shared<FileConnection>();
        connection->setBasePath(folder.path());
        KTDocumentController controller(QStringLiteral("big.html"));
        controller.setConnection(connection);
        QWidget* view = controller.view();
        view->resize(768, 1024);
        KTCodeView* code = controller.editorView();
        code->layoutManager()->ensureLayoutForCharacterRange(
            NSMakeRange(0, code->textStorage()->length()));
        code->sizeToFit();
        std::vector<double> paints;
        for (qreal fraction : {0.25, 0.5, 0.75, 0.999}) {
            code->setContentOffset(QPointF(0, code->contentSize().height() * fraction));
            QImage image(50, 1024, QImage::Format_ARGB32_Premultiplied);
            QElapsedTimer timer;
            timer.start();
            controller.leftMargin()->render(&image);
            paints.push_back(timer.nsecsElapsed() / 1e6);
        }
        std::printf("margin drawn a quarter, half, three quarters and all the way down: "
                    "%.1f, %.1f, %.1f, %.1f ms\n",
                    paints[0], paints[1], paints[2], paints[3]);
    }
    return 0;
}
