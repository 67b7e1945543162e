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
    update();
}

void KTLoupe::setCenter(const QPointF& point) {
    center_ = point;
    // The bottom centre sits on the point.
    move(QPoint(qRound(point.x() - width() / 2.0), qRound(point.y() - height())));
    update();
}

QWidget* KTLoupe::sourceWindow() const {
    return sourceWindow_ ? sourceWindow_.data() : Window::keyWindow();
}

void KTLoupe::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    QWidget* window = sourceWindow();
    if (active_ && window) {
        painter.save();
        painter.setClipPath(pathForMask_);
        painter.fillPath(pathForMask_, Qt::red);
        // P: the window point drawn at the lens's top-left corner.
        QPointF p = center_;
        const QRectF clip = clippingBounds_;
        if (style_ == 1)
            p -= QPointF(60, 10);
        else
            p -= QPointF(clip.width() / magnification_ / 2, clip.height() / magnification_ / 2);
        painter.translate(clip.topLeft() * (style_ == 0 ? 1 : 0));
        painter.scale(magnification_, magnification_);
        painter.translate(-p);
        // Everything of the window that can show in the lens, with a margin for smoothing.
        const QRect source = QRectF(p - QPointF(8, 8), QSizeF(size()) / magnification_)
                                 .toAlignedRect()
                                 .adjusted(0, 0, 16, 16);
        window->render(&painter, source.topLeft(), QRegion(source),
                       QWidget::DrawWindowBackground | QWidget::DrawChildren);
        painter.restore();
    } else {
        painter.save();
        painter.setClipPath(pathForMask_);
        painter.fillPath(pathForMask_, QColor(255, 255, 255, 128));
        painter.restore();
    }
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
        overlayWindow_.reset();
        return;
    }
    QWidget* window = keyWindow();
    if (!overlayWindow_) {
        overlayWindow_ = std::make_unique<QWidget>(
            nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                         Qt::WindowTransparentForInput | Qt::WindowDoesNotAcceptFocus);
        overlayWindow_->setObjectName(QStringLiteral("KTLoupeOverlayWindow"));
        overlayWindow_->setAttribute(Qt::WA_TranslucentBackground);
        overlayWindow_->setAttribute(Qt::WA_TransparentForMouseEvents);
        overlayWindow_->setAttribute(Qt::WA_ShowWithoutActivating);
        if (window)
            overlayWindow_->setGeometry(QRect(window->mapToGlobal(QPoint(0, 0)), window->size()));
    }
    if (!loupe_) {
        loupe_ = new KTLoupe(loupeStyle_, overlayWindow_.get());
        loupe_->setSourceWindow(window);
        loupe_->setActive(loupeActive_);
        loupe_->setCenter(targetPoint_);
        loupe_->show();
    }
    overlayWindow_->show();
}

void KTLoupeController::interfaceOrientationWillChange() {
    if (isLoupeVisible())
        setLoupeVisible(false, false);
}
