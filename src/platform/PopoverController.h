#pragma once

#include <QObject>
#include <QPointer>
#include <QRectF>
#include <QSizeF>
#include <cstdint>

class PopoverController;
class ViewController;
class QWidget;

// Directions the popover's arrow may point in; the arrow points at the anchor.
enum PopoverArrowDirection : uint32_t {
    PopoverArrowDirectionUp = 1u << 0,
    PopoverArrowDirectionDown = 1u << 1,
    PopoverArrowDirectionLeft = 1u << 2,
    PopoverArrowDirectionRight = 1u << 3,
    PopoverArrowDirectionAny = 0xfu,
    PopoverArrowDirectionUnknown = 0xffffffffu,
};

class PopoverControllerDelegate {
public:
    virtual ~PopoverControllerDelegate() = default;
    // Asked when a touch outside the popover would close it.
    virtual bool popoverControllerShouldDismissPopover(PopoverController*) { return true; }
    // Told after a touch outside closed it (not after dismissPopoverAnimated()).
    virtual void popoverControllerDidDismissPopover(PopoverController*) {}
};

// A panel with an arrow pointing at a rectangle of a view, over the window that holds the view.
// It owns its content controller. A touch outside the panel closes it (when the delegate agrees).
class PopoverController : public QObject {
    Q_OBJECT
public:
    static constexpr int BorderWidth = 8;
    static constexpr int ArrowLength = 13;
    static constexpr int ScreenMargin = 10;

    explicit PopoverController(ViewController* contentViewController, QObject* parent = nullptr);
    ~PopoverController() override;

    ViewController* contentViewController() const { return m_content; }
    PopoverControllerDelegate* delegate() const { return m_delegate; }
    void setDelegate(PopoverControllerDelegate* delegate) { m_delegate = delegate; }

    // The content's size; the content controller's popover size unless set here.
    QSizeF popoverContentSize() const;
    void setPopoverContentSize(const QSizeF& size);

    // Shows (or moves) the popover; rect is in view's coordinates.
    virtual void presentPopoverFromRect(const QRectF& rect, QWidget* view, uint32_t directions,
                                        bool animated);
    // Bar items are widgets here: the popover points at the item's bounds.
    virtual void presentPopoverFromBarButtonItem(QWidget* item, uint32_t directions, bool animated);
    virtual void dismissPopoverAnimated(bool animated);

    bool isPopoverVisible() const { return m_visible; }
    // The side the arrow points to, or Unknown while hidden.
    PopoverArrowDirection popoverArrowDirection() const { return m_arrow; }

    // Where the panel (arrow included) and the arrow's tip are, in the window's coordinates.
    QRect popoverFrame() const;
    QPoint arrowTip() const { return m_tip; }
    // The window-covering layer that holds the panel (for pictures of the screen).
    QWidget* overlay() const;

Q_SIGNALS:
    // Sent whenever the popover leaves the screen, however it was closed.
    void didDismiss();

private:
    friend class PopoverOverlay;
    void touchedOutside();
    void place();

    QPointer<ViewController> m_content;
    PopoverControllerDelegate* m_delegate = nullptr;
    QSizeF m_contentSize;
    bool m_visible = false;
    PopoverArrowDirection m_arrow = PopoverArrowDirectionUnknown;
    QPointer<QWidget> m_overlay;
    QPointer<QWidget> m_panel;
    QPointer<QWidget> m_anchorView;
    QRectF m_anchorRect;
    uint32_t m_directions = PopoverArrowDirectionAny;
    QPoint m_tip;
};
