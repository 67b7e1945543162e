#include "platform/Autoresizing.h"

#include <QEvent>
#include <QObject>
#include <QPointer>
#include <QVariant>
#include <QWidget>

namespace {

constexpr const char* MaskProperty = "_autoresizingMask";
constexpr const char* SizeProperty = "_autoresizingParentSize";
constexpr const char* WatchedProperty = "_autoresizingWatched";

// Shares delta among the flexible parts (margin before, length, margin after).
void share(int delta, bool flexBefore, bool flexLength, bool flexAfter, int& before, int& length,
           int& after) {
    const int flexible = int(flexBefore) + int(flexLength) + int(flexAfter);
    if (flexible == 0 || delta == 0)
        return;
    const double total =
        (flexBefore ? before : 0) + (flexLength ? length : 0) + (flexAfter ? after : 0);
    auto part = [&](bool flex, int value) {
        if (!flex)
            return 0.0;
        return total > 0 ? delta * (value / total) : double(delta) / flexible;
    };
    const double dBefore = part(flexBefore, before);
    const double dLength = part(flexLength, length);
    before += qRound(dBefore);
    length = std::max(0, length + qRound(dBefore + dLength) - qRound(dBefore));
    after += delta - qRound(dBefore + dLength);
}

class ParentWatcher : public QObject {
public:
    explicit ParentWatcher(QWidget* parent) : QObject(parent) { parent->installEventFilter(this); }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Resize || watched != parent())
            return false;
        auto* parentWidget = static_cast<QWidget*>(watched);
        const QSize oldSize = parentWidget->property(SizeProperty).toSize();
        const QSize newSize = parentWidget->size();
        parentWidget->setProperty(SizeProperty, newSize);
        if (!oldSize.isValid() || oldSize == newSize)
            return false;
        const int dw = newSize.width() - oldSize.width();
        const int dh = newSize.height() - oldSize.height();
        const auto children = parentWidget->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
        for (QWidget* child : children) {
            const QVariant value = child->property(MaskProperty);
            if (!value.isValid())
                continue;
            const AutoresizingMask mask = AutoresizingMask::fromInt(value.toInt());
            QRect g = child->geometry();
            int left = g.x(), width = g.width(), right = oldSize.width() - g.x() - g.width();
            int top = g.y(), height = g.height(), bottom = oldSize.height() - g.y() - g.height();
            share(dw, mask & Autoresizing::FlexibleLeftMargin, mask & Autoresizing::FlexibleWidth,
                  mask & Autoresizing::FlexibleRightMargin, left, width, right);
            share(dh, mask & Autoresizing::FlexibleTopMargin, mask & Autoresizing::FlexibleHeight,
                  mask & Autoresizing::FlexibleBottomMargin, top, height, bottom);
            child->setGeometry(left, top, width, height);
        }
        return false;
    }
};

} // namespace

void setAutoresizingMask(QWidget* widget, AutoresizingMask mask) {
    widget->setProperty(MaskProperty, mask.toInt());
    QWidget* parent = widget->parentWidget();
    if (!parent)
        return;
    if (!parent->property(WatchedProperty).toBool()) {
        new ParentWatcher(parent);
        parent->setProperty(WatchedProperty, true);
        parent->setProperty(SizeProperty, parent->size());
    }
}

AutoresizingMask autoresizingMask(const QWidget* widget) {
    return AutoresizingMask::fromInt(widget->property(MaskProperty).toInt());
}
