#include "kit/KTProgressView.h"

#include <QPainter>
#include <QPainterPath>

namespace {

QPainterPath pill(const QRectF& rect, double radius) {
    QPainterPath path;
    path.addRoundedRect(rect, radius, radius);
    return path;
}

// Fills path, its upper half at the given alpha when glossy.
void fillGlossy(QPainter& painter, const QPainterPath& path, const QRectF& bounds,
                const QColor& colour, bool glossy, double upperAlpha) {
    if (!glossy) {
        painter.fillPath(path, colour);
        return;
    }
    const double middle = bounds.top() + bounds.height() / 2;
    QColor upper = colour;
    upper.setAlphaF(float(colour.alphaF() * upperAlpha));
    painter.save();
    painter.setClipRect(
        QRectF(bounds.left() - 1, bounds.top() - 1, bounds.width() + 2, middle - bounds.top() + 1));
    painter.fillPath(path, upper);
    painter.setClipRect(
        QRectF(bounds.left() - 1, middle, bounds.width() + 2, bounds.bottom() - middle + 1));
    painter.fillPath(path, colour);
    painter.restore();
}

} // namespace

KTProgressView::KTProgressView(const QRect& frame, QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAutoFillBackground(false);
    setGeometry(frame);
}

void KTProgressView::setProgress(float progress) {
    m_progress = std::clamp(progress, 0.0f, 1.0f);
    update();
}

void KTProgressView::setLineColor(const QColor& color) {
    m_lineColor = color;
    update();
}

void KTProgressView::setProgressRemainingColor(const QColor& color) {
    m_remainingColor = color;
    update();
}

void KTProgressView::setProgressColor(const QColor& color) {
    m_progressColor = color;
    update();
}

void KTProgressView::setGlossy(bool glossy) {
    m_glossy = glossy;
    update();
}

void KTProgressView::drawInRect(QPainter& painter, const QRectF& rect) const {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const double w = rect.width(), h = rect.height();
    const QPointF origin = rect.topLeft();

    // The track: a pill inset by 2, ends of radius h/2 − 2, filled and outlined.
    const QRectF track(origin.x() + 2, origin.y() + 2, w - 4, h - 4);
    const QPainterPath trackPath = pill(track, std::max(0.0, h / 2 - 2));
    fillGlossy(painter, trackPath, track, m_remainingColor, m_glossy, 0.7);
    painter.setPen(QPen(m_lineColor, 2));
    painter.drawPath(trackPath);

    // The bar: a pill inset by 4 (ends of radius r = h/2 − 4) from x = 4 to near w × progress
    // + r + 4, never past w − 4. While w × progress is below r + 4 only the left cap shows.
    const double r = std::max(0.0, h / 2 - 4);
    const double filled = w * double(m_progress);
    if (filled > 0 && r > 0) {
        const QRectF inner(origin.x() + 4, origin.y() + 4, w - 8, h - 8);
        QPainterPath bar;
        if (filled < r + 4) {
            // The left half-circle only.
            bar.moveTo(inner.left() + r, inner.top());
            bar.arcTo(QRectF(inner.left(), inner.top(), 2 * r, 2 * r), 90, 180);
            bar.closeSubpath();
        } else {
            const double end = std::min(origin.x() + filled + r + 4, origin.x() + w - 4);
            bar = pill(QRectF(inner.left(), inner.top(), end - inner.left(), inner.height()), r);
        }
        fillGlossy(painter, bar, inner, m_progressColor, m_glossy, 0.78);
    }
    painter.restore();
}

void KTProgressView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    drawInRect(painter, QRectF(rect()));
}
