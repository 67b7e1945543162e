#include "text/KTFindIndicator.h"

#include "text/KTLayoutManager.h"
#include "text/KTTextContainer.h"
#include "text/KTTextStorage.h"
#include "text/KTTextView.h"

#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>
#include <QVariantAnimation>

#include <cmath>

namespace {

// Room around the frame for the 1.3 scale and the shadow.
constexpr qreal kMarginFraction = 0.15;
constexpr qreal kShadowRoom = 6;

} // namespace

KTFindIndicator::KTFindIndicator(const QRectF& frame, QWidget* parent)
    : QWidget(parent), frame_(frame) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    placeWidget();
}

KTFindIndicator::~KTFindIndicator() = default;

void KTFindIndicator::setIndicatorFrame(const QRectF& frame) {
    frame_ = frame;
    placeWidget();
}

void KTFindIndicator::placeWidget() {
    const qreal mx = frame_.width() * kMarginFraction + kShadowRoom;
    const qreal my = frame_.height() * kMarginFraction + kShadowRoom;
    setGeometry(frame_.adjusted(-mx, -my, mx, my).toAlignedRect());
    update();
}

void KTFindIndicator::addAttributedString(const QString& string, const QRectF& rect) {
    const QRectF whole(QPointF(std::floor(rect.left()), std::floor(rect.top())),
                       QPointF(std::ceil(rect.right()), std::ceil(rect.bottom())));
    const QRectF old = frame_;
    const QRectF united = frame_.united(whole);
    // Layers already added keep their place on screen while the frame's origin moves.
    const qreal dx = united.x() - old.x();
    const qreal dy = united.y() - old.y();
    for (TextLayer& layer : layers_) {
        layer.rect.translate(-dx, -dy);
        layer.lineTop -= dy;
    }
    frame_ = united;
    const qreal pointSize = font_.pointSizeF() > 0 ? font_.pointSizeF() : font_.pixelSize();
    layers_.append(TextLayer{string,
                             QRectF(whole.x() - frame_.x(),
                                    whole.y() - frame_.y() + (whole.height() - pointSize),
                                    whole.width() + 12, whole.height() + 12),
                             rect.y() - frame_.y()});
    placeWidget();
}

void KTFindIndicator::runStep(const QString& name, qreal from, qreal to, int delayMs,
                              bool scaling) {
    auto start = [this, name, from, to, scaling] {
        runningAnimation_ = name;
        auto* animation = new QVariantAnimation(this);
        animation->setObjectName(name);
        animation->setDuration(80);
        animation->setStartValue(from);
        animation->setEndValue(to);
        connect(animation, &QVariantAnimation::valueChanged, this,
                [this, scaling](const QVariant& value) {
                    (scaling ? scale_ : alpha_) = value.toReal();
                    update();
                });
        connect(animation, &QVariantAnimation::finished, this, [this, name] {
            (void)name;
            if (name == QLatin1String("KTFindIndicatorPulseUpAnimation"))
                runStep(QStringLiteral("KTFindIndicatorPulseDownAnimation"), 1.3, 1.0, 0, true);
            else if (name == QLatin1String("KTFindIndicatorPulseDownAnimation"))
                runStep(QStringLiteral("KTFindIndicatorFadeOutAnimation"), 1.0, 0.0, 300, false);
            else
                runningAnimation_.clear();
        });
        animation_ = animation;
        animation->start(QAbstractAnimation::DeleteWhenStopped);
    };
    if (delayMs > 0)
        QTimer::singleShot(delayMs, this, start);
    else
        start();
}

void KTFindIndicator::pulse() {
    if (animation_)
        animation_->stop();
    scale_ = 1.0;
    alpha_ = 1.0;
    show();
    raise();
    runStep(QStringLiteral("KTFindIndicatorPulseUpAnimation"), 1.0, 1.3, 0, true);
}

void KTFindIndicator::paintEvent(QPaintEvent*) {
    if (alpha_ <= 0)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(alpha_);
    const QPointF origin = frame_.topLeft() - QPointF(geometry().topLeft());
    const QRectF body(origin, frame_.size());
    painter.translate(body.center());
    painter.scale(scale_, scale_);
    painter.translate(-body.center());

    QPainterPath path;
    path.addRoundedRect(body, 3, 3);
    // Shadow: black, offset (0, 2), radius 2, drawn as a few softened copies.
    for (int i = 3; i >= 1; --i) {
        QPainterPath shadow;
        shadow.addRoundedRect(body.translated(0, 2).adjusted(-i * 0.7, -i * 0.7, i * 0.7, i * 0.7),
                              3 + i, 3 + i);
        painter.fillPath(shadow, QColor(0, 0, 0, 50));
    }
    QLinearGradient gradient(body.topLeft(), body.bottomLeft());
    gradient.setColorAt(0, QColor::fromRgbF(0.95f, 0.94f, 0.0f));
    gradient.setColorAt(1, QColor::fromRgbF(0.93f, 0.81f, 0.0f));
    painter.fillPath(path, gradient);

    painter.setPen(Qt::black);
    painter.setFont(font_);
    // The copy sits exactly over the characters it covers: on their line's baseline.
    const qreal ascent = QFontMetricsF(font_).ascent();
    for (const TextLayer& layer : layers_)
        painter.drawText(QPointF(layer.rect.x(), layer.lineTop + ascent) + origin, layer.string);
}

void KTShowFindIndicatorForRange(KTTextView* textView, NSRange range,
                                 QPointer<KTFindIndicator>& indicator) {
    delete indicator.data();
    indicator = nullptr;
    if (!textView || range.length == 0)
        return;
    KTLayoutManager* layoutManager = textView->layoutManager();
    KTTextStorage* storage = textView->textStorage();
    if (NSMaxRange(range) > storage->length())
        return;
    uint32_t count = 0;
    const QRectF* rects = layoutManager->rectArrayForCharacterRange(
        range, NSMakeRange(NSNotFound, 0), textView->textContainer(), &count);
    if (!rects || count == 0)
        return;
    const QList<QRectF> contentRects(rects, rects + count);
    const QPointF offset = textView->contentOffset();
    auto* created =
        new KTFindIndicator(contentRects.first().translated(-offset), textView->viewport());
    created->setFont(textView->font());
    for (const QRectF& rect : contentRects) {
        // Inset a little: the rectangle's edges touch the neighbouring characters.
        const NSRange inside = layoutManager->glyphRangeForBoundingRect(
            rect.adjusted(0.5, 0.5, -0.5, -0.5), textView->textContainer());
        const NSRange clipped = NSIntersectionRange(inside, range);
        const NSRange shown = count == 1 ? range : clipped;
        if (shown.length == 0 || shown.location == NSNotFound ||
            NSMaxRange(shown) > storage->length())
            continue;
        created->addAttributedString(storage->substringWithRange(shown), rect.translated(-offset));
    }
    indicator = created;
    created->pulse();
}
