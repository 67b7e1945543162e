#pragma once

#include <QColor>
#include <QFont>
#include <QPointer>
#include <QWidget>

class KTCodeView;
#include "platform/PopoverController.h"

// Whoever shows a margin beside a code view: the margin reads the view from it.
class KTMarginViewOwner {
public:
    virtual ~KTMarginViewOwner() = default;
    virtual KTCodeView* editorView() const = 0;
};

// Line numbers beside a code view. The margin does not scroll itself: it draws the numbers of
// the lines in the code view's visible characters at their places under the view's offset,
// and a one-point separator at its right edge. A tap opens "Jump to line".
class KTMarginView : public QWidget {
    Q_OBJECT
public:
    explicit KTMarginView(QWidget* parent = nullptr);
    ~KTMarginView() override;

    KTMarginViewOwner* owner() const { return owner_; }
    void setOwner(KTMarginViewOwner* owner) { owner_ = owner; }
    QFont font() const { return font_; }
    void setFont(const QFont& font) { font_ = font; }
    QColor foregroundColor() const { return foregroundColor_; }
    void setForegroundColor(const QColor& color);
    QColor backgroundColor() const { return backgroundColor_; }
    void setBackgroundColor(const QColor& color);

    void setNeedsDisplay() { update(); }
    void showLineNumberMenu();
    PopoverController* lineNumberPopover() const { return popover_; }

    // The numbers drawn last with their baselines (margin coordinates), for checks.
    struct DrawnNumber {
        uint32_t number;
        qreal baseline;
    };
    const QList<DrawnNumber>& drawnNumbers() const { return drawn_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    KTMarginViewOwner* owner_ = nullptr;
    QFont font_;
    QColor foregroundColor_ = Qt::black;
    QColor backgroundColor_ = Qt::white;
    QList<DrawnNumber> drawn_;
    QPointer<PopoverController> popover_;
};
