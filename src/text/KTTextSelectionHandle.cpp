#include "text/KTTextSelectionHandle.h"

#include "text/KTTextImages.h"

#include <QPainter>
#include <QtGlobal>

KTTextSelectionHandle::KTTextSelectionHandle(const QRectF& frame, int32_t position, QWidget* parent)
    : KTTextOverlayView(parent), _position(position) {
    _bull = KTTextImageNamed(QStringLiteral("KTSelectionHandle.png"));
    if (_bull.isNull()) {
        // A packaging error; the handle still works, drawn with a plain knob.
        qCritical("Can't find KTSelectionHandle.png");
        _bull = QImage(12, 12, QImage::Format_ARGB32_Premultiplied);
        _bull.fill(Qt::transparent);
        QPainter painter(&_bull);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setBrush(QColor(0, 0, 255));
        painter.setPen(Qt::NoPen);
        painter.drawEllipse(QRectF(0, 0, 12, 12));
    }
    setFillColor(QColor(0, 0, 255));
    setFrame(frame);
}

void KTTextSelectionHandle::setCaretRect(const QRectF& caretRect) {
    setFrame(caretRect);
}

QPointF KTTextSelectionHandle::knobCenter() const {
    const QRectF f = frame();
    return _position == Start ? QPointF(f.width() / 2, -6) : QPointF(f.width() / 2, f.height() + 8);
}

QRectF KTTextSelectionHandle::knobFrame() const {
    const QSizeF size = _bull.deviceIndependentSize();
    const QPointF center = frame().topLeft() + knobCenter();
    return QRectF(center.x() - size.width() / 2, center.y() - size.height() / 2, size.width(),
                  size.height());
}

QRectF KTTextSelectionHandle::widgetRectForFrame(const QRectF& frame) const {
    const QSizeF size = _bull.deviceIndependentSize();
    const QPointF center =
        frame.topLeft() + (_position == Start ? QPointF(frame.width() / 2, -6)
                                              : QPointF(frame.width() / 2, frame.height() + 8));
    return frame.united(QRectF(center.x() - size.width() / 2, center.y() - size.height() / 2,
                               size.width(), size.height()));
}

void KTTextSelectionHandle::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRectF bar = frameInWidget();
    painter.fillRect(bar, fillColor());
    const QSizeF size = _bull.deviceIndependentSize();
    const QPointF center = bar.topLeft() + knobCenter();
    painter.drawImage(QPointF(center.x() - size.width() / 2, center.y() - size.height() / 2),
                      _bull);
}
