#include "text/KTEditMenu.h"

#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace {
constexpr qreal kBarHeight = 36;
constexpr qreal kArrowHeight = 9;
constexpr qreal kItemPadding = 14;
constexpr qreal kMargin = 4;
} // namespace

KTEditMenu* KTEditMenu::sharedMenuController() {
    static QPointer<KTEditMenu> shared;
    if (!shared)
        shared = new KTEditMenu();
    return shared;
}

KTEditMenu::KTEditMenu() : QWidget(nullptr) {
    setObjectName(QStringLiteral("KTEditMenu"));
    setAttribute(Qt::WA_TranslucentBackground);
    setFocusPolicy(Qt::NoFocus);
    QFont f = font();
    f.setPointSizeF(13);
    f.setBold(true);
    setFont(f);
    hide();
}

QString KTEditMenu::titleForAction(KTEditAction action) {
    switch (action) {
    case KTEditAction::Cut:
        return QStringLiteral("Cut");
    case KTEditAction::Copy:
        return QStringLiteral("Copy");
    case KTEditAction::Paste:
        return QStringLiteral("Paste");
    case KTEditAction::Select:
        return QStringLiteral("Select");
    case KTEditAction::SelectAll:
        return QStringLiteral("Select All");
    case KTEditAction::Delete:
        return QStringLiteral("Delete");
    }
    return {};
}

void KTEditMenu::setTargetRect(const QRectF& rect, QWidget* view) {
    targetRect_ = rect;
    targetView_ = view;
}

void KTEditMenu::setResponder(KTEditMenuResponder* responder, QWidget* responderWidget) {
    responder_ = responder;
    responderWidget_ = responderWidget;
}

KTEditMenuResponder* KTEditMenu::responder() const {
    return responderWidget_ ? responder_ : nullptr;
}

QStringList KTEditMenu::visibleTitles() const {
    QStringList titles;
    if (!menuVisible_)
        return titles;
    for (KTEditAction action : actions_)
        titles.append(titleForAction(action));
    return titles;
}

bool KTEditMenu::triggerTitle(const QString& title) {
    for (KTEditAction action : actions_) {
        if (titleForAction(action) == title && menuVisible_) {
            KTEditMenuResponder* target = responder();
            setMenuVisible(false, true);
            if (target)
                target->performEditAction(action);
            return true;
        }
    }
    return false;
}

void KTEditMenu::setMenuVisible(bool visible, bool) {
    if (!visible) {
        menuVisible_ = false;
        hide();
        return;
    }
    actions_.clear();
    if (KTEditMenuResponder* target = responder()) {
        for (KTEditAction action : {KTEditAction::Cut, KTEditAction::Copy, KTEditAction::Paste,
                                    KTEditAction::Select, KTEditAction::SelectAll}) {
            if (target->canPerformAction(action))
                actions_.append(action);
        }
    }
    if (actions_.isEmpty() || !targetView_) {
        menuVisible_ = false;
        hide();
        return;
    }
    menuVisible_ = true;
    layoutMenu();
    show();
    raise();
}

void KTEditMenu::layoutMenu() {
    QWidget* window = targetView_->window();
    if (parentWidget() != window) {
        setParent(window);
        setAttribute(Qt::WA_TranslucentBackground);
    }
    const QFontMetricsF metrics(font());
    itemRects_.clear();
    qreal x = 0;
    for (KTEditAction action : actions_) {
        const qreal w = metrics.horizontalAdvance(titleForAction(action)) + 2 * kItemPadding;
        itemRects_.append(QRectF(x, 0, w, kBarHeight));
        x += w;
    }
    const qreal width = x;
    const qreal height = kBarHeight + kArrowHeight;
    // The target in window coordinates.
    const QRectF target(QPointF(targetView_->mapTo(window, targetRect_.topLeft().toPoint())),
                        targetRect_.size());
    const qreal roomAbove = target.top();
    bool below = arrowDirection_ == ArrowDirection::Up;
    if (arrowDirection_ == ArrowDirection::Default && roomAbove < height + kMargin)
        below = true; // no room above in the window: show it below anyway
    below_ = below;
    qreal left = target.center().x() - width / 2;
    left = std::clamp(left, kMargin, std::max(kMargin, window->width() - width - kMargin));
    const qreal top = below ? target.bottom() : target.top() - height;
    arrowX_ = std::clamp(target.center().x() - left, 12.0, width - 12.0);
    for (QRectF& r : itemRects_)
        r.translate(0, below ? kArrowHeight : 0);
    setGeometry(QRectF(left, top, width, height).toAlignedRect());
}

void KTEditMenu::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bar(0, below_ ? kArrowHeight : 0, width(), kBarHeight);
    QPainterPath path;
    path.addRoundedRect(bar.adjusted(0.5, 0.5, -0.5, -0.5), 7, 7);
    QPainterPath arrow;
    if (below_) {
        arrow.moveTo(arrowX_ - kArrowHeight, kArrowHeight + 1);
        arrow.lineTo(arrowX_, 0);
        arrow.lineTo(arrowX_ + kArrowHeight, kArrowHeight + 1);
    } else {
        arrow.moveTo(arrowX_ - kArrowHeight, kBarHeight - 1);
        arrow.lineTo(arrowX_, kBarHeight + kArrowHeight);
        arrow.lineTo(arrowX_ + kArrowHeight, kBarHeight - 1);
    }
    arrow.closeSubpath();
    path = path.united(arrow);
    QLinearGradient gradient(bar.topLeft(), bar.bottomLeft());
    gradient.setColorAt(0, QColor(70, 70, 74, 240));
    gradient.setColorAt(0.5, QColor(30, 30, 32, 240));
    gradient.setColorAt(1, QColor(10, 10, 12, 240));
    painter.fillPath(path, gradient);
    painter.setPen(QPen(QColor(0, 0, 0, 200), 1));
    painter.drawPath(path);
    for (int i = 0; i < itemRects_.size(); ++i) {
        const QRectF r = itemRects_[i];
        if (i == pressed_)
            painter.fillRect(r.adjusted(1, 1, -1, -1), QColor(0, 98, 176, 200));
        if (i > 0) {
            painter.setPen(QColor(0, 0, 0, 220));
            painter.drawLine(QPointF(r.left(), r.top() + 2), QPointF(r.left(), r.bottom() - 2));
            painter.setPen(QColor(255, 255, 255, 50));
            painter.drawLine(QPointF(r.left() + 1, r.top() + 2),
                             QPointF(r.left() + 1, r.bottom() - 2));
        }
        painter.setPen(Qt::white);
        painter.drawText(r, Qt::AlignCenter, titleForAction(actions_[i]));
    }
}

void KTEditMenu::mousePressEvent(QMouseEvent* event) {
    pressed_ = -1;
    for (int i = 0; i < itemRects_.size(); ++i) {
        if (itemRects_[i].contains(event->position()))
            pressed_ = i;
    }
    update();
}

void KTEditMenu::mouseReleaseEvent(QMouseEvent* event) {
    const int pressed = pressed_;
    pressed_ = -1;
    update();
    if (pressed >= 0 && pressed < itemRects_.size() &&
        itemRects_[pressed].contains(event->position()))
        triggerTitle(titleForAction(actions_[pressed]));
}
