#pragma once

#include <QPointer>
#include <QWidget>

#include "platform/ViewController.h"

enum class InterfaceOrientation { Portrait, Landscape };

// The application's one window. It starts at 768 × 1024 points (portrait); wider than tall counts
// as landscape, and DeviceOrientation::orientationDidChange is posted when the aspect flips.
class Window : public QWidget {
    Q_OBJECT
public:
    explicit Window(QWidget* parent = nullptr);
    ~Window() override;

    // The window shown last, which alerts, popovers and sheets cover; falls back to the active
    // window or any visible top-level widget.
    static QWidget* keyWindow();
    void makeKeyAndVisible();

    // Puts the controller's view over the whole window and tells it that it appears.
    void setRootViewController(ViewController* controller);
    ViewController* rootViewController() const { return m_root; }

    InterfaceOrientation orientation() const;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QPointer<ViewController> m_root;
};

// Where device-orientation changes are announced, one object for the process.
class DeviceOrientation : public QObject {
    Q_OBJECT
public:
    static DeviceOrientation* instance();
    InterfaceOrientation orientation() const { return m_orientation; }
    bool isLandscape() const { return m_orientation == InterfaceOrientation::Landscape; }
    // Records the orientation and announces it when it differs from the last one.
    void setOrientation(InterfaceOrientation orientation);

Q_SIGNALS:
    void orientationDidChange(InterfaceOrientation orientation);

private:
    DeviceOrientation() = default;
    InterfaceOrientation m_orientation = InterfaceOrientation::Portrait;
};

inline bool interfaceOrientationIsLandscape(InterfaceOrientation orientation) {
    return orientation == InterfaceOrientation::Landscape;
}
