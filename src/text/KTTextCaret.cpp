#include "text/KTTextCaret.h"

#include <QPainter>
#include <QPauseAnimation>
#include <QPropertyAnimation>
#include <QSequentialAnimationGroup>

namespace {
const char* const kBlinkAnimation = "KTTextCaretBlinkAnimation";
}

KTTextCaret::KTTextCaret(QWidget* parent) : KTTextOverlayView(parent) {
    setFillColor(QColor(0, 0, 255));
    startBlinking();
}

void KTTextCaret::setAlpha(qreal alpha) {
    if (alpha == alpha_)
        return;
    alpha_ = alpha;
    update();
}

void KTTextCaret::stopAnimation() {
    if (animation_) {
        animation_->stop();
        animation_->deleteLater();
    }
    animation_ = nullptr;
}

void KTTextCaret::startBlinking() {
    stopBlinking();
    stopAnimation();
    setAlpha(1);
    auto* group = new QSequentialAnimationGroup(this);
    group->setObjectName(QString::fromLatin1(kBlinkAnimation));
    group->addAnimation(new QPauseAnimation(800, group));
    auto* fade = new QPropertyAnimation(this, "alpha", group);
    // Out in 0.5 s and back in 0.5 s, for ever.
    fade->setDuration(1000);
    fade->setKeyValueAt(0, 1.0);
    fade->setKeyValueAt(0.5, 0.0);
    fade->setKeyValueAt(1, 1.0);
    fade->setLoopCount(-1);
    fade->setEasingCurve(QEasingCurve::InOutQuad);
    group->addAnimation(fade);
    animation_ = group;
    blinking_ = true;
    group->start();
}

void KTTextCaret::stopBlinking() {
    stopAnimation();
    blinking_ = false;
    if (alpha_ == 1)
        return;
    auto* show = new QPropertyAnimation(this, "alpha", this);
    show->setObjectName(QString::fromLatin1(kBlinkAnimation));
    show->setDuration(100);
    show->setStartValue(alpha_);
    show->setEndValue(1.0);
    animation_ = show;
    show->start();
}

bool KTTextCaret::isBlinking() const {
    return blinking_;
}

void KTTextCaret::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QColor color = fillColor();
    color.setAlphaF(color.alphaF() * alpha_);
    painter.fillRect(frameInWidget(), color);
}
