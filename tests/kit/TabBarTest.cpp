#include "core/Range.h"
#include "kit/KTTabBarController.h"
#include "platform/Animations.h"
#include "platform/Window.h"
#include "support/TestSupport.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// A document stand-in: a titled screen that records its appearance calls in a shared log.
class Document : public ViewController {
public:
    Document(const QString& name, QStringList* log) : m_log(log) { setTitle(name); }
    void viewWillAppear(bool) override { *m_log << title() + " willAppear"; }
    void viewDidAppear(bool) override { *m_log << title() + " didAppear"; }
    void viewWillDisappear(bool) override { *m_log << title() + " willDisappear"; }
    void viewDidDisappear(bool) override { *m_log << title() + " didDisappear"; }

protected:
    QWidget* loadView() override {
        auto* label = new QLabel("<h2>" + title() + "</h2><p>The document's text goes here.</p>");
        label->setAlignment(Qt::AlignTop | Qt::AlignLeft);
        label->setMargin(20);
        label->setStyleSheet("background: white;");
        return label;
    }

private:
    QStringList* m_log;
};

struct Delegate : KTTabBarControllerDelegate {
    QStringList calls;
    void tabBarControllerDidSelectViewController(KTTabBarController*, ViewController* c) override {
        calls << "select " + (c ? c->title() : QString("none"));
    }
    void tabBarControllerWillCloseViewController(KTTabBarController*, ViewController* c) override {
        calls << "willClose " + c->title();
    }
    void tabBarControllerDidCloseViewController(KTTabBarController*, ViewController* c) override {
        calls << "didClose " + c->title();
    }
};

struct Tabs {
    Window window;
    KTTabBarController controller;
    Delegate delegate;
    QStringList log;

    Tabs() {
        window.makeKeyAndVisible();
        controller.setDelegate(&delegate);
        window.setRootViewController(&controller);
    }
    ~Tabs() {
        window.setRootViewController(nullptr);
        controller.setParent(nullptr);
    }
    QList<ViewController*> open(const QStringList& names) {
        QList<ViewController*> list = controller.viewControllers();
        for (const QString& name : names)
            list << new Document(name, &log);
        controller.setViewControllers(list, true);
        return list;
    }
    KTTabBar* bar() { return controller.tabBar(); }
    QAbstractButton* tab(int index) { return bar()->buttonWithTag(index + 1); }
    QAbstractButton* front() { return bar()->buttons().last(); }
    static void settle() { QCoreApplication::processEvents(); }
};

TEST(KTTabBarControllerTest, OpeningThreeDocumentsShowsTheThird) {
    setAnimationsEnabled(false);
    Tabs t;
    const auto docs = t.open({"index.html", "style.css", "app.js"});
    EXPECT_EQ(t.controller.selectedViewController(), docs[2]);
    EXPECT_EQ(t.controller.selectedIndex(), 2u);
    EXPECT_EQ(t.front(), t.tab(2));
    EXPECT_EQ(t.log, (QStringList{"app.js willAppear", "app.js didAppear"}));
    EXPECT_EQ(docs[2]->view()->parentWidget(), t.controller.selectedViewContainer());
    EXPECT_EQ(docs[2]->view()->geometry(), QRect(0, 0, 738, 958));
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(t.tab(i)->geometry(), QRect(i * 175, -2, 200, 44)) << i;
        EXPECT_EQ(t.bar()->items()[i]->tag(), i + 1);
        EXPECT_EQ(t.tab(i)->text(), docs[i]->title());
    }
    EXPECT_EQ(t.bar()->contentSize(), QSize(525, 44));
    t.window.grab()
        .copy(0, 0, 768, 400)
        .save(QDir(quorvel::test::outputDirectory()).filePath("tabs.png"));
    setAnimationsEnabled(true);
}

TEST(KTTabBarTest, TabsShrinkToFillTheStripWhenTooMany) {
    struct Case {
        int count;
        int stripWidth;
        int tabWidth;
    };
    const Case cases[] = {
        {8, 768, 117}, // 1400 > 768: (768 + 7 × 25) ÷ 8 = 117.875, truncated
        {4, 768, 200}, // 700 fits at the preferred width
        {5, 768, 173}, // 875 > 768: (768 + 4 × 25) ÷ 5 = 173.6
        {1, 100, 100}, // one tab wider than the strip takes the strip
    };
    for (const Case& c : cases) {
        KTTabBar bar(QRect(0, 0, c.stripWidth, 44));
        QList<TabBarItem*> items;
        for (int i = 0; i < c.count; ++i)
            items << new TabBarItem(QString("file%1.html").arg(i), {}, 0, &bar);
        bar.setItems(items, false);
        const int expectedWidth = c.tabWidth;
        for (int i = 0; i < c.count; ++i) {
            EXPECT_EQ(bar.buttonWithTag(i + 1)->geometry(),
                      QRect(i * (expectedWidth - 25), -2, expectedWidth, 44))
                << c.count << " tabs, tab " << i;
        }
        EXPECT_EQ(bar.contentSize(), QSize(c.count * (expectedWidth - 25), 44));
    }
}

TEST(KTTabBarControllerTest, TouchingTabsSelectsThenOffersClose) {
    Tabs t;
    const auto docs = t.open({"a.html", "b.html", "c.html"});
    t.log.clear();
    t.delegate.calls.clear();

    // An unselected tab: selected on the next turn of the event loop.
    QTest::mouseClick(t.tab(0), Qt::LeftButton, {}, QPoint(100, 22));
    EXPECT_EQ(t.controller.selectedIndex(), 2u);
    Tabs::settle();
    EXPECT_EQ(t.controller.selectedIndex(), 0u);
    EXPECT_EQ(t.front(), t.tab(0));
    EXPECT_EQ(t.controller.selectedViewController(), docs[0]);
    EXPECT_EQ(t.log, (QStringList{"c.html willDisappear", "c.html didDisappear",
                                  "a.html willAppear", "a.html didAppear"}));
    EXPECT_EQ(t.bar()->activeMenu(), nullptr);

    // The selected tab: "Close" is offered.
    QTest::mouseClick(t.tab(0), Qt::LeftButton, {}, QPoint(100, 22));
    Tabs::settle();
    ActionSheet* menu = t.bar()->activeMenu();
    ASSERT_NE(menu, nullptr);
    EXPECT_TRUE(menu->isVisible());
    EXPECT_EQ(menu->numberOfButtons(), 1);
    EXPECT_EQ(menu->buttonTitleAtIndex(0), "Close");

    t.delegate.calls.clear();
    QPointer<ViewController> closed = docs[0];
    menu->clickButtonAtIndex(0);
    Tabs::settle();
    EXPECT_EQ(t.bar()->activeMenu(), nullptr);
    EXPECT_EQ(t.controller.viewControllers(), (QList<ViewController*>{docs[1], docs[2]}));
    EXPECT_EQ(t.controller.selectedViewController(), docs[2]);
    EXPECT_EQ(t.controller.selectedIndex(), 1u);
    EXPECT_EQ(t.bar()->items().size(), 2);
    EXPECT_EQ(t.delegate.calls.first(), "willClose a.html");
    EXPECT_TRUE(t.delegate.calls.contains("didClose a.html"));
    EXPECT_EQ(t.delegate.calls.last(), "didClose a.html");
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(closed.isNull());
}

TEST(KTTabBarControllerTest, ClosingTheOnlyTabLeavesNothing) {
    Tabs t;
    const auto docs = t.open({"only.html"});
    Tabs::settle();
    t.delegate.calls.clear();
    setAnimationsEnabled(false);
    t.controller.setSelectedIndex(0, true);
    ASSERT_NE(t.bar()->activeMenu(), nullptr);
    t.window.grab()
        .copy(0, 0, 500, 200)
        .save(QDir(quorvel::test::outputDirectory()).filePath("tab-close-menu.png"));
    setAnimationsEnabled(true);
    t.bar()->activeMenu()->clickButtonAtIndex(0);
    Tabs::settle();
    EXPECT_EQ(t.delegate.calls.filter("Close"),
              (QStringList{"willClose only.html", "didClose only.html"}));
    EXPECT_TRUE(t.controller.viewControllers().isEmpty());
    EXPECT_TRUE(t.bar()->items().isEmpty());
    EXPECT_TRUE(t.bar()->buttons().isEmpty());
    EXPECT_EQ(t.bar()->selectedItem(), nullptr);
    EXPECT_EQ(t.controller.selectedIndex(), NSNotFound);
    EXPECT_EQ(t.controller.selectedViewController(), nullptr);
    EXPECT_TRUE(t.controller.selectedViewContainer()
                    ->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)
                    .isEmpty());
}

TEST(KTTabBarControllerTest, SelectionAskedInTheSameTurnWinsOverTheRebuild) {
    Tabs t;
    auto docs = t.open({"a.html", "b.html", "c.html"});
    Tabs::settle();
    // A rename gives the first document a new tab item and hands the list over again, then
    // selects the index that was selected before.
    t.controller.setSelectedIndex(0, false);
    Tabs::settle();
    auto* renamed = new TabBarItem("z.html", {}, docs[0]->tabBarItem()->tag());
    docs[0]->setTabBarItem(renamed);
    t.controller.setViewControllers(docs, false);
    t.controller.setSelectedIndex(0, false);
    EXPECT_EQ(t.controller.selectedViewController(), docs[0]);
    Tabs::settle();
    EXPECT_EQ(t.controller.selectedIndex(), 0u);
    EXPECT_EQ(t.bar()->selectedItem(), renamed);
    EXPECT_EQ(t.tab(0)->text(), "z.html");
    EXPECT_EQ(t.controller.selectedViewController(), docs[0]);
    EXPECT_EQ(t.bar()->activeMenu(), nullptr);
}

TEST(KTTabBarControllerTest, StripFollowsTheWindowAndTheMenuFollowsTheTab) {
    setAnimationsEnabled(false);
    Tabs t;
    t.open({"a.html", "b.html", "c.html", "d.html", "e.html"}); // 875 > 768: squeezed
    Tabs::settle();
    EXPECT_EQ(t.tab(4)->width(), (768 + 4 * 25) / 5);
    t.controller.setSelectedIndex(4, true);
    ActionSheet* menu = t.bar()->activeMenu();
    ASSERT_NE(menu, nullptr);
    t.window.resize(1024, 768);
    EXPECT_EQ(t.bar()->width(), 1024);
    EXPECT_EQ(t.tab(4)->geometry(), QRect(4 * 175, -2, 200, 44));
    EXPECT_EQ(t.controller.selectedViewContainer()->geometry(), QRect(15, 52, 994, 702));
    // Half a second after the turn the menu is shown again at the tab's new place.
    QTest::qWait(700);
    ASSERT_EQ(t.bar()->activeMenu(), menu);
    EXPECT_TRUE(menu->isVisible());
    const QPoint tabBottom = t.tab(4)->mapTo(&t.window, QPoint(100, 44));
    EXPECT_EQ(menu->popover()->arrowTip(), tabBottom);
    setAnimationsEnabled(true);
}

} // namespace

namespace {

TEST(KTTabBarControllerTest, FingerOnATabSelectsItLikeTheMouse) {
    Tabs t;
    const auto docs = t.open({"a.html", "b.html"});
    Tabs::settle();
    static QPointingDevice* finger = QTest::createTouchDevice();
    const QPoint point = t.tab(0)->mapTo(&t.window, QPoint(60, 22));
    QTest::touchEvent(&t.window, finger).press(0, point, &t.window);
    QTest::touchEvent(&t.window, finger).release(0, point, &t.window);
    Tabs::settle();
    EXPECT_EQ(t.controller.selectedViewController(), docs[0]);
    EXPECT_EQ(t.front(), t.tab(0));
}

} // namespace
