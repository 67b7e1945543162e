#pragma once

#include "platform/PopoverController.h"
#include "platform/Window.h"

#include <QPointer>

// Every popover of the program. At most one is on screen: presenting one makes it the current
// popover, which first dismisses the one that was current. A popover presented from a view is
// presented again at that view after a rotation.
class KTPopoverController : public PopoverController {
    Q_OBJECT
public:
    explicit KTPopoverController(ViewController* contentViewController, QObject* parent = nullptr);
    ~KTPopoverController() override;

    // The view it was presented from; none when presented from a rectangle or a bar item.
    QWidget* anchoredView() const { return m_anchoredView; }
    uint32_t directions() const { return m_directions; }

    void presentPopoverFromView(QWidget* view, uint32_t directions, bool animated);
    void presentPopoverFromRect(const QRectF& rect, QWidget* view, uint32_t directions,
                                bool animated) override;
    void presentPopoverFromBarButtonItem(QWidget* item, uint32_t directions,
                                         bool animated) override;

    void makeCurrentPopover();
    static KTPopoverController* currentPopoverController();
    // A different controller becomes current after the current one is dismissed (animated).
    static void setCurrentPopoverController(KTPopoverController* controller);
    // Dismisses the current popover (animated); none is current afterwards.
    static void dismissCurrentPopoverController();

    // The popover that shows this controller, directly or through its parents; none when no
    // popover is visible.
    static KTPopoverController*
    popoverControllerForViewController(const ViewController* controller);

public Q_SLOTS:
    void orientationChanged();

private:
    QPointer<QWidget> m_anchoredView;
    uint32_t m_directions = PopoverArrowDirectionAny;
    bool m_presentingFromView = false;
};
