// Draws the text system's images: KTSelectionHandle.png (the knob of a selection handle),
// KTCircularLoupeOverlay.png and KTRectangularLoupeOverlay.png (the frames of the two lenses).
// Usage: textimages OUTPUT_FOLDER
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cstdio>

namespace {

QImage blank(int width, int height) {
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

// A glossy blue ball: darker rim, light spot up left.
QImage selectionHandle() {
    QImage image = blank(14, 14);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF ball(1, 1, 12, 12);
    QRadialGradient fill(QPointF(5, 4.5), 8, QPointF(4.5, 4));
    fill.setColorAt(0, QColor(150, 190, 255));
    fill.setColorAt(0.45, QColor(40, 100, 230));
    fill.setColorAt(1, QColor(10, 40, 160));
    painter.setPen(QPen(QColor(0, 20, 90, 200), 0.8));
    painter.setBrush(fill);
    painter.drawEllipse(ball);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 255, 255, 170));
    painter.drawEllipse(QRectF(3.5, 2.6, 4, 2.6));
    return image;
}

// A round lens frame: a soft shadow below, a grey bevelled ring, a glassy highlight on top.
// The lens itself (5, 3, width - 10, height - 7) stays transparent apart from the highlight.
QImage circularOverlay() {
    const int width = 120, height = 117;
    QImage image = blank(width, height);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF lens(5, 3, width - 10, height - 7);
    // Shadow.
    for (int i = 4; i >= 1; --i) {
        painter.setPen(QPen(QColor(0, 0, 0, 18), i * 1.5));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(lens.adjusted(-1, 1, 1, 3));
    }
    // Ring.
    QLinearGradient ring(lens.topLeft(), lens.bottomLeft());
    ring.setColorAt(0, QColor(250, 250, 250));
    ring.setColorAt(0.5, QColor(190, 192, 196));
    ring.setColorAt(1, QColor(120, 122, 128));
    painter.setPen(QPen(QBrush(ring), 4));
    painter.drawEllipse(lens.adjusted(1, 1, -1, -1));
    painter.setPen(QPen(QColor(80, 80, 86, 200), 1));
    painter.drawEllipse(lens.adjusted(3, 3, -3, -3));
    // Glass highlight over the upper half.
    QPainterPath glass;
    glass.addEllipse(lens.adjusted(10, 6, -10, -lens.height() / 2));
    QLinearGradient shine(lens.topLeft(), QPointF(lens.left(), lens.center().y()));
    shine.setColorAt(0, QColor(255, 255, 255, 90));
    shine.setColorAt(1, QColor(255, 255, 255, 0));
    painter.fillPath(glass, shine);
    return image;
}

// A rectangular lens frame around (6, 5, 133, 32) with rounded corners, a small pointer below
// the middle, a shadow and a highlight along the top edge.
QImage rectangularOverlay() {
    const int width = 145, height = 50;
    QImage image = blank(width, height);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF lens(6, 5, 133, 32);
    QPainterPath body;
    body.addRoundedRect(lens.adjusted(-3, -3, 3, 3), 7, 7);
    QPainterPath pointer;
    const qreal mid = width / 2.0;
    pointer.moveTo(mid - 8, lens.bottom() + 2);
    pointer.lineTo(mid, lens.bottom() + 10);
    pointer.lineTo(mid + 8, lens.bottom() + 2);
    pointer.closeSubpath();
    body = body.united(pointer);
    QPainterPath hole;
    hole.addRect(lens);
    // Shadow.
    painter.fillPath(body.translated(0, 2).subtracted(hole), QColor(0, 0, 0, 50));
    QLinearGradient frame(0, lens.top() - 3, 0, lens.bottom() + 10);
    frame.setColorAt(0, QColor(245, 245, 247));
    frame.setColorAt(0.5, QColor(185, 187, 192));
    frame.setColorAt(1, QColor(120, 122, 128));
    painter.fillPath(body.subtracted(hole), frame);
    painter.setPen(QPen(QColor(70, 70, 76, 220), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(lens.adjusted(-0.5, -0.5, 0.5, 0.5));
    QLinearGradient shine(0, lens.top(), 0, lens.top() + 12);
    shine.setColorAt(0, QColor(255, 255, 255, 110));
    shine.setColorAt(1, QColor(255, 255, 255, 0));
    painter.fillRect(QRectF(lens.left(), lens.top(), lens.width(), 12), shine);
    return image;
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: textimages OUTPUT_FOLDER\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!out.exists() && !QDir().mkpath(out.path())) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 1;
    }
    const struct {
        const char* name;
        QImage image;
    } images[] = {{"KTSelectionHandle.png", selectionHandle()},
                  {"KTCircularLoupeOverlay.png", circularOverlay()},
                  {"KTRectangularLoupeOverlay.png", rectangularOverlay()}};
    for (const auto& entry : images) {
        const QString path = out.filePath(QString::fromLatin1(entry.name));
        if (!entry.image.save(path)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
