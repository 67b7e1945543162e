#pragma once

#include "editor/KTNumberPadKeyboard.h"
#include "platform/ViewController.h"

#include <QPointer>

class KTCodeView;
#include "platform/PopoverController.h"
class QLabel;

// "Jump to line": a label showing the typed number over a number pad; "DONE" scrolls the code
// view to that line and closes the popover.
class LineNumberMenuController : public ViewController, public KTNumberPadKeyboardDelegate {
    Q_OBJECT
public:
    explicit LineNumberMenuController(QObject* parent = nullptr);

    KTCodeView* codeView() const { return codeView_; }
    void setCodeView(KTCodeView* codeView) { codeView_ = codeView; }
    PopoverController* popoverController() const { return popoverController_; }
    void setPopoverController(PopoverController* popover) { popoverController_ = popover; }
    QLabel* lineNumberLabel() const { return lineNumberLabel_; }
    KTNumberPadKeyboard* keyboard() const { return keyboard_; }

    void numberPadKeyboardWantsInsertText(KTNumberPadKeyboard*, const QString& text) override;
    void numberPadKeyboardWantsDeleteBackward(KTNumberPadKeyboard*) override;
    void numberPadKeyboardWantsResign(KTNumberPadKeyboard*) override;

protected:
    QWidget* loadView() override;
    QSizeF defaultContentSizeForViewInPopover() const override { return {320, 316}; }

private:
    QPointer<KTCodeView> codeView_;
    QPointer<PopoverController> popoverController_;
    QLabel* lineNumberLabel_ = nullptr;
    KTNumberPadKeyboard* keyboard_ = nullptr;
};
