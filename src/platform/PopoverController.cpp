#include "platform/PopoverController.h"
#include "platform/Animations.h"

#include "platform/ViewController.h"
#include "platform/Window.h"

#include <QEvent>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

// The dark panel with its arrow; the content view sits inside the border.
class PopoverPanel : public QWidget {
public:
    explicit PopoverPanel(QWidget* parent) : QWidget(parent) {
        setAttribute(Qt::WA_TranslucentBackground);
    }

    void setArrow(PopoverArrowDirection direction, int offset) {
        m_direction = direction;
        m_offset = offset;
        update();
    }

    QRect bodyRect() const {
        const int a = PopoverController::ArrowLength;
        QRect body = rect();
        switch (m_direction) {
        case PopoverArrowDirectionUp:
            body.setTop(a);
            break;
        case PopoverArrowDirectionDown:
            body.setBottom(height() - 1 - a);
            break;
        case PopoverArrowDirectionLeft:
            body.setLeft(a);
            break;
        case PopoverArrowDirectionRight:
            body.setRight(width() - 1 - a);
            break;
        default:
            break;
        }
        return body;
    }

    QRect contentRect() const {
        const int b = PopoverController::BorderWidth;
        return bodyRect().adjusted(b, b, -b, -b);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF body = QRectF(bodyRect()).adjusted(0.5, 0.5, -0.5, -0.5);
        QPainterPath path;
        path.addRoundedRect(body, 10, 10);
        const double a = PopoverController::ArrowLength;
        const double o = m_offset;
        QPolygonF arrow;
        switch (m_direction) {
        case PopoverArrowDirectionUp:
            arrow << QPointF(o - a, body.top() + 1) << QPointF(o, 0)
                  << QPointF(o + a, body.top() + 1);
            break;
        case PopoverArrowDirectionDown:
            arrow << QPointF(o - a, body.bottom() - 1) << QPointF(o, height())
                  << QPointF(o + a, body.bottom() - 1);
            break;
        case PopoverArrowDirectionLeft:
            arrow << QPointF(body.left() + 1, o - a) << QPointF(0, o)
                  << QPointF(body.left() + 1, o + a);
            break;
        case PopoverArrowDirectionRight:
            arrow << QPointF(body.right() - 1, o - a) << QPointF(width(), o)
                  << QPointF(body.right() - 1, o + a);
            break;
        default:
            break;
        }
        if (!arrow.isEmpty()) {
            QPainterPath tip;
            tip.addPolygon(arrow);
            tip.closeSubpath();
            path = path.united(tip);
        }
        QLinearGradient fill(0, 0, 0, height());
        fill.setColorAt(0, QColor(64, 76, 94));
        fill.setColorAt(0.12, QColor(30, 38, 52));
        fill.setColorAt(1, QColor(22, 28, 40));
        painter.fillPath(path, fill);
        painter.setPen(QPen(QColor(10, 12, 18, 200), 1));
        painter.drawPath(path);
    }

private:
    PopoverArrowDirection m_direction = PopoverArrowDirectionUp;
    int m_offset = 0;
};

// Covers the window while a popover shows: a touch anywhere outside the panel closes it.
class PopoverOverlay : public QWidget {
public:
    PopoverOverlay(QWidget* window, PopoverController* controller)
        : QWidget(window), m_controller(controller) {
        setAttribute(Qt::WA_NoSystemBackground);
        setAttribute(Qt::WA_TranslucentBackground);
        window->installEventFilter(this);
        setGeometry(window->rect());
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == parentWidget() && event->type() == QEvent::Resize) {
            setGeometry(parentWidget()->rect());
            if (m_controller)
                m_controller->place();
        }
        return false;
    }
    void mousePressEvent(QMouseEvent* event) override {
        event->accept();
        if (m_controller)
            m_controller->touchedOutside();
    }

private:
    QPointer<PopoverController> m_controller;
};

PopoverController::PopoverController(ViewController* contentViewController, QObject* parent)
    : QObject(parent), m_content(contentViewController) {
    if (m_content) {
        m_content->setParent(this);
        // The content may ask for another size while shown (a screen pushed inside it).
        connect(m_content, &ViewController::contentSizeForViewInPopoverChanged, this, [this] {
            if (m_visible)
                place();
        });
    }
}

PopoverController::~PopoverController() {
    if (m_content) {
        if (m_content->isViewLoaded()) {
            m_content->view()->hide();
            m_content->view()->setParent(nullptr);
        }
        // Later: the popover is often released from a callback that one of the content's own
        // buttons is still inside.
        m_content->setParent(nullptr);
        m_content->deleteLater();
    }
    if (m_overlay)
        disconnect(m_overlay, nullptr, this, nullptr);
    delete m_overlay.data();
}

QSizeF PopoverController::popoverContentSize() const {
    if (m_contentSize.isValid() && !m_contentSize.isEmpty())
        return m_contentSize;
    return m_content ? m_content->contentSizeForViewInPopover() : QSizeF(320, 1100);
}

void PopoverController::setPopoverContentSize(const QSizeF& size) {
    m_contentSize = size;
    if (m_visible)
        place();
}

QWidget* PopoverController::overlay() const {
    return m_overlay;
}

QRect PopoverController::popoverFrame() const {
    return m_panel ? m_panel->geometry() : QRect();
}

void PopoverController::presentPopoverFromBarButtonItem(QWidget* item, uint32_t directions,
                                                        bool animated) {
    if (item)
        presentPopoverFromRect(item->rect(), item, directions, animated);
}

void PopoverController::presentPopoverFromRect(const QRectF& rect, QWidget* view,
                                               uint32_t directions, bool animated) {
    if (!view || !m_content)
        return;
    m_anchorView = view;
    m_anchorRect = rect;
    m_directions = (directions & PopoverArrowDirectionAny) ? directions : PopoverArrowDirectionAny;
    QWidget* window = view->window();
    const bool appearing = !m_visible || !m_overlay || m_overlay->parentWidget() != window;
    if (appearing && m_overlay) {
        // Moving to another window: start over there.
        m_content->view()->setParent(nullptr);
        disconnect(m_overlay, nullptr, this, nullptr);
        delete m_overlay.data();
    }
    if (appearing) {
        auto* overlay = new PopoverOverlay(window, this);
        m_overlay = overlay;
        // A window closed under the popover takes it away (and the content's view with it).
        connect(overlay, &QObject::destroyed, this, [this] {
            m_visible = false;
            m_arrow = PopoverArrowDirectionUnknown;
        });
        m_panel = new PopoverPanel(overlay);
        QWidget* content = m_content->view();
        if (!m_visible)
            m_content->viewWillAppear(animated);
        content->setParent(m_panel);
        content->show();
        m_visible = true;
        place();
        overlay->show();
        overlay->raise();
        if (animated)
            fadeIn(overlay, 200);
        m_content->viewDidAppear(animated);
        return;
    }
    place();
}

void PopoverController::place() {
    if (!m_overlay || !m_panel || !m_content)
        return;
    QWidget* window = m_overlay->parentWidget();
    const int W = window->width(), H = window->height();
    const int b = BorderWidth, a = ArrowLength, m = ScreenMargin;
    QRectF anchor = m_anchorRect;
    if (m_anchorView)
        anchor.moveTopLeft(QPointF(m_anchorView->mapTo(window, QPoint(0, 0))) +
                           m_anchorRect.topLeft());
    const QRect r = anchor.toAlignedRect();
    const int cx = qRound(anchor.center().x()), cy = qRound(anchor.center().y());
    const QSize cs = popoverContentSize().toSize();

    struct Candidate {
        PopoverArrowDirection direction;
        QPoint tip;
        int available; // room along the axis the panel extends in
        int needed;
    };
    const int pwVertical = cs.width() + 2 * b, phVertical = cs.height() + 2 * b + a;
    const int pwSide = cs.width() + 2 * b + a, phSide = cs.height() + 2 * b;
    const Candidate candidates[] = {
        {PopoverArrowDirectionUp, {cx, r.bottom() + 1}, H - m - (r.bottom() + 1), phVertical},
        {PopoverArrowDirectionDown, {cx, r.top()}, r.top() - m, phVertical},
        {PopoverArrowDirectionLeft, {r.right() + 1, cy}, W - m - (r.right() + 1), pwSide},
        {PopoverArrowDirectionRight, {r.left(), cy}, r.left() - m, pwSide},
    };
    const Candidate* chosen = nullptr;
    for (const Candidate& c : candidates) {
        if ((m_directions & c.direction) && c.needed <= c.available) {
            chosen = &c;
            break;
        }
    }
    if (!chosen) {
        // Nothing fits whole: take the permitted side with the most room and shorten the panel.
        for (const Candidate& c : candidates) {
            if ((m_directions & c.direction) && (!chosen || c.available > chosen->available))
                chosen = &c;
        }
    }
    const Candidate& c = *chosen;
    QRect panel;
    int offset = 0;
    if (c.direction == PopoverArrowDirectionUp || c.direction == PopoverArrowDirectionDown) {
        const int pw = std::min(pwVertical, W - 2 * m);
        const int ph = std::max(std::min(phVertical, c.available), 2 * b + a + 1);
        const int x = std::clamp(c.tip.x() - pw / 2, m, std::max(m, W - m - pw));
        const int y = c.direction == PopoverArrowDirectionUp ? c.tip.y() : c.tip.y() - ph;
        panel = QRect(x, y, pw, ph);
        offset = std::clamp(c.tip.x() - x, b + a, std::max(b + a, pw - b - a));
        m_tip = QPoint(x + offset, c.tip.y());
    } else {
        const int ph = std::min(phSide, H - 2 * m);
        const int pw = std::max(std::min(pwSide, c.available), 2 * b + a + 1);
        const int y = std::clamp(c.tip.y() - ph / 2, m, std::max(m, H - m - ph));
        const int x = c.direction == PopoverArrowDirectionLeft ? c.tip.x() : c.tip.x() - pw;
        panel = QRect(x, y, pw, ph);
        offset = std::clamp(c.tip.y() - y, b + a, std::max(b + a, ph - b - a));
        m_tip = QPoint(c.tip.x(), y + offset);
    }
    m_arrow = c.direction;
    auto* p = static_cast<PopoverPanel*>(m_panel.data());
    p->setGeometry(panel);
    p->setArrow(c.direction, offset);
    m_content->view()->setGeometry(p->contentRect());
}

void PopoverController::dismissPopoverAnimated(bool animated) {
    if (!m_visible)
        return;
    m_visible = false;
    m_arrow = PopoverArrowDirectionUnknown;
    if (m_content)
        m_content->viewWillDisappear(animated);
    if (m_content && m_content->isViewLoaded()) {
        m_content->view()->hide();
        m_content->view()->setParent(nullptr);
    }
    if (m_overlay) {
        disconnect(m_overlay, nullptr, this, nullptr);
        m_overlay->hide();
        m_overlay->deleteLater();
    }
    m_overlay = nullptr;
    m_panel = nullptr;
    if (m_content)
        m_content->viewDidDisappear(animated);
    Q_EMIT didDismiss();
}

void PopoverController::touchedOutside() {
    if (m_delegate && !m_delegate->popoverControllerShouldDismissPopover(this))
        return;
    QPointer<PopoverController> self(this);
    dismissPopoverAnimated(true);
    if (self && m_delegate)
        m_delegate->popoverControllerDidDismissPopover(this);
}
