#pragma once

#include <QFlags>

class QWidget;

// How a view follows its parent's size, as the tablet toolkit's autoresizing masks do: the
// change of the parent's width (height) is shared among the flexible parts of the view's
// horizontal (vertical) extent in proportion to their current sizes.
enum class Autoresizing {
    None = 0,
    FlexibleLeftMargin = 1 << 0,
    FlexibleWidth = 1 << 1,
    FlexibleRightMargin = 1 << 2,
    FlexibleTopMargin = 1 << 3,
    FlexibleHeight = 1 << 4,
    FlexibleBottomMargin = 1 << 5,
};
Q_DECLARE_FLAGS(AutoresizingMask, Autoresizing)
Q_DECLARE_OPERATORS_FOR_FLAGS(AutoresizingMask)

// Gives the widget a mask; it follows its parent from the parent's current size on. Give the
// mask after the widget has its parent. A frame set while the parent is off screen and already
// resized is taken as meant for the parent's new size.
void setAutoresizingMask(QWidget* widget, AutoresizingMask mask);
AutoresizingMask autoresizingMask(const QWidget* widget);
