#include "editor/KTMarginView.h"

#include "editor/KTCodeView.h"
#include "editor/LineNumberMenuController.h"
#include "kit/KTPopoverController.h"
#include "platform/NavigationController.h"
#include "platform/PopoverController.h"
#include "text/KTLayoutManager.h"

#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>

KTMarginView::KTMarginView(QWidget* parent) : QWidget(parent), font_(QWidget::font()) {
    setObjectName(QStringLiteral("KTMarginView"));
    setAttribute(Qt::WA_OpaquePaintEvent);
}

KTMarginView::~KTMarginView() {
    if (popover_)
        popover_->dismissPopoverAnimated(false);
}

void KTMarginView::setForegroundColor(const QColor& color) {
    foregroundColor_ = color;
    update();
}

void KTMarginView::setBackgroundColor(const QColor& color) {
    backgroundColor_ = color;
    update();
}

void KTMarginView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), backgroundColor_);
    painter.fillRect(QRectF(width() - 1, 0, 1, height()), foregroundColor_);
    drawn_.clear();
    KTCodeView* codeView = owner_ ? owner_->editorView() : nullptr;
    if (!codeView)
        return;
    const NSRange visible = codeView->layoutManager()->glyphRangeForBoundingRect(
        codeView->bounds(), codeView->textContainer());
    if (visible.location == NSNotFound)
        return;
    // The margin sits level with the code view: its y 0 is the view's top.
    const qreal top = codeView->geometry().top() - geometry().top();
    const qreal offsetY = codeView->contentOffset().y();
    // A line's rectangle reaches one ascent and one descent above its baseline.
    const QFontMetricsF codeMetrics(codeView->font());
    const qreal baselineOffset = codeMetrics.ascent() + codeMetrics.descent();
    const QFontMetricsF metrics(font_);
    painter.setFont(font_);
    painter.setPen(foregroundColor_);
    codeView->enumerateHardLinesInRange(
        visible, [&](NSRange, const QRectF& lineRect, uint32_t number, bool* stop) {
            const qreal baseline = top + lineRect.top() - offsetY + baselineOffset;
            if (lineRect.top() - offsetY + top > height()) {
                *stop = true;
                return;
            }
            const QString text = QString::asprintf("%i", int(number));
            const qreal textWidth = metrics.horizontalAdvance(text);
            painter.drawText(QPointF(width() - 2 - 1 - textWidth - 2, baseline), text);
            drawn_.append({number, baseline});
        });
}

void KTMarginView::mouseReleaseEvent(QMouseEvent* event) {
    if (rect().contains(event->position().toPoint()))
        showLineNumberMenu();
}

void KTMarginView::showLineNumberMenu() {
    KTCodeView* codeView = owner_ ? owner_->editorView() : nullptr;
    if (!codeView)
        return;
    if (popover_)
        popover_->dismissPopoverAnimated(false);
    auto* menu = new LineNumberMenuController();
    menu->setCodeView(codeView);
    auto* navigation = new NavigationController(menu);
    auto* popover = new KTPopoverController(navigation, this);
    connect(popover, &PopoverController::didDismiss, popover, &QObject::deleteLater);
    menu->setPopoverController(popover);
    popover_ = popover;
    popover->presentPopoverFromView(this, PopoverArrowDirectionLeft, true);
}
