#pragma once

#include "core/Range.h"

#include <QFont>
#include <QList>
#include <QPointer>
#include <QRectF>
#include <QString>
#include <QWidget>

class KTTextView;
class QVariantAnimation;

// The yellow lozenge that flashes found text (and a matching bracket): it shows black copies of
// the characters it covers, grows to 1.3 times its size and back, then fades out. It stays in
// its view, invisible, until the next indicator replaces it.
//
// Frames are in the coordinates of the view the indicator is put in; the widget itself is
// larger than its frame by a margin that leaves room for the pulse and the shadow.
class KTFindIndicator : public QWidget {
    Q_OBJECT
public:
    explicit KTFindIndicator(const QRectF& frame, QWidget* parent = nullptr);
    ~KTFindIndicator() override;

    QFont font() const { return font_; }
    void setFont(const QFont& font) { font_ = font; }

    QRectF indicatorFrame() const { return frame_; }
    void setIndicatorFrame(const QRectF& frame);

    // Adds a copy of the text, drawn in black, covering `rect` (a rectangle of the parent's
    // coordinates); the frame grows to contain the rectangle on whole points.
    void addAttributedString(const QString& string, const QRectF& rect);

    // Up to 1.3 in 0.08 s, back in 0.08 s, then after 0.3 s a fade to alpha 0 in 0.08 s.
    void pulse();

    // Where the pulse is: the current scale and alpha, and the name of the running step
    // ("KTFindIndicatorPulseUpAnimation", "...PulseDownAnimation", "...FadeOutAnimation"; empty
    // when none runs).
    qreal scale() const { return scale_; }
    qreal alpha() const { return alpha_; }
    QString runningAnimation() const { return runningAnimation_; }

    struct TextLayer {
        QString string;
        QRectF rect;   // the text layer, relative to the frame's origin
        qreal lineTop; // top of the covered rectangle, relative to the frame's origin
    };
    const QList<TextLayer>& textLayers() const { return layers_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void placeWidget();
    void runStep(const QString& name, qreal from, qreal to, int delayMs, bool scaling);

    QFont font_;
    QRectF frame_;
    QList<TextLayer> layers_;
    qreal scale_ = 1.0;
    qreal alpha_ = 1.0;
    QString runningAnimation_;
    QPointer<QVariantAnimation> animation_;
};

// Shows an indicator over the characters of `range` in the text view (replacing the one held in
// `indicator`): nothing for an empty range or one without rectangles. The indicator goes into
// the view's viewport at the range's place in the visible content.
void KTShowFindIndicatorForRange(KTTextView* textView, NSRange range,
                                 QPointer<KTFindIndicator>& indicator);
