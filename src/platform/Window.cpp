#include "platform/Window.h"

#include "platform/ViewController.h"

#include <QApplication>
#include <QResizeEvent>

namespace {
QPointer<Window>& lastKeyWindow() {
    static QPointer<Window> window;
    return window;
}
} // namespace

Window::Window(QWidget* parent) : QWidget(parent) {
    resize(768, 1024);
    setWindowTitle(QStringLiteral("Quorvel"));
    if (!lastKeyWindow())
        lastKeyWindow() = this;
}

Window::~Window() = default;

QWidget* Window::keyWindow() {
    if (lastKeyWindow())
        return lastKeyWindow();
    if (QWidget* active = QApplication::activeWindow())
        return active;
    const auto topLevels = QApplication::topLevelWidgets();
    for (QWidget* widget : topLevels) {
        if (widget->isVisible() && widget->windowType() == Qt::Window)
            return widget;
    }
    return nullptr;
}

void Window::makeKeyAndVisible() {
    lastKeyWindow() = this;
    show();
    DeviceOrientation::instance()->setOrientation(orientation());
}

void Window::setRootViewController(ViewController* controller) {
    if (m_root == controller)
        return;
    if (m_root) {
        m_root->viewWillDisappear(false);
        m_root->view()->hide();
        m_root->viewDidDisappear(false);
    }
    m_root = controller;
    if (!controller)
        return;
    if (!controller->parent())
        controller->setParent(this);
    QWidget* view = controller->view();
    controller->viewWillAppear(false);
    view->setParent(this);
    view->setGeometry(rect());
    view->show();
    controller->viewDidAppear(false);
}

InterfaceOrientation Window::orientation() const {
    return width() > height() ? InterfaceOrientation::Landscape : InterfaceOrientation::Portrait;
}

void Window::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (m_root && m_root->isViewLoaded() && m_root->view()->parentWidget() == this)
        m_root->view()->setGeometry(rect());
    // Posted, so that everything laid out for the new size is in place when it is heard.
    if (lastKeyWindow() == this) {
        QPointer<Window> self(this);
        QMetaObject::invokeMethod(
            DeviceOrientation::instance(),
            [self] {
                if (self && lastKeyWindow() == self)
                    DeviceOrientation::instance()->setOrientation(self->orientation());
            },
            Qt::QueuedConnection);
    }
}

DeviceOrientation* DeviceOrientation::instance() {
    static DeviceOrientation* orientation = new DeviceOrientation;
    return orientation;
}

void DeviceOrientation::setOrientation(InterfaceOrientation orientation) {
    if (orientation == m_orientation)
        return;
    m_orientation = orientation;
    Q_EMIT orientationDidChange(orientation);
}
