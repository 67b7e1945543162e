#include "text/KTTextView.h"

#include "text/KTLayoutManager.h"
#include "text/KTTextContainer.h"

#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>

#include <cmath>

KTTextView::KTTextView(QWidget* parent) : QAbstractScrollArea(parent) {
    textStorage_ = std::make_unique<KTTextStorage>(QString());
    layoutManager_ = std::make_unique<KTLayoutManager>();
    ownedTextContainer_ =
        std::make_unique<KTTextContainer>(QSizeF(viewport()->width(), KTTextContainerUnlimited));
    textStorage_->addLayoutManager(layoutManager_.get());
    layoutManager_->addTextContainer(ownedTextContainer_.get());
    ownedTextContainer_->setTextView(this);
    ownedTextContainer_->setWidthTracksTextView(true);
    ownedTextContainer_->setHeightTracksTextView(false);

    setFrameShape(QFrame::NoFrame);
    viewport()->setAutoFillBackground(false);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
}

KTTextView::~KTTextView() = default;

// Text and attributes

QString KTTextView::text() const {
    return textStorage_->string();
}

KTTextAttributes KTTextView::defaultAttributes() const {
    KTTextAttributes attributes;
    attributes.font = textStorage_->ctFont();
    if (textColor_.isValid())
        attributes.foregroundColor = textColor_;
    return attributes;
}

void KTTextView::setText(const QString& text) {
    const KTTextAttributes attributes =
        textStorage_->length() > 0 ? textStorage_->attributesAtIndex(0) : defaultAttributes();
    textStorage_->setAttributedString(text, attributes);
}

QFont KTTextView::font() const {
    return textStorage_->font();
}

void KTTextView::setFont(const QFont& font) {
    textStorage_->setFont(font);
}

QColor KTTextView::textColor() const {
    if (textStorage_->length() == 0)
        return textColor_;
    return textStorage_->attributesAtIndex(0).foregroundColor.value_or(QColor());
}

void KTTextView::setTextColor(const QColor& color) {
    textColor_ = color;
    if (color.isValid())
        textStorage_->setForegroundColor(color);
    else
        textStorage_->removeAttribute(kCTForegroundColorAttributeName,
                                      NSMakeRange(0, textStorage_->length()));
}

void KTTextView::setBackgroundColor(const QColor& color) {
    backgroundColor_ = color;
    setNeedsDisplay();
}

// Geometry

QPointF KTTextView::contentOffset() const {
    return QPointF(horizontalScrollBar()->value(), verticalScrollBar()->value());
}

void KTTextView::setContentOffset(const QPointF& offset) {
    horizontalScrollBar()->setValue(static_cast<int>(std::lround(offset.x())));
    verticalScrollBar()->setValue(static_cast<int>(std::lround(offset.y())));
}

QRectF KTTextView::bounds() const {
    return QRectF(contentOffset(), QSizeF(viewport()->size()));
}

QPointF KTTextView::textContainerOrigin() const {
    const QRectF b = bounds();
    return QPointF(b.x() + textContainerInset_.width(), b.y() + textContainerInset_.height());
}

void KTTextView::setContentSize(const QSizeF& size) {
    if (size == contentSize_)
        return;
    contentSize_ = size;
    updateScrollBars();
}

void KTTextView::updateScrollBars() {
    const QSize visible = viewport()->size();
    const qreal height = contentSize_.height() + bottomContentInset_;
    verticalScrollBar()->setPageStep(visible.height());
    verticalScrollBar()->setSingleStep(16);
    verticalScrollBar()->setRange(
        0, std::max(0, static_cast<int>(std::ceil(height)) - visible.height()));
    horizontalScrollBar()->setPageStep(visible.width());
    horizontalScrollBar()->setRange(
        0, std::max(0, static_cast<int>(std::ceil(contentSize_.width())) - visible.width()));
}

QSizeF KTTextView::sizeThatFits(const QSizeF& size) const {
    const QRectF used = layoutManager_->usedRectForTextContainer(textContainer_);
    return used.height() == 0 ? size : used.size();
}

void KTTextView::sizeToFit() {
    if (!verticallyResizable_ && !horizontallyResizable_)
        return;
    QSizeF fitting = sizeThatFits(QSizeF(viewport()->size()));
    if (textContainer_)
        fitting.setWidth(std::min(fitting.width(), textContainer_->containerSize().width()));
    setContentSize(fitting);
}

void KTTextView::setNeedsDisplay() {
    viewport()->update();
}

void KTTextView::updateInsertionPointStateAndRestartTimer(bool) {}

void KTTextView::flashScrollIndicators() {}

// Drawing

void KTTextView::drawRect(const QRectF&, QPainter* painter) {
    layoutManager_->_drawGlyphsForRect(bounds(), painter);
}

void KTTextView::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    painter.fillRect(viewport()->rect(), backgroundColor_);
    const QPointF offset = contentOffset();
    painter.translate(-offset);
    drawRect(bounds(), &painter);
}

void KTTextView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    if (textContainer_) {
        // Text never runs under the scroll bar: the viewport is what the view shows.
        const QSizeF size = textContainer_->containerSize();
        const qreal width =
            textContainer_->widthTracksTextView() ? viewport()->width() : size.width();
        const qreal height =
            textContainer_->heightTracksTextView() ? viewport()->height() : size.height();
        textContainer_->setContainerSize(QSizeF(width, height));
    }
    updateScrollBars();
}

void KTTextView::scrollContentsBy(int, int) {
    viewport()->update();
}
