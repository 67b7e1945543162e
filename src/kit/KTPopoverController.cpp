#include "kit/KTPopoverController.h"

#include "platform/ViewController.h"

namespace {
QPointer<KTPopoverController>& current() {
    static QPointer<KTPopoverController> popover;
    return popover;
}
} // namespace

KTPopoverController::KTPopoverController(ViewController* contentViewController, QObject* parent)
    : PopoverController(contentViewController, parent) {}

KTPopoverController::~KTPopoverController() = default;

void KTPopoverController::presentPopoverFromView(QWidget* view, uint32_t directions,
                                                 bool animated) {
    if (!view)
        return;
    m_anchoredView = view;
    m_directions = directions;
    connect(DeviceOrientation::instance(), &DeviceOrientation::orientationDidChange, this,
            &KTPopoverController::orientationChanged, Qt::UniqueConnection);
    m_presentingFromView = true;
    presentPopoverFromRect(view->rect(), view, directions, animated);
    m_presentingFromView = false;
}

void KTPopoverController::presentPopoverFromRect(const QRectF& rect, QWidget* view,
                                                 uint32_t directions, bool animated) {
    if (!m_presentingFromView) {
        m_anchoredView = nullptr;
        m_directions = directions;
    }
    makeCurrentPopover();
    PopoverController::presentPopoverFromRect(rect, view, directions, animated);
}

void KTPopoverController::presentPopoverFromBarButtonItem(QWidget* item, uint32_t directions,
                                                          bool animated) {
    m_anchoredView = nullptr;
    m_directions = directions;
    makeCurrentPopover();
    if (item)
        PopoverController::presentPopoverFromRect(item->rect(), item, directions, animated);
}

void KTPopoverController::makeCurrentPopover() {
    setCurrentPopoverController(this);
}

KTPopoverController* KTPopoverController::currentPopoverController() {
    return current();
}

void KTPopoverController::setCurrentPopoverController(KTPopoverController* controller) {
    if (current() == controller)
        return;
    if (current())
        current()->dismissPopoverAnimated(true);
    current() = controller;
}

void KTPopoverController::dismissCurrentPopoverController() {
    if (current())
        current()->dismissPopoverAnimated(true);
    current() = nullptr;
}

KTPopoverController*
KTPopoverController::popoverControllerForViewController(const ViewController* controller) {
    KTPopoverController* popover = current();
    if (!popover || !popover->isPopoverVisible())
        return nullptr;
    for (const ViewController* c = controller; c; c = c->parentViewController()) {
        if (popover->contentViewController() == c)
            return popover;
    }
    return nullptr;
}

void KTPopoverController::orientationChanged() {
    if (isPopoverVisible() && m_anchoredView) {
        m_presentingFromView = true;
        presentPopoverFromRect(m_anchoredView->rect(), m_anchoredView, m_directions, false);
        m_presentingFromView = false;
    }
}
