#include "text/KTTextOverlayView.h"

#include <QPainter>

#include <cmath>

KTTextOverlayView::KTTextOverlayView(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
}

void KTTextOverlayView::setFrame(const QRectF& frame) {
    frame_ = frame;
    updatePosition(contentOffset_);
    update();
}

void KTTextOverlayView::updatePosition(const QPointF& contentOffset) {
    contentOffset_ = contentOffset;
    const QRectF r = widgetRectForFrame(frame_).translated(-contentOffset);
    // Whole pixels that cover the rectangle.
    const QRect pixels(
        QPoint(static_cast<int>(std::floor(r.left())), static_cast<int>(std::floor(r.top()))),
        QPoint(static_cast<int>(std::ceil(r.right())) - 1,
               static_cast<int>(std::ceil(r.bottom())) - 1));
    if (pixels != geometry())
        setGeometry(pixels);
}

QRectF KTTextOverlayView::frameInWidget() const {
    return frame_.translated(-contentOffset_ - QPointF(geometry().topLeft()));
}

void KTTextOverlayView::setFillColor(const QColor& color) {
    fillColor_ = color;
    update();
}

void KTTextOverlayView::setBorderColor(const QColor& color, qreal width) {
    borderColor_ = color;
    borderWidth_ = width;
    update();
}

void KTTextOverlayView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRectF r = frameInWidget();
    if (fillColor_.isValid())
        painter.fillRect(r, fillColor_);
    if (borderColor_.isValid() && borderWidth_ > 0) {
        QPen pen(borderColor_, borderWidth_);
        pen.setJoinStyle(Qt::MiterJoin);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        const qreal half = borderWidth_ / 2;
        painter.drawRect(r.adjusted(half, half, -half, -half));
    }
}
