#pragma once

#include "text/KTTextOverlayView.h"

#include <QPointer>

#include <QAbstractAnimation>

// The blinking insertion point: a blue bar over the text.
class KTTextCaret : public KTTextOverlayView {
    Q_OBJECT
    Q_PROPERTY(qreal alpha READ alpha WRITE setAlpha)
public:
    explicit KTTextCaret(QWidget* parent = nullptr);

    // Fades the caret out and in ("KTTextCaretBlinkAnimation"): 0.5 s to transparent after a
    // 0.8 s pause, reversing and repeating without end.
    void startBlinking();
    // Brings the caret back to fully opaque, from wherever the blink was.
    void stopBlinking();
    bool isBlinking() const;

    qreal alpha() const { return alpha_; }
    void setAlpha(qreal alpha);
    // The running animation (its object name is the animation's name), if any.
    QAbstractAnimation* animation() const { return animation_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void stopAnimation();

    qreal alpha_ = 1;
    QPointer<QAbstractAnimation> animation_;
    bool blinking_ = false;
};
