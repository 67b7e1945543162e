#include "kit/KTMenuController.h"

#include "kit/KTPopoverController.h"

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QPushButton>

namespace {

const QImage& selectionImage() {
    static const QImage image(QDir(QStringLiteral(QUORVEL_RESOURCES_DIR))
                                  .filePath(QStringLiteral("images/bg_selection_blue.png")));
    return image;
}

// A menu item: left-aligned bold title on white; blue selection while touched.
class MenuButton : public QPushButton {
public:
    MenuButton(const QString& title, QWidget* parent) : QPushButton(title, parent) {
        QFont font = this->font();
        font.setPixelSize(16);
        font.setBold(true);
        setFont(font);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        const bool highlighted = isDown() && isEnabled();
        if (highlighted && !selectionImage().isNull())
            painter.drawImage(rect(), selectionImage());
        else
            painter.fillRect(rect(), Qt::white);
        QColor colour = Qt::black;
        if (!isEnabled())
            colour = Qt::lightGray;
        else if (highlighted)
            colour = Qt::white;
        painter.setPen(colour);
        const QRect textRect = rect().adjusted(20, 0, 0, 0);
        painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter,
                         fontMetrics().elidedText(text(), Qt::ElideRight, textRect.width()));
    }
};

} // namespace

KTMenuController::KTMenuController(QObject* parent) : ViewController(parent) {}

QWidget* KTMenuController::loadView() {
    auto* view = new QWidget;
    view->setAutoFillBackground(true);
    QPalette palette = view->palette();
    palette.setColor(QPalette::Window, Qt::white);
    view->setPalette(palette);
    view->resize(Width, 0);
    return view;
}

void KTMenuController::addItemWithTitle(const QString& title, QObject* target,
                                        std::function<void()> action, bool enabled) {
    auto* button = new MenuButton(title, view());
    button->setGeometry(0, m_y, Width, ItemHeight);
    button->setEnabled(enabled);
    QPointer<QObject> guard(target);
    const bool hasTarget = target != nullptr;
    connect(button, &QPushButton::clicked, this, [this, guard, hasTarget, action] {
        QPointer<KTMenuController> self(this);
        if (action && (!hasTarget || guard))
            action();
        if (self)
            dismiss();
    });
    button->show();
    m_y += ItemHeight;
    Q_EMIT contentSizeForViewInPopoverChanged();
}

void KTMenuController::addSeparator() {
    auto* line = new QWidget(view());
    line->setGeometry(0, m_y, Width, 1);
    line->setAutoFillBackground(true);
    QPalette palette = line->palette();
    palette.setColor(QPalette::Window, Qt::lightGray);
    line->setPalette(palette);
    line->show();
    m_y += 1;
    Q_EMIT contentSizeForViewInPopoverChanged();
}

void KTMenuController::dismiss() {
    QPointer<KTPopoverController> popover = m_popover;
    if (!popover)
        return;
    popover->dismissPopoverAnimated(true);
    if (popover && popover->delegate())
        popover->delegate()->popoverControllerDidDismissPopover(popover);
}
