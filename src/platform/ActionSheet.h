#pragma once

#include "platform/PopoverController.h"

#include <QObject>
#include <QStringList>

class ActionSheet;
class QRectF;
class QWidget;

class ActionSheetDelegate {
public:
    virtual ~ActionSheetDelegate() = default;
    virtual void actionSheetClickedButtonAtIndex(ActionSheet*, int) {}
    virtual void actionSheetWillDismissWithButtonIndex(ActionSheet*, int) {}
    virtual void actionSheetDidDismissWithButtonIndex(ActionSheet*, int) {}
};

// A short list of choices in a popover anchored at a rectangle. Indices follow the order the
// buttons were given in: the destructive button first, then the others, the cancel button last.
// In a popover the cancel button is not shown: a touch outside stands for it (index -1 when
// there is none).
class ActionSheet : public QObject, private PopoverControllerDelegate {
    Q_OBJECT
public:
    static constexpr int Width = 272;

    ActionSheet(const QString& title, ActionSheetDelegate* delegate,
                const QString& cancelButtonTitle = {}, const QString& destructiveButtonTitle = {},
                const QStringList& otherButtonTitles = {}, QObject* parent = nullptr);
    ~ActionSheet() override;

    QString title() const { return m_title; }
    ActionSheetDelegate* delegate() const { return m_delegate; }
    void setDelegate(ActionSheetDelegate* delegate) { m_delegate = delegate; }
    int tag() const { return m_tag; }
    void setTag(int tag) { m_tag = tag; }

    int addButtonWithTitle(const QString& title);
    int numberOfButtons() const { return int(m_buttons.size()); }
    QString buttonTitleAtIndex(int index) const;
    int cancelButtonIndex() const { return m_cancelIndex; }
    int destructiveButtonIndex() const { return m_destructiveIndex; }

    void showFromRect(const QRectF& rect, QWidget* view, bool animated);
    bool isVisible() const;
    // As a touch on the button: clicked, then will/did dismiss.
    void clickButtonAtIndex(int index);
    void dismissWithClickedButtonIndex(int index, bool animated);

    PopoverController* popover() const { return m_popover; }

private:
    bool popoverControllerShouldDismissPopover(PopoverController*) override;
    void rebuild();

    QString m_title;
    ActionSheetDelegate* m_delegate;
    QStringList m_buttons;
    int m_cancelIndex = -1;
    int m_destructiveIndex = -1;
    int m_tag = 0;
    PopoverController* m_popover = nullptr;
};
