#pragma once

#include "platform/ActionSheet.h"
#include "platform/ViewController.h"

#include <QList>
#include <QPointer>
#include <QScrollArea>

class KTTabBar;
class QAbstractButton;

class KTTabBarDelegate {
public:
    virtual ~KTTabBarDelegate() = default;
    virtual void tabBarDidSelectItem(KTTabBar*, TabBarItem*) {}
    virtual void tabBarWillCloseItem(KTTabBar*, TabBarItem*) {}
    virtual void tabBarDidCloseItem(KTTabBar*, TabBarItem*) {}
};

// A horizontally scrolling strip of overlapping tabs. The selected tab is simply the frontmost
// button: selecting sends every button to the back and brings the chosen one to the front, and
// the selection is read back from that order. Touching the selected tab offers "Close".
class KTTabBar : public QScrollArea, private ActionSheetDelegate {
    Q_OBJECT
public:
    explicit KTTabBar(const QRect& frame = QRect(0, 0, 768, 44), QWidget* parent = nullptr);
    ~KTTabBar() override;

    KTTabBarDelegate* delegate() const { return m_delegate; }
    void setDelegate(KTTabBarDelegate* delegate) { m_delegate = delegate; }

    QList<TabBarItem*> items() const;
    // Rebuilds the tabs (tags 1 … n in order) and selects the last one at once.
    void setItems(const QList<TabBarItem*>& items, bool animated);

    uint32_t tabWidth() const { return m_tabWidth; }
    void setTabWidth(uint32_t width);
    uint32_t tabOverlap() const { return m_tabOverlap; }
    void setTabOverlap(uint32_t overlap);

    // The item of the frontmost tab, or none without tabs.
    TabBarItem* selectedItem() const;
    // The tabs' action: touching the selected tab shows "Close"; then the tab is selected on the
    // next turn of the event loop.
    void selectItem(QAbstractButton* button);
    void setSelectedItem(TabBarItem* item, bool shouldShowMenu);
    void removeItem(TabBarItem* item);

    // With a tab: (re)opens the "Close" menu at the selected tab. Without one: shows the open
    // menu again half a second later (after a rotation moved the tabs).
    void showSelectedTabMenu(QAbstractButton* sender);
    ActionSheet* activeMenu() const { return m_activeMenu; }

    // The tabs, back to front, and the one tagged tag.
    QList<QAbstractButton*> buttons() const;
    QAbstractButton* buttonWithTag(int tag) const;
    // The size the tabs span: n × (tab width − overlap) by 44.
    QSize contentSize() const { return m_contentSize; }

    void layoutSubviews();

public Q_SLOTS:
    void orientationDidChange();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void actionSheetDidDismissWithButtonIndex(ActionSheet* sheet, int index) override;
    void selectIndex(int index);
    void selectButton(QAbstractButton* button);

    KTTabBarDelegate* m_delegate = nullptr;
    QList<QPointer<TabBarItem>> m_items;
    uint32_t m_tabWidth = 200;
    uint32_t m_tabOverlap = 25;
    QPointer<ActionSheet> m_activeMenu;
    QWidget* m_content;
    QSize m_contentSize;
};
