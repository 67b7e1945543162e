#include "text/KTLoupe.h"

#include "platform/ViewController.h"
#include "platform/Window.h"
#include "text/KTTextImages.h"

#include <QApplication>
#include <QPainter>
#include <QScreen>

// Loupe

KTLoupe::KTLoupe(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAutoFillBackground(false);
    setStyle(0);
}

KTLoupe::KTLoupe(int32_t style, QWidget* parent) : KTLoupe(parent) {
    setStyle(style);
}

void KTLoupe::setStyle(int32_t style) {
    style_ = style;
    QPainterPath path;
    if (style == 0) {
        overlay_ = KTTextImageNamed(QStringLiteral("KTCircularLoupeOverlay.png"));
        const QSizeF size = overlay_.deviceIndependentSize();
        clippingBounds_ = QRectF(5, 3, size.width() - 10, size.height() - 7);
        path.addEllipse(clippingBounds_);
    } else {
        overlay_ = KTTextImageNamed(QStringLiteral("KTRectangularLoupeOverlay.png"));
        clippingBounds_ = QRectF(6, 5, 133, 32);
        path.addRect(clippingBounds_);
    }
    pathForMask_ = path;
    const QSize size = overlay_.deviceIndependentSize().toSize();
    resize(size);
    setCenter(center_);
}

void KTLoupe::setActive(bool active) {
    if (active == active_)
        return;
    active_ = active;
    refresh();
}

void KTLoupe::setCenter(const QPointF& point) {
    center_ = point;
    // The bottom centre sits on the point.
    move(QPoint(qRound(point.x() - width() / 2.0), qRound(point.y() - height())));
    refresh();
}

QWidget* KTLoupe::sourceWindow() const {
    return sourceWindow_ ? sourceWindow_.data() : Window::keyWindow();
}

QPointF KTLoupe::sourceOrigin() const {
    // The window point drawn at the lens's top-left corner.
    QPointF p = center_;
    if (style_ == 1)
        return p - QPointF(60, 10);
    const QRectF clip = clippingBounds_;
    p -= QPointF(clip.width() / magnification_ / 2, clip.height() / magnification_ / 2);
    // Centred in the lens itself rather than in its frame.
    return p - clip.topLeft() / magnification_;
}

void KTLoupe::refresh() {
    QWidget* window = sourceWindow();
    if (rendering_ || !active_ || !window) {
        update();
        return;
    }
    // Everything of the window that can show in the lens, with a margin for smoothing, taken
    // outside of any painting (the window holds this loupe; its picture leaves the loupe out).
    shotSource_ = QRectF(sourceOrigin() - QPointF(8, 8), QSizeF(size()) / magnification_)
                      .toAlignedRect()
                      .adjusted(0, 0, 16, 16);
    shot_ = QImage(shotSource_.size(), QImage::Format_ARGB32_Premultiplied);
    shot_.fill(Qt::red); // behind content that is itself transparent
    rendering_ = true;
    {
        QPainter painter(&shot_);
        window->render(&painter, QPoint(), QRegion(shotSource_),
                       QWidget::DrawWindowBackground | QWidget::DrawChildren);
    }
    rendering_ = false;
    update();
}

void KTLoupe::paintEvent(QPaintEvent*) {
    if (rendering_)
        return; // the loupe inside the window's own picture stays empty
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.save();
    painter.setClipPath(pathForMask_);
    if (active_ && !shot_.isNull()) {
        painter.scale(magnification_, magnification_);
        painter.translate(-sourceOrigin());
        painter.drawImage(QRectF(shotSource_), shot_);
    } else {
        painter.fillPath(pathForMask_, QColor(255, 255, 255, 128));
    }
    painter.restore();
    if (!overlay_.isNull())
        painter.drawImage(QPointF(0, 0), overlay_);
}

// Controller

KTLoupeController::KTLoupeController() {
    connect(DeviceOrientation::instance(), &DeviceOrientation::orientationDidChange, this,
            &KTLoupeController::interfaceOrientationWillChange);
}

KTLoupeController* KTLoupeController::sharedLoupeController() {
    static KTLoupeController* shared = new KTLoupeController();
    return shared;
}

void KTLoupeController::setLoupeStyle(int32_t style) {
    loupeStyle_ = style;
    if (loupe_ && loupe_->style() != style) {
        loupe_->setStyle(style);
        loupe_->setCenter(targetPoint_);
    }
}

void KTLoupeController::setLoupeActive(bool active) {
    loupeActive_ = active;
    if (loupe_)
        loupe_->setActive(active);
}

void KTLoupeController::setTargetPoint(const QPointF& point) {
    targetPoint_ = point;
    if (loupe_)
        loupe_->setCenter(point);
}

QWidget* KTLoupeController::keyWindow() const {
    return keyWindow_ ? keyWindow_.data() : Window::keyWindow();
}

void KTLoupeController::setKeyWindow(QWidget* window) {
    keyWindow_ = window;
    if (loupe_)
        loupe_->setSourceWindow(window);
}

void KTLoupeController::setLoupeVisible(bool visible, bool) {
    if (!visible) {
        delete loupe_.data();
        loupe_ = nullptr;
        delete overlayWindow_.data();
        overlayWindow_ = nullptr;
        return;
    }
    QWidget* window = keyWindow();
    if (!window)
        return; // no window: nothing to magnify and nowhere to show it
    if (overlayWindow_ && overlayWindow_->parentWidget() != window) {
        delete overlayWindow_.data();
        overlayWindow_ = nullptr;
    }
    if (!overlayWindow_) {
        // A layer over the whole window, above everything in it (menus included). It lives in
        // the window rather than in a window of its own, so it needs no compositing manager.
        overlayWindow_ = new QWidget(window);
        overlayWindow_->setObjectName(QStringLiteral("KTLoupeOverlayWindow"));
        overlayWindow_->setAttribute(Qt::WA_TransparentForMouseEvents);
        overlayWindow_->setAttribute(Qt::WA_NoSystemBackground);
        overlayWindow_->setFocusPolicy(Qt::NoFocus);
        overlayWindow_->setGeometry(window->rect());
    }
    if (!loupe_) {
        loupe_ = new KTLoupe(loupeStyle_, overlayWindow_);
        loupe_->setSourceWindow(window);
        loupe_->setActive(loupeActive_);
        loupe_->setCenter(targetPoint_);
        loupe_->show();
    }
    overlayWindow_->show();
    overlayWindow_->raise();
}

void KTLoupeController::interfaceOrientationWillChange() {
    if (isLoupeVisible())
        setLoupeVisible(false, false);
}
