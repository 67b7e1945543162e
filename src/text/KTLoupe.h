#pragma once

#include <QImage>
#include <QPainterPath>
#include <QPointer>
#include <QWidget>

#include <memory>

// The magnifier shown above the finger: the key window's content around a target point,
// magnified 1.2 times inside a circular lens (style 0, caret) or a rectangular one (style 1,
// selection), under the lens frame picture. While inactive it shows half-transparent white.
class KTLoupe : public QWidget {
    Q_OBJECT
public:
    explicit KTLoupe(QWidget* parent = nullptr);
    explicit KTLoupe(int32_t style, QWidget* parent = nullptr);

    int32_t style() const { return style_; }
    void setStyle(int32_t style);
    float magnification() const { return magnification_; }
    bool isActive() const { return active_; }
    void setActive(bool active);

    // Puts the loupe's bottom centre on `point` (in its parent's coordinates) and redraws.
    void setCenter(const QPointF& point);
    QPointF center() const { return center_; }

    QRectF clippingBounds() const { return clippingBounds_; }
    const QPainterPath& pathForMask() const { return pathForMask_; }
    const QImage& overlay() const { return overlay_; }

    // The window whose content is magnified (the key window when none is set).
    void setSourceWindow(QWidget* window) { sourceWindow_ = window; }
    QWidget* sourceWindow() const;

    // Takes a new picture of the window around the target and redraws.
    void refresh();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPointF sourceOrigin() const;

    int32_t style_ = 0;
    float magnification_ = 1.2f;
    bool active_ = true;
    QImage overlay_;
    QPainterPath pathForMask_;
    QRectF clippingBounds_;
    QPointF center_;
    QPointer<QWidget> sourceWindow_;
    bool rendering_ = false;
    QImage shot_;
    QRect shotSource_;
};

// The one loupe of the program, shown in a layer above everything else in the key window.
class KTLoupeController : public QObject {
    Q_OBJECT
public:
    static KTLoupeController* sharedLoupeController();

    int32_t loupeStyle() const { return loupeStyle_; }
    void setLoupeStyle(int32_t style);
    bool isLoupeActive() const { return loupeActive_; }
    void setLoupeActive(bool active);
    // In the key window's coordinates.
    QPointF targetPoint() const { return targetPoint_; }
    void setTargetPoint(const QPointF& point);

    // The window the target point refers to and whose content is magnified; the key window
    // when none is set.
    QWidget* keyWindow() const;
    void setKeyWindow(QWidget* window);

    void setLoupeVisible(bool visible, bool animated);
    void setLoupeVisible(bool visible) { setLoupeVisible(visible, false); }
    bool isLoupeVisible() const { return loupe_ != nullptr; }
    KTLoupe* loupe() const { return loupe_; }
    QWidget* overlayWindow() const { return overlayWindow_; }

public Q_SLOTS:
    // The interface turns: a showing loupe is hidden at once.
    void interfaceOrientationWillChange();

private:
    KTLoupeController();

    int32_t loupeStyle_ = 0;
    bool loupeActive_ = true;
    QPointF targetPoint_;
    QPointer<KTLoupe> loupe_;
    QPointer<QWidget> overlayWindow_;
    QPointer<QWidget> keyWindow_;
};
