#include "platform/ActionSheet.h"

#include "platform/ViewController.h"

#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QPushButton>

namespace {

class SheetButton : public QPushButton {
public:
    SheetButton(const QString& title, bool destructive, QWidget* parent)
        : QPushButton(title, parent), m_destructive(destructive) {
        QFont font = this->font();
        font.setPixelSize(18);
        font.setBold(true);
        setFont(font);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QLinearGradient fill(0, 0, 0, height());
        if (m_destructive) {
            fill.setColorAt(0, isDown() ? QColor(150, 20, 20) : QColor(220, 60, 60));
            fill.setColorAt(1, isDown() ? QColor(120, 10, 10) : QColor(180, 20, 20));
        } else {
            fill.setColorAt(0, isDown() ? QColor(180, 190, 205) : QColor(255, 255, 255));
            fill.setColorAt(1, isDown() ? QColor(150, 160, 180) : QColor(226, 229, 234));
        }
        QPainterPath path;
        path.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
        painter.fillPath(path, fill);
        painter.setPen(QColor(70, 75, 85));
        painter.drawPath(path);
        painter.setPen(m_destructive ? Qt::white : QColor(40, 40, 40));
        painter.drawText(rect(), Qt::AlignCenter, text());
    }

private:
    bool m_destructive;
};

// The popover's content: the title (if any) over one button per choice.
class SheetContent : public ViewController {
public:
    explicit SheetContent(ActionSheet* sheet) : m_sheet(sheet) {}
    QSizeF defaultContentSizeForViewInPopover() const override {
        return QSizeF(ActionSheet::Width, m_height);
    }

    void build(const QString& title, const QStringList& buttons, int cancel, int destructive) {
        QWidget* view = this->view();
        qDeleteAll(view->findChildren<QWidget*>(Qt::FindDirectChildrenOnly));
        int y = 8;
        if (!title.isEmpty()) {
            auto* label = new QLabel(title, view);
            label->setWordWrap(true);
            label->setAlignment(Qt::AlignCenter);
            label->setStyleSheet(QStringLiteral("color: #cfd6e0; background: transparent;"));
            const int h = label->heightForWidth(ActionSheet::Width - 20);
            label->setGeometry(10, y, ActionSheet::Width - 20, h);
            y += h + 8;
        }
        for (int i = 0; i < buttons.size(); ++i) {
            if (i == cancel)
                continue;
            auto* button = new SheetButton(buttons[i], i == destructive, view);
            button->setGeometry(10, y, ActionSheet::Width - 20, 44);
            QPointer<ActionSheet> sheet(m_sheet);
            QObject::connect(button, &QPushButton::clicked, view, [sheet, i] {
                if (sheet)
                    sheet->clickButtonAtIndex(i);
            });
            y += 44 + 8;
        }
        m_height = y;
    }

protected:
    QWidget* loadView() override {
        auto* view = new QWidget;
        view->setAttribute(Qt::WA_TranslucentBackground);
        return view;
    }

private:
    ActionSheet* m_sheet;
    int m_height = 0;
};

} // namespace

ActionSheet::ActionSheet(const QString& title, ActionSheetDelegate* delegate,
                         const QString& cancelButtonTitle, const QString& destructiveButtonTitle,
                         const QStringList& otherButtonTitles, QObject* parent)
    : QObject(parent), m_title(title), m_delegate(delegate) {
    if (!destructiveButtonTitle.isEmpty()) {
        m_destructiveIndex = 0;
        m_buttons.append(destructiveButtonTitle);
    }
    m_buttons.append(otherButtonTitles);
    if (!cancelButtonTitle.isEmpty()) {
        m_cancelIndex = int(m_buttons.size());
        m_buttons.append(cancelButtonTitle);
    }
    m_popover = new PopoverController(new SheetContent(this), this);
    m_popover->setDelegate(this);
}

ActionSheet::~ActionSheet() = default;

int ActionSheet::addButtonWithTitle(const QString& title) {
    m_buttons.append(title);
    return int(m_buttons.size()) - 1;
}

QString ActionSheet::buttonTitleAtIndex(int index) const {
    return index >= 0 && index < m_buttons.size() ? m_buttons[index] : QString();
}

void ActionSheet::rebuild() {
    static_cast<SheetContent*>(m_popover->contentViewController())
        ->build(m_title, m_buttons, m_cancelIndex, m_destructiveIndex);
}

void ActionSheet::showFromRect(const QRectF& rect, QWidget* view, bool animated) {
    rebuild();
    m_popover->presentPopoverFromRect(rect, view, PopoverArrowDirectionAny, animated);
}

bool ActionSheet::isVisible() const {
    return m_popover->isPopoverVisible();
}

void ActionSheet::clickButtonAtIndex(int index) {
    if (!isVisible())
        return;
    QPointer<ActionSheet> self(this);
    if (m_delegate)
        m_delegate->actionSheetClickedButtonAtIndex(this, index);
    if (self)
        dismissWithClickedButtonIndex(index, true);
}

void ActionSheet::dismissWithClickedButtonIndex(int index, bool animated) {
    if (!isVisible())
        return;
    QPointer<ActionSheet> self(this);
    if (m_delegate)
        m_delegate->actionSheetWillDismissWithButtonIndex(this, index);
    if (!self)
        return;
    m_popover->dismissPopoverAnimated(animated);
    if (m_delegate)
        m_delegate->actionSheetDidDismissWithButtonIndex(this, index);
}

bool ActionSheet::popoverControllerShouldDismissPopover(PopoverController*) {
    // A touch outside is the cancel button.
    if (m_delegate)
        m_delegate->actionSheetClickedButtonAtIndex(this, m_cancelIndex);
    dismissWithClickedButtonIndex(m_cancelIndex, true);
    return false;
}
