#include "platform/Animations.h"

#include <QGraphicsOpacityEffect>
#include <QPropertyAnimation>
#include <QWidget>
#include <QtGlobal>

namespace {
bool& flag() {
    static bool enabled = qEnvironmentVariableIntValue("QUORVEL_NO_ANIMATIONS") == 0;
    return enabled;
}
} // namespace

bool animationsEnabled() {
    return flag();
}

void setAnimationsEnabled(bool enabled) {
    flag() = enabled;
}

void fadeIn(QWidget* widget, int durationMs) {
    if (!animationsEnabled())
        return;
    auto* effect = new QGraphicsOpacityEffect(widget);
    widget->setGraphicsEffect(effect);
    auto* fade = new QPropertyAnimation(effect, "opacity", widget);
    fade->setDuration(durationMs);
    fade->setStartValue(0.0);
    fade->setEndValue(1.0);
    QObject::connect(fade, &QPropertyAnimation::finished, widget,
                     [widget] { widget->setGraphicsEffect(nullptr); });
    fade->start(QAbstractAnimation::DeleteWhenStopped);
}
