#pragma once

#include "text/KTTextOverlayView.h"

#include <QImage>

// One end of a selection: a blue bar the height of the caret with a round knob
// ("KTSelectionHandle.png") above the start or below the end. Its frame is the caret rectangle
// of its end; the knob hangs outside that frame.
class KTTextSelectionHandle : public KTTextOverlayView {
    Q_OBJECT
public:
    enum Position : int32_t { Start = 1, End = 2 };

    KTTextSelectionHandle(const QRectF& frame, int32_t position, QWidget* parent = nullptr);

    int32_t position() const { return _position; }
    void setCaretRect(const QRectF& caretRect);
    // Where the knob's centre lies, relative to the frame's top-left corner.
    QPointF knobCenter() const;
    // The knob's rectangle in content coordinates.
    QRectF knobFrame() const;

protected:
    QRectF widgetRectForFrame(const QRectF& frame) const override;
    void paintEvent(QPaintEvent* event) override;

private:
    int32_t _position;
    QImage _bull;
};
