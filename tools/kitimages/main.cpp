// Draws the toolkit's background images: bg_fabric.png, bg_tab_n.png, bg_tab_h.png,
// bg_folder.48x48.png and bg_selection_blue.png.
// Usage: kitimages OUTPUT_FOLDER
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRandomGenerator>
#include <cstdio>

namespace {

// A woven slate cloth: alternating warp and weft threads with a little fixed-seed noise, so the
// tile repeats without a visible seam.
QImage fabric() {
    const int size = 64;
    QImage image(size, size, QImage::Format_RGB32);
    QRandomGenerator random(20261211);
    const QColor base(74, 84, 96);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const bool warp = ((x / 2) + (y / 2)) % 2 == 0;
            const int thread = warp ? ((y % 2) ? 6 : -4) : ((x % 2) ? 6 : -4);
            const int noise = int(random.bounded(11)) - 5;
            const int d = thread + noise;
            image.setPixel(x, y,
                           qRgb(std::clamp(base.red() + d, 0, 255),
                                std::clamp(base.green() + d, 0, 255),
                                std::clamp(base.blue() + d + 2, 0, 255)));
        }
    }
    return image;
}

// A tab: slanted sides with rounded shoulders over a vertical gradient. The middle column is the
// one stretched (left cap 40 points).
QImage tab(bool highlighted) {
    const int width = 81, height = 44;
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    const double top = 3, bottom = height;
    path.moveTo(0, bottom);
    path.cubicTo(14, bottom, 14, top, 30, top);
    path.lineTo(width - 30, top);
    path.cubicTo(width - 14, top, width - 14, bottom, width, bottom);
    path.closeSubpath();
    QLinearGradient fill(0, top, 0, bottom);
    if (highlighted) {
        fill.setColorAt(0, QColor(255, 255, 255));
        fill.setColorAt(1, QColor(246, 246, 240));
    } else {
        fill.setColorAt(0, QColor(214, 216, 212));
        fill.setColorAt(1, QColor(184, 187, 184));
    }
    painter.fillPath(path, fill);
    painter.setPen(QPen(QColor(90, 96, 104), 1));
    painter.drawPath(path);
    if (highlighted) {
        // The selected tab runs into the page below it.
        painter.setPen(QPen(QColor(246, 246, 240), 2));
        painter.drawLine(QPointF(2, bottom - 0.5), QPointF(width - 2, bottom - 0.5));
    }
    return image;
}

// The paper behind folders and documents: a light sheet with a thin border and rounded corners,
// stretched from its centre pixel.
QImage folder() {
    const int size = 48;
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(QRectF(0.5, 0.5, size - 1, size - 1), 8, 8);
    painter.fillPath(path, QColor(246, 246, 240));
    painter.setPen(QPen(QColor(150, 154, 160), 1));
    painter.drawPath(path);
    return image;
}

// The highlight behind a touched menu item.
QImage selectionBlue() {
    QImage image(4, 44, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient fill(0, 0, 0, 44);
    fill.setColorAt(0, QColor(5, 140, 245));
    fill.setColorAt(1, QColor(1, 93, 230));
    painter.fillRect(image.rect(), fill);
    return image;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: kitimages OUTPUT_FOLDER\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!QDir().mkpath(out.path())) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 1;
    }
    const std::pair<const char*, QImage> images[] = {
        {"bg_fabric.png", fabric()},
        {"bg_tab_n.png", tab(false)},
        {"bg_tab_h.png", tab(true)},
        {"bg_folder.48x48.png", folder()},
        {"bg_selection_blue.png", selectionBlue()},
    };
    for (const auto& [name, image] : images) {
        if (!image.save(out.filePath(QString::fromLatin1(name)), "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", name);
            return 1;
        }
    }
    return 0;
}
