#pragma once

#include <QColor>
#include <QRectF>
#include <QWidget>

// A small view laid over the text (caret, selection, handles, marked text). Its frame is kept
// in content coordinates; the text view moves it when the content scrolls. It paints itself
// and never the text below, so showing, moving or hiding it never redraws text.
class KTTextOverlayView : public QWidget {
    Q_OBJECT
public:
    explicit KTTextOverlayView(QWidget* parent = nullptr);

    QRectF frame() const { return frame_; }
    void setFrame(const QRectF& frame);
    // Places the widget for the content scrolled to `contentOffset`.
    void updatePosition(const QPointF& contentOffset);

    QColor fillColor() const { return fillColor_; }
    void setFillColor(const QColor& color);
    QColor borderColor() const { return borderColor_; }
    void setBorderColor(const QColor& color, qreal width);

protected:
    // The part of the content the widget covers for a frame (the frame itself by default).
    virtual QRectF widgetRectForFrame(const QRectF& frame) const { return frame; }
    // Where the frame lies inside the widget.
    QRectF frameInWidget() const;
    void paintEvent(QPaintEvent* event) override;

private:
    QRectF frame_;
    QPointF contentOffset_;
    QColor fillColor_;
    QColor borderColor_;
    qreal borderWidth_ = 0;
};
