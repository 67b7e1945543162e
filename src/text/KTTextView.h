#pragma once

#include "core/Range.h"
#include "text/KTTextStorage.h"

#include <QAbstractScrollArea>
#include <QColor>
#include <QFont>
#include <QPointF>
#include <QRectF>
#include <QSizeF>

#include <memory>
#include <optional>

class KTLayoutManager;
class KTTextContainer;

// The scrolling text view: owns one text store, one layout manager and one text container,
// and draws the laid-out frames of its visible rectangle. Content coordinates have their
// origin at the top left of the text; `bounds()` is the visible part of them.
class KTTextView : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit KTTextView(QWidget* parent = nullptr);
    ~KTTextView() override;

    KTTextStorage* textStorage() const { return textStorage_.get(); }
    KTLayoutManager* layoutManager() const { return layoutManager_.get(); }
    KTTextContainer* textContainer() const { return textContainer_; }
    // Called by the container when it is given this view.
    void setTextContainer(KTTextContainer* textContainer) { textContainer_ = textContainer; }

    // The whole text. Setting it replaces the store's content in one step, carrying the
    // attributes of the first character (or, for an empty store, the view's font and colour).
    QString text() const;
    void setText(const QString& text);

    // The store's font (hides QWidget::font on purpose: the text's font is the view's font).
    QFont font() const;
    void setFont(const QFont& font);

    // The stored colour for an empty store, otherwise the colour of the first character.
    // Setting adds it over the whole text; an invalid colour removes the attribute.
    QColor textColor() const;
    void setTextColor(const QColor& color);

    QColor backgroundColor() const { return backgroundColor_; }
    void setBackgroundColor(const QColor& color);

    // Geometry in content coordinates.
    QRectF frame() const { return QRectF(geometry()); }
    QRectF bounds() const;
    QPointF contentOffset() const;
    void setContentOffset(const QPointF& offset);
    QSizeF contentSize() const { return contentSize_; }
    void setContentSize(const QSizeF& size);
    QSizeF textContainerInset() const { return textContainerInset_; }
    void setTextContainerInset(const QSizeF& inset) { textContainerInset_ = inset; }
    QPointF textContainerOrigin() const;

    bool isVerticallyResizable() const { return verticallyResizable_; }
    void setVerticallyResizable(bool resizable) { verticallyResizable_ = resizable; }
    bool isHorizontallyResizable() const { return horizontallyResizable_; }
    void setHorizontallyResizable(bool resizable) { horizontallyResizable_ = resizable; }

    // Asked by the layout manager after each layout.
    QSizeF sizeThatFits(const QSizeF& size) const;
    void sizeToFit();

    // Marks the whole view for redrawing.
    void setNeedsDisplay();
    // Draws the visible rectangle (content coordinates) with the painter; `rect` is ignored
    // as the view always draws what is visible.
    virtual void drawRect(const QRectF& rect, QPainter* painter);

    // Caret and scroll-indicator hooks the layout manager calls; the editing view fills them.
    virtual void updateInsertionPointStateAndRestartTimer(bool restartFlag);
    virtual void flashScrollIndicators();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    void updateScrollBars();
    KTTextAttributes defaultAttributes() const;

    std::unique_ptr<KTTextStorage> textStorage_;
    std::unique_ptr<KTLayoutManager> layoutManager_;
    std::unique_ptr<KTTextContainer> ownedTextContainer_;
    KTTextContainer* textContainer_ = nullptr;

    QColor textColor_;
    QColor backgroundColor_ = Qt::white;
    bool verticallyResizable_ = true;
    bool horizontallyResizable_ = false;
    QSizeF textContainerInset_{0, 0};
    QSizeF contentSize_{0, 0};
    qreal bottomContentInset_ = 32;
};
