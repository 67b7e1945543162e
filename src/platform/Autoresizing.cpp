#include "platform/Autoresizing.h"

#include <QEvent>
#include <QObject>
#include <QPointer>
#include <QResizeEvent>
#include <QVariant>
#include <QWidget>

namespace {

constexpr const char* MaskProperty = "_autoresizingMask";
// What the child's frame and its parent's size were when last seen together.
constexpr const char* FrameProperty = "_autoresizingFrame";
constexpr const char* ParentSizeProperty = "_autoresizingParentSize";
// The object that watches a parent is found by this name among the parent's children.
const QString WatcherName = QStringLiteral("_autoresizingWatcher");

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

void record(QWidget* child) {
    child->setProperty(FrameProperty, child->geometry());
    if (QWidget* parent = child->parentWidget())
        child->setProperty(ParentSizeProperty, parent->size());
}

QRect resized(const QRect& g, const QSize& oldSize, const QSize& newSize, AutoresizingMask mask) {
    int left = g.x(), width = g.width(), right = oldSize.width() - g.x() - g.width();
    int top = g.y(), height = g.height(), bottom = oldSize.height() - g.y() - g.height();
    share(newSize.width() - oldSize.width(), mask & Autoresizing::FlexibleLeftMargin,
          mask & Autoresizing::FlexibleWidth, mask & Autoresizing::FlexibleRightMargin, left, width,
          right);
    share(newSize.height() - oldSize.height(), mask & Autoresizing::FlexibleTopMargin,
          mask & Autoresizing::FlexibleHeight, mask & Autoresizing::FlexibleBottomMargin, top,
          height, bottom);
    return QRect(left, top, width, height);
}

// Watches a parent's size and the frames of its children that have a mask.
class Watcher : public QObject {
public:
    explicit Watcher(QWidget* parent) : QObject(parent) { parent->installEventFilter(this); }

    void watchChild(QWidget* child) { child->installEventFilter(this); }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == parent()) {
            if (event->type() == QEvent::Resize)
                parentResized(static_cast<QResizeEvent*>(event));
            return false;
        }
        // A child moved or resized while on screen: its frame goes with the parent's size now.
        if (event->type() == QEvent::Move || event->type() == QEvent::Resize) {
            auto* child = static_cast<QWidget*>(watched);
            if (child->parentWidget() == parent())
                record(child);
        }
        return false;
    }

private:
    void parentResized(QResizeEvent* event) {
        auto* parentWidget = static_cast<QWidget*>(parent());
        const QSize newSize = parentWidget->size();
        const auto children = parentWidget->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
        for (QWidget* child : children) {
            const QVariant value = child->property(MaskProperty);
            if (!value.isValid())
                continue;
            const auto mask = AutoresizingMask::fromInt(value.toInt());
            QSize oldSize;
            if (child->geometry() == child->property(FrameProperty).toRect()) {
                // Untouched since last seen: follow the change from the size seen then.
                oldSize = child->property(ParentSizeProperty).toSize();
            } else if (event->oldSize().isValid() && event->oldSize() != newSize) {
                // Placed while the parent still had its old size.
                oldSize = event->oldSize();
            } else {
                // Placed while the parent was off screen and already resized: the frame was
                // meant for the new size.
                record(child);
                continue;
            }
            if (oldSize.isValid() && oldSize != newSize)
                child->setGeometry(resized(child->geometry(), oldSize, newSize, mask));
            record(child);
        }
    }
};

} // namespace

void setAutoresizingMask(QWidget* widget, AutoresizingMask mask) {
    widget->setProperty(MaskProperty, mask.toInt());
    QWidget* parent = widget->parentWidget();
    if (!parent)
        return;
    auto* watcher =
        static_cast<Watcher*>(parent->findChild<QObject*>(WatcherName, Qt::FindDirectChildrenOnly));
    if (!watcher) {
        watcher = new Watcher(parent);
        watcher->setObjectName(WatcherName);
    }
    watcher->watchChild(widget);
    record(widget);
}

AutoresizingMask autoresizingMask(const QWidget* widget) {
    return AutoresizingMask::fromInt(widget->property(MaskProperty).toInt());
}
