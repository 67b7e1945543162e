#pragma once

#include "platform/BasicNavigationBar.h"
#include "platform/Toolbar.h"
#include "platform/ViewController.h"

#include <QList>
#include <functional>

// A stack of screens under one bar. The controller owns the screens on its stack; a screen taken
// off the stack is deleted once control returns to the event loop.
class NavigationController : public ViewController {
    Q_OBJECT
public:
    explicit NavigationController(ViewController* rootViewController = nullptr,
                                  QObject* parent = nullptr);
    ~NavigationController() override;

    // Every navigation controller created afterwards gets its bar from this factory.
    static void setNavigationBarFactory(std::function<BasicNavigationBar*()> factory);

    BasicNavigationBar* navigationBar();
    bool isNavigationBarHidden() const { return m_barHidden; }
    void setNavigationBarHidden(bool hidden, bool animated = false);

    // The toolbar along the bottom, showing the top screen's toolbar items; hidden at first.
    Toolbar* toolbar();
    bool isToolbarHidden() const { return m_toolbarHidden; }
    void setToolbarHidden(bool hidden, bool animated = false);

    QList<ViewController*> viewControllers() const;
    void setViewControllers(const QList<ViewController*>& controllers, bool animated = false);
    ViewController* topViewController() const;
    // The modally presented controller of the top screen when there is one, else the top.
    ViewController* visibleViewController() const;

    void pushViewController(ViewController* controller, bool animated);
    // Answers the screen taken off (deleted later), or none when only the root is left.
    ViewController* popViewControllerAnimated(bool animated);
    QList<ViewController*> popToRootViewControllerAnimated(bool animated);
    QList<ViewController*> popToViewController(ViewController* controller, bool animated);

    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;
    void viewDidDisappear(bool animated) override;

protected:
    QWidget* loadView() override;
    void viewDidLoad() override;
    QSizeF defaultContentSizeForViewInPopover() const override;

private:
    friend class NavigationView;
    void transition(const QList<ViewController*>& controllers, bool animated, bool forward);
    void layoutContent();
    void updateBar();
    void updateToolbar();
    QRect contentRect() const;

    QList<QPointer<ViewController>> m_stack;
    BasicNavigationBar* m_bar = nullptr;
    bool m_barHidden = false;
    Toolbar* m_toolbar = nullptr;
    bool m_toolbarHidden = true;
    QPointer<ViewController> m_observedTop;
    bool m_onScreen = false;
};
