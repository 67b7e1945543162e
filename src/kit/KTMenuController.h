#pragma once

#include "platform/ViewController.h"

#include <QPointer>
#include <functional>

class KTPopoverController;

// A vertical menu of full-width buttons and separators, shown in a popover.
class KTMenuController : public ViewController {
    Q_OBJECT
public:
    static constexpr int Width = 320;
    static constexpr int ItemHeight = 44;

    explicit KTMenuController(QObject* parent = nullptr);

    // Touching the item runs the action (unless the target is gone) and then dismisses the menu.
    void addItemWithTitle(const QString& title, QObject* target, std::function<void()> action,
                          bool enabled);
    void addSeparator();
    // Dismisses the popover and tells its delegate, as a touch outside would.
    void dismiss();

    int y() const { return m_y; }
    KTPopoverController* popover() const { return m_popover; }
    void setPopover(KTPopoverController* popover) { m_popover = popover; }

protected:
    QWidget* loadView() override;
    QSizeF defaultContentSizeForViewInPopover() const override { return QSizeF(Width, m_y); }

private:
    int m_y = 0;
    QPointer<KTPopoverController> m_popover;
};
