#include "platform/ViewController.h"
#include "platform/Animations.h"

#include "platform/NavigationController.h"

#include <QEvent>
#include <QMouseEvent>
#include <QPainter>

void NavigationItem::setTitle(const QString& title) {
    m_title = title;
    Q_EMIT changed();
}

namespace {
// A replaced bar item goes once control returns to the event loop: it is often replaced from its
// own click (Edit becoming Done).
void release(QWidget* old, QWidget* replacement) {
    if (old && old != replacement) {
        old->hide();
        old->deleteLater();
    }
}
} // namespace

void NavigationItem::setRightBarButtonItem(QWidget* item) {
    QWidget* old = m_right;
    m_right = item;
    Q_EMIT changed();
    if (old != m_left)
        release(old, item);
}

void NavigationItem::setLeftBarButtonItem(QWidget* item) {
    QWidget* old = m_left;
    m_left = item;
    Q_EMIT changed();
    if (old != m_right)
        release(old, item);
}

void NavigationItem::setHidesBackButton(bool hides) {
    m_hidesBackButton = hides;
    Q_EMIT changed();
}

namespace {

// Covers the whole window while a controller is presented modally: dims it for sheets and holds
// the presented view in a panel centred over it (or over everything for full-screen).
class ModalOverlay : public QWidget {
public:
    ModalOverlay(QWidget* window, ModalPresentationStyle style) : QWidget(window), m_style(style) {
        setAttribute(Qt::WA_NoSystemBackground);
        window->installEventFilter(this);
        setGeometry(window->rect());
    }

    void setContent(QWidget* content) {
        m_content = content;
        content->setParent(this);
        layoutContent();
        content->show();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == parentWidget() && event->type() == QEvent::Resize) {
            setGeometry(parentWidget()->rect());
            layoutContent();
        }
        return false;
    }
    void paintEvent(QPaintEvent*) override {
        if (m_style == ModalPresentationStyle::FullScreen)
            return;
        QPainter painter(this);
        painter.fillRect(rect(), QColor(0, 0, 0, 102));
    }
    void mousePressEvent(QMouseEvent* event) override { event->accept(); }

private:
    void layoutContent() {
        if (!m_content)
            return;
        const QRect bounds = rect();
        switch (m_style) {
        case ModalPresentationStyle::FullScreen:
            m_content->setGeometry(bounds);
            break;
        case ModalPresentationStyle::PageSheet: {
            const int width = std::min(768, bounds.width());
            m_content->setGeometry((bounds.width() - width) / 2, 0, width, bounds.height());
            break;
        }
        case ModalPresentationStyle::FormSheet: {
            const int width = std::min(540, bounds.width());
            const int height = std::min(620, bounds.height());
            m_content->setGeometry((bounds.width() - width) / 2, (bounds.height() - height) / 2,
                                   width, height);
            break;
        }
        }
    }

    ModalPresentationStyle m_style;
    QPointer<QWidget> m_content;
};

} // namespace

ViewController::ViewController(QObject* parent) : QObject(parent) {}

ViewController::~ViewController() {
    for (const auto& item : std::as_const(m_toolbarItems))
        delete item.data();
    delete m_modalOverlay.data();
    delete m_view.data();
    delete m_tabBarItem.data();
}

QWidget* ViewController::view() {
    if (!m_view) {
        m_view = loadView();
        if (!m_view)
            m_view = new QWidget;
        viewDidLoad();
    }
    return m_view;
}

void ViewController::setView(QWidget* view) {
    if (view == m_view)
        return;
    delete m_view.data();
    m_view = view;
}

QWidget* ViewController::loadView() {
    auto* view = new QWidget;
    view->resize(768, 1024);
    return view;
}

void ViewController::setTitle(const QString& title) {
    m_title = title;
    m_navigationItem.setTitle(title);
    if (m_tabBarItem && m_standardTabBarItem)
        m_tabBarItem->setTitle(title);
    Q_EMIT titleChanged(title);
}

TabBarItem* ViewController::tabBarItem() {
    if (!m_tabBarItem) {
        m_tabBarItem = new TabBarItem(m_title, {}, 0, this);
        m_standardTabBarItem = true;
    }
    return m_tabBarItem;
}

void ViewController::setTabBarItem(TabBarItem* item) {
    if (item == m_tabBarItem)
        return;
    if (m_tabBarItem && m_standardTabBarItem)
        m_tabBarItem->deleteLater();
    m_tabBarItem = item;
    m_standardTabBarItem = false;
    if (item && !item->parent())
        item->setParent(this);
}

NavigationController* ViewController::navigationController() const {
    for (ViewController* p = m_parent; p; p = p->parentViewController()) {
        if (auto* nav = qobject_cast<NavigationController*>(p))
            return nav;
    }
    return nullptr;
}

QSizeF ViewController::contentSizeForViewInPopover() const {
    if (m_popoverSize.isValid() && !m_popoverSize.isEmpty())
        return m_popoverSize;
    return defaultContentSizeForViewInPopover();
}

void ViewController::setContentSizeForViewInPopover(const QSizeF& size) {
    m_popoverSize = size;
    Q_EMIT contentSizeForViewInPopoverChanged();
}

QList<QWidget*> ViewController::toolbarItems() const {
    QList<QWidget*> items;
    for (int i = 0; i < m_toolbarItems.size(); ++i) {
        if (m_toolbarFlexible[i])
            items.append(nullptr);
        else if (m_toolbarItems[i])
            items.append(m_toolbarItems[i]);
    }
    return items;
}

void ViewController::setToolbarItems(const QList<QWidget*>& items) {
    const QList<QPointer<QWidget>> old = m_toolbarItems;
    m_toolbarItems.clear();
    m_toolbarFlexible.clear();
    for (QWidget* item : items) {
        m_toolbarItems.append(item);
        m_toolbarFlexible.append(item == nullptr);
    }
    Q_EMIT toolbarItemsChanged();
    for (const auto& item : old) {
        if (item && !items.contains(item.data())) {
            item->hide();
            item->deleteLater();
        }
    }
}

void ViewController::presentModalViewController(ViewController* controller, bool animated) {
    if (!controller || m_presented)
        return;
    QWidget* window = view()->window();
    controller->setParent(this);
    m_presented = controller;
    controller->m_presenting = this;

    const bool fullScreen =
        controller->modalPresentationStyle() == ModalPresentationStyle::FullScreen;
    if (fullScreen)
        viewWillDisappear(animated);
    auto* overlay = new ModalOverlay(window, controller->modalPresentationStyle());
    m_modalOverlay = overlay;
    QWidget* content = controller->view();
    controller->viewWillAppear(animated);
    overlay->setContent(content);
    overlay->show();
    overlay->raise();
    // Every transition fades in here; only the end state matters to the screens.
    if (animated)
        fadeIn(overlay, 250);
    controller->viewDidAppear(animated);
    if (fullScreen)
        viewDidDisappear(animated);
}

void ViewController::dismissModalViewControllerAnimated(bool animated) {
    if (!m_presented) {
        if (m_presenting)
            m_presenting->dismissModalViewControllerAnimated(animated);
        else if (m_parent)
            m_parent->dismissModalViewControllerAnimated(animated);
        return;
    }
    ViewController* presented = m_presented;
    const bool fullScreen =
        presented->modalPresentationStyle() == ModalPresentationStyle::FullScreen;
    // Whatever the presented screen presented itself goes first.
    if (presented->m_presented)
        presented->dismissModalViewControllerAnimated(false);
    if (fullScreen)
        viewWillAppear(animated);
    presented->viewWillDisappear(animated);
    if (m_modalOverlay) {
        m_modalOverlay->hide();
        m_modalOverlay->deleteLater();
    }
    presented->viewDidDisappear(animated);
    if (fullScreen)
        viewDidAppear(animated);
    m_presented = nullptr;
    presented->m_presenting = nullptr;
    presented->deleteLater();
}
