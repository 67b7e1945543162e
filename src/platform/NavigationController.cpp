#include "platform/NavigationController.h"
#include "platform/Animations.h"

#include <QPropertyAnimation>
#include <QResizeEvent>

namespace {
std::function<BasicNavigationBar*()>& barFactory() {
    static std::function<BasicNavigationBar*()> factory;
    return factory;
}
} // namespace

// The navigation controller's own view: the bar on top and the top screen's view below it.
class NavigationView : public QWidget {
public:
    explicit NavigationView(NavigationController* controller) : m_controller(controller) {
        resize(768, 1024);
    }

protected:
    void resizeEvent(QResizeEvent*) override { m_controller->layoutContent(); }

private:
    NavigationController* m_controller;
};

NavigationController::NavigationController(ViewController* rootViewController, QObject* parent)
    : ViewController(parent) {
    if (rootViewController)
        setViewControllers({rootViewController}, false);
}

NavigationController::~NavigationController() = default;

void NavigationController::setNavigationBarFactory(std::function<BasicNavigationBar*()> factory) {
    barFactory() = std::move(factory);
}

QWidget* NavigationController::loadView() {
    auto* view = new NavigationView(this);
    m_bar = barFactory() ? barFactory()() : nullptr;
    if (!m_bar)
        m_bar = new BasicNavigationBar;
    m_bar->setParent(view);
    m_bar->setVisible(!m_barHidden);
    m_toolbar = new Toolbar(view);
    m_toolbar->setTintColor(m_bar->tintColor());
    m_toolbar->setVisible(!m_toolbarHidden);
    connect(m_bar, &BasicNavigationBar::backButtonClicked, this,
            [this] { popViewControllerAnimated(true); });
    return view;
}

void NavigationController::viewDidLoad() {
    if (ViewController* top = topViewController()) {
        top->view()->setParent(view());
        top->view()->show();
    }
    updateBar();
    updateToolbar();
    layoutContent();
}

BasicNavigationBar* NavigationController::navigationBar() {
    view();
    return m_bar;
}

Toolbar* NavigationController::toolbar() {
    view();
    return m_toolbar;
}

void NavigationController::setToolbarHidden(bool hidden, bool animated) {
    Q_UNUSED(animated);
    m_toolbarHidden = hidden;
    if (m_toolbar) {
        m_toolbar->setTintColor(m_bar->tintColor());
        m_toolbar->setVisible(!hidden);
    }
    if (isViewLoaded())
        layoutContent();
    Q_EMIT contentSizeForViewInPopoverChanged();
}

void NavigationController::updateToolbar() {
    ViewController* top = topViewController();
    if (m_observedTop != top) {
        if (m_observedTop)
            disconnect(m_observedTop, nullptr, this, nullptr);
        m_observedTop = top;
        if (top) {
            connect(top, &ViewController::toolbarItemsChanged, this,
                    &NavigationController::updateToolbar);
            connect(top, &ViewController::contentSizeForViewInPopoverChanged, this,
                    &NavigationController::contentSizeForViewInPopoverChanged);
        }
    }
    if (m_toolbar)
        m_toolbar->setItems(top ? top->toolbarItems() : QList<QWidget*>());
}

void NavigationController::setNavigationBarHidden(bool hidden, bool animated) {
    Q_UNUSED(animated);
    m_barHidden = hidden;
    if (m_bar)
        m_bar->setVisible(!hidden);
    if (isViewLoaded())
        layoutContent();
}

QList<ViewController*> NavigationController::viewControllers() const {
    QList<ViewController*> list;
    for (const auto& controller : m_stack) {
        if (controller)
            list.append(controller);
    }
    return list;
}

ViewController* NavigationController::topViewController() const {
    const auto list = viewControllers();
    return list.isEmpty() ? nullptr : list.last();
}

ViewController* NavigationController::visibleViewController() const {
    ViewController* top = topViewController();
    if (top && top->modalViewController())
        return top->modalViewController();
    return top;
}

QRect NavigationController::contentRect() const {
    auto* self = const_cast<NavigationController*>(this);
    QRect bounds = self->view()->rect();
    if (!m_barHidden)
        bounds.setTop(BasicNavigationBar::Height);
    if (!m_toolbarHidden)
        bounds.setBottom(bounds.bottom() - Toolbar::Height);
    return bounds;
}

void NavigationController::layoutContent() {
    if (!isViewLoaded())
        return;
    QWidget* view = this->view();
    if (m_bar) {
        m_bar->setGeometry(0, 0, view->width(), BasicNavigationBar::Height);
        m_bar->raise();
    }
    if (m_toolbar) {
        m_toolbar->setGeometry(0, view->height() - Toolbar::Height, view->width(), Toolbar::Height);
        m_toolbar->raise();
    }
    if (ViewController* top = topViewController()) {
        if (top->isViewLoaded())
            top->view()->setGeometry(contentRect());
    }
}

void NavigationController::updateBar() {
    if (!m_bar)
        return;
    QList<NavigationItem*> items;
    for (ViewController* controller : viewControllers())
        items.append(controller->navigationItem());
    m_bar->setNavigationItems(items);
}

void NavigationController::transition(const QList<ViewController*>& controllers, bool animated,
                                      bool forward) {
    const QList<ViewController*> old = viewControllers();
    ViewController* oldTop = old.isEmpty() ? nullptr : old.last();
    ViewController* newTop = controllers.isEmpty() ? nullptr : controllers.last();

    m_stack.clear();
    for (ViewController* controller : controllers) {
        controller->setParent(this);
        controller->setParentViewController(this);
        m_stack.append(controller);
    }

    const bool changesTop = oldTop != newTop;
    const bool onScreen = m_onScreen || (isViewLoaded() && view()->isVisible());
    const bool tellAppearance = onScreen && changesTop;
    if (tellAppearance && oldTop)
        oldTop->viewWillDisappear(animated);
    if (isViewLoaded() && changesTop) {
        QWidget* view = this->view();
        if (newTop) {
            QWidget* incoming = newTop->view();
            if (tellAppearance)
                newTop->viewWillAppear(animated);
            incoming->setParent(view);
            incoming->setGeometry(contentRect());
            incoming->show();
            if (animated && oldTop && tellAppearance && animationsEnabled()) {
                // A short slide from the side the new screen comes from.
                const QRect end = contentRect();
                const int dx = forward ? end.width() : -end.width();
                auto* slide = new QPropertyAnimation(incoming, "pos", incoming);
                slide->setDuration(200);
                slide->setStartValue(end.topLeft() + QPoint(dx, 0));
                slide->setEndValue(end.topLeft());
                slide->start(QAbstractAnimation::DeleteWhenStopped);
            }
        }
        if (oldTop && oldTop->isViewLoaded() && oldTop->view()->parentWidget() == view) {
            oldTop->view()->hide();
            if (!controllers.contains(oldTop))
                oldTop->view()->setParent(nullptr);
        }
    } else if (tellAppearance && newTop) {
        newTop->viewWillAppear(animated);
    }
    updateBar();
    updateToolbar();
    layoutContent();
    if (changesTop)
        Q_EMIT contentSizeForViewInPopoverChanged();
    if (tellAppearance && oldTop)
        oldTop->viewDidDisappear(animated);
    if (tellAppearance && newTop)
        newTop->viewDidAppear(animated);

    for (ViewController* controller : old) {
        if (!controllers.contains(controller)) {
            controller->setParentViewController(nullptr);
            controller->deleteLater();
        }
    }
}

void NavigationController::setViewControllers(const QList<ViewController*>& controllers,
                                              bool animated) {
    QList<ViewController*> unique;
    for (ViewController* controller : controllers) {
        if (controller && !unique.contains(controller))
            unique.append(controller);
    }
    const QList<ViewController*> old = viewControllers();
    const bool forward = unique.isEmpty() || !old.contains(unique.last());
    transition(unique, animated, forward);
}

void NavigationController::pushViewController(ViewController* controller, bool animated) {
    if (!controller)
        return;
    QList<ViewController*> list = viewControllers();
    if (list.contains(controller))
        return;
    list.append(controller);
    transition(list, animated, true);
}

ViewController* NavigationController::popViewControllerAnimated(bool animated) {
    QList<ViewController*> list = viewControllers();
    if (list.size() <= 1)
        return nullptr;
    ViewController* popped = list.takeLast();
    transition(list, animated, false);
    return popped;
}

QList<ViewController*> NavigationController::popToRootViewControllerAnimated(bool animated) {
    const QList<ViewController*> list = viewControllers();
    if (list.size() <= 1)
        return {};
    return popToViewController(list.first(), animated);
}

QList<ViewController*> NavigationController::popToViewController(ViewController* controller,
                                                                 bool animated) {
    const QList<ViewController*> list = viewControllers();
    const qsizetype index = list.indexOf(controller);
    if (index < 0 || index == list.size() - 1)
        return {};
    transition(list.mid(0, index + 1), animated, false);
    return list.mid(index + 1);
}

void NavigationController::viewWillAppear(bool animated) {
    layoutContent();
    if (ViewController* top = topViewController()) {
        if (!top->view()->parentWidget() || top->view()->parentWidget() != view()) {
            top->view()->setParent(view());
            top->view()->setGeometry(contentRect());
        }
        top->view()->show();
        top->viewWillAppear(animated);
    }
}

void NavigationController::viewDidAppear(bool animated) {
    m_onScreen = true;
    if (ViewController* top = topViewController())
        top->viewDidAppear(animated);
}

void NavigationController::viewWillDisappear(bool animated) {
    if (ViewController* top = topViewController())
        top->viewWillDisappear(animated);
}

void NavigationController::viewDidDisappear(bool animated) {
    m_onScreen = false;
    if (ViewController* top = topViewController())
        top->viewDidDisappear(animated);
}

QSizeF NavigationController::defaultContentSizeForViewInPopover() const {
    ViewController* top = topViewController();
    QSizeF size = top ? top->contentSizeForViewInPopover() : QSizeF(320, 1100);
    if (!m_barHidden)
        size.rheight() += BasicNavigationBar::Height;
    if (!m_toolbarHidden)
        size.rheight() += Toolbar::Height;
    return size;
}
