#pragma once

#include "kit/KTTabBar.h"
#include "platform/ViewController.h"

#include <QList>
#include <QPointer>
#include <cstdint>

class KTTabBarController;

class KTTabBarControllerDelegate {
public:
    virtual ~KTTabBarControllerDelegate() = default;
    virtual void tabBarControllerDidSelectViewController(KTTabBarController*, ViewController*) {}
    virtual void tabBarControllerWillCloseViewController(KTTabBarController*, ViewController*) {}
    virtual void tabBarControllerDidCloseViewController(KTTabBarController*, ViewController*) {}
};

// Documents as overlapping tabs above one content area: owns the ordered controllers, shows the
// selected one's view and reports selection and closing to its delegate.
class KTTabBarController : public ViewController, private KTTabBarDelegate {
    Q_OBJECT
public:
    explicit KTTabBarController(QObject* parent = nullptr);
    ~KTTabBarController() override;

    KTTabBarControllerDelegate* delegate() const { return m_delegate; }
    void setDelegate(KTTabBarControllerDelegate* delegate) { m_delegate = delegate; }

    QList<ViewController*> viewControllers() const;
    // Replaces the list; the last document is selected. Controllers left out are deleted once
    // control returns to the event loop.
    void setViewControllers(const QList<ViewController*>& controllers, bool animated);

    // Shows the controller at once, then selects its tab (on the next turn of the event loop),
    // opening "Close" when asked and the tab was already selected.
    void setSelectedIndex(uint32_t index, bool shouldShowSelectedTabMenu);
    // The selected tab's position, or NSNotFound.
    uint32_t selectedIndex() const;

    KTTabBar* tabBar() const { return m_tabBar; }
    ViewController* selectedViewController() const { return m_selected; }
    QWidget* selectedViewContainer() const { return m_container; }

protected:
    QWidget* loadView() override;

private:
    void tabBarDidSelectItem(KTTabBar*, TabBarItem* item) override;
    void tabBarWillCloseItem(KTTabBar*, TabBarItem* item) override;
    void tabBarDidCloseItem(KTTabBar*, TabBarItem* item) override;
    ViewController* showViewControllerAtIndex(qsizetype index);
    ViewController* controllerForItem(TabBarItem* item) const;
    void clearContainer();

    KTTabBarControllerDelegate* m_delegate = nullptr;
    QList<QPointer<ViewController>> m_controllers;
    QPointer<KTTabBar> m_tabBar;
    QPointer<ViewController> m_selected;
    QPointer<QWidget> m_container;
};
