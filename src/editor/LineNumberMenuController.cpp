#include "editor/LineNumberMenuController.h"

#include "editor/KTCodeView.h"
#include "platform/PopoverController.h"

#include <QLabel>

LineNumberMenuController::LineNumberMenuController(QObject* parent) : ViewController(parent) {
    setTitle(QStringLiteral("Jump to line"));
}

QWidget* LineNumberMenuController::loadView() {
    auto* view = new QWidget();
    view->resize(320, 316);
    view->setAutoFillBackground(true);
    QPalette palette = view->palette();
    palette.setColor(QPalette::Window, QColor::fromRgbF(0.8f, 0.8f, 0.8f));
    view->setPalette(palette);

    lineNumberLabel_ = new QLabel(view);
    lineNumberLabel_->setObjectName(QStringLiteral("lineNumberLabel"));
    lineNumberLabel_->setGeometry(10, 10, 300, 80);
    lineNumberLabel_->setAlignment(Qt::AlignCenter);
    QFont font = lineNumberLabel_->font();
    font.setPointSizeF(48);
    lineNumberLabel_->setFont(font);
    lineNumberLabel_->setStyleSheet(
        QStringLiteral("QLabel { color: rgb(77, 77, 77); background: white;"
                       " border: 1px solid grey; border-radius: 10px; }"));

    keyboard_ = new KTNumberPadKeyboard(QPointF(0, 100), view);
    keyboard_->setDelegate(this);
    return view;
}

void LineNumberMenuController::numberPadKeyboardWantsInsertText(KTNumberPadKeyboard*,
                                                                const QString& text) {
    lineNumberLabel_->setText(lineNumberLabel_->text() + text);
}

void LineNumberMenuController::numberPadKeyboardWantsDeleteBackward(KTNumberPadKeyboard*) {
    QString text = lineNumberLabel_->text();
    if (!text.isEmpty()) {
        text.chop(1);
        lineNumberLabel_->setText(text);
    }
}

void LineNumberMenuController::numberPadKeyboardWantsResign(KTNumberPadKeyboard*) {
    bool ok = false;
    const qlonglong number = lineNumberLabel_->text().toLongLong(&ok);
    // An empty or absurd number names no line: nothing to scroll to.
    if (codeView_ && ok && number > 0 && number <= std::numeric_limits<uint32_t>::max())
        codeView_->scrollToLineNumber(uint32_t(number), true);
    if (popoverController_)
        popoverController_->dismissPopoverAnimated(true);
}
