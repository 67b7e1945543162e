#include "core/NavigationBar.h"
#include "platform/Autoresizing.h"
#include "platform/NavigationController.h"
#include "platform/Window.h"
#include "support/TestSupport.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// Writes down every appearance call it hears, with its own name.
class RecordingController : public ViewController {
public:
    RecordingController(const QString& name, QStringList* log) : m_name(name), m_log(log) {
        setTitle(name);
    }
    void viewWillAppear(bool) override { m_log->append(m_name + " willAppear"); }
    void viewDidAppear(bool) override { m_log->append(m_name + " didAppear"); }
    void viewWillDisappear(bool) override { m_log->append(m_name + " willDisappear"); }
    void viewDidDisappear(bool) override { m_log->append(m_name + " didDisappear"); }

protected:
    void viewDidLoad() override { m_log->append(m_name + " didLoad"); }

private:
    QString m_name;
    QStringList* m_log;
};

struct WindowWithStack {
    Window window;
    QStringList log;
    NavigationController* nav;
    RecordingController* root;

    WindowWithStack() {
        root = new RecordingController("root", &log);
        nav = new NavigationController(root);
        window.setRootViewController(nav);
        window.show();
        log.clear();
    }
};

TEST(ViewControllerTest, ViewIsBuiltOnceOnFirstUse) {
    QStringList log;
    RecordingController controller("a", &log);
    EXPECT_FALSE(controller.isViewLoaded());
    EXPECT_TRUE(log.isEmpty());
    QWidget* view = controller.view();
    EXPECT_EQ(controller.view(), view);
    EXPECT_EQ(log, QStringList{"a didLoad"});
}

TEST(ViewControllerTest, TitleNamesNavigationAndTabItems) {
    ViewController controller;
    TabBarItem* item = controller.tabBarItem();
    controller.setTitle("index.html");
    EXPECT_EQ(controller.navigationItem()->title(), "index.html");
    EXPECT_EQ(item->title(), "index.html");
    // A tab item given from outside keeps its own title.
    auto* own = new TabBarItem("other", {}, 3);
    controller.setTabBarItem(own);
    controller.setTitle("renamed.html");
    EXPECT_EQ(controller.tabBarItem(), own);
    EXPECT_EQ(own->title(), "other");
}

TEST(NavigationControllerTest, PushAndPopTellBothScreensInOrder) {
    WindowWithStack w;
    auto* second = new RecordingController("second", &w.log);
    w.nav->pushViewController(second, false);
    EXPECT_EQ(w.log, (QStringList{"root willDisappear", "second didLoad", "second willAppear",
                                  "root didDisappear", "second didAppear"}));
    EXPECT_EQ(w.nav->topViewController(), second);
    EXPECT_EQ(second->navigationController(), w.nav);
    EXPECT_TRUE(second->view()->isVisible());
    EXPECT_FALSE(w.root->view()->isVisible());

    w.log.clear();
    QPointer<ViewController> popped = w.nav->popViewControllerAnimated(true);
    EXPECT_EQ(popped, second);
    EXPECT_EQ(w.log, (QStringList{"second willDisappear", "root willAppear", "second didDisappear",
                                  "root didAppear"}));
    EXPECT_EQ(w.nav->viewControllers(), QList<ViewController*>{w.root});
    // The screen taken off the stack goes away once the event loop runs.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(popped.isNull());
}

TEST(NavigationControllerTest, PoppingTheRootDoesNothing) {
    WindowWithStack w;
    EXPECT_EQ(w.nav->popViewControllerAnimated(false), nullptr);
    EXPECT_EQ(w.nav->viewControllers(), QList<ViewController*>{w.root});
    EXPECT_TRUE(w.log.isEmpty());
}

TEST(NavigationControllerTest, SetViewControllersReplacesTheStack) {
    WindowWithStack w;
    auto* a = new RecordingController("a", &w.log);
    auto* b = new RecordingController("b", &w.log);
    QPointer<ViewController> oldRoot = w.root;
    w.nav->setViewControllers({a, b}, false);
    EXPECT_EQ(w.nav->viewControllers(), (QList<ViewController*>{a, b}));
    EXPECT_TRUE(w.log.contains("root willDisappear"));
    EXPECT_TRUE(w.log.contains("b didAppear"));
    EXPECT_FALSE(w.log.contains("a willAppear"));
    EXPECT_EQ(w.nav->navigationBar()->title(), "b");
    EXPECT_EQ(w.nav->navigationBar()->backButton()->text(), "a");
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(oldRoot.isNull());

    // Setting the same top again is not a transition.
    w.log.clear();
    w.nav->setViewControllers({b}, false);
    EXPECT_TRUE(w.log.isEmpty());
    EXPECT_TRUE(w.nav->navigationBar()->backButton()->isHidden());
}

TEST(NavigationControllerTest, StackBuiltBeforeTheViewAppearsQuietly) {
    QStringList log;
    auto* root = new RecordingController("root", &log);
    NavigationController nav(root);
    nav.pushViewController(new RecordingController("child", &log), false);
    EXPECT_TRUE(log.isEmpty()) << log.join(", ").toStdString();
    Window window;
    window.setRootViewController(&nav);
    EXPECT_EQ(log, (QStringList{"child didLoad", "child willAppear", "child didAppear"}));
    window.setRootViewController(nullptr);
    nav.setParent(nullptr);
}

TEST(NavigationControllerTest, BarShowsTopTitleBackButtonAndRightItem) {
    WindowWithStack w;
    auto* second = new RecordingController("Info", &w.log);
    auto* right = new QPushButton("Edit");
    right->resize(60, 30);
    second->navigationItem()->setRightBarButtonItem(right);
    w.nav->pushViewController(second, false);
    BasicNavigationBar* bar = w.nav->navigationBar();
    EXPECT_EQ(bar->title(), "Info");
    EXPECT_FALSE(bar->backButton()->isHidden());
    EXPECT_EQ(bar->backButton()->text(), "root");
    EXPECT_EQ(right->parentWidget(), bar);
    EXPECT_TRUE(right->isVisible());
    EXPECT_EQ(right->geometry().right(), bar->width() - 6);

    // The back button pops; the right item leaves the bar with its screen.
    QTest::mouseClick(bar->backButton(), Qt::LeftButton);
    EXPECT_EQ(w.nav->topViewController(), w.root);
    EXPECT_EQ(bar->title(), "root");
    EXPECT_TRUE(bar->backButton()->isHidden());
    EXPECT_FALSE(right->isVisible());

    // A title change on the top screen reaches the bar at once.
    w.root->setTitle("Projects");
    EXPECT_EQ(bar->title(), "Projects");
}

TEST(NavigationControllerTest, TopViewFillsTheAreaBelowTheBar) {
    WindowWithStack w;
    EXPECT_EQ(w.root->view()->geometry(), QRect(0, 44, 768, 980));
    w.window.resize(1024, 768);
    EXPECT_EQ(w.root->view()->geometry(), QRect(0, 44, 1024, 724));
    w.nav->setNavigationBarHidden(true);
    EXPECT_EQ(w.root->view()->geometry(), QRect(0, 0, 1024, 768));
}

TEST(NavigationControllerTest, PopoverSizeAddsTheBar) {
    auto* menu = new ViewController;
    menu->setContentSizeForViewInPopover({320, 176});
    NavigationController nav(menu);
    EXPECT_EQ(nav.contentSizeForViewInPopover(), QSizeF(320, 220));
}

TEST(WindowTest, OrientationChangeIsAnnouncedWhenTheAspectFlips) {
    Window window;
    window.makeKeyAndVisible();
    EXPECT_EQ(window.orientation(), InterfaceOrientation::Portrait);
    QSignalSpy spy(DeviceOrientation::instance(), &DeviceOrientation::orientationDidChange);
    window.resize(700, 1000); // still portrait
    EXPECT_EQ(spy.count(), 0);
    window.resize(1024, 768);
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).value<InterfaceOrientation>(), InterfaceOrientation::Landscape);
    EXPECT_TRUE(DeviceOrientation::instance()->isLandscape());
    window.resize(768, 1024);
    EXPECT_EQ(spy.count(), 2);
    EXPECT_FALSE(DeviceOrientation::instance()->isLandscape());
}

TEST(AutoresizingTest, FlexiblePartsShareTheParentsChange) {
    struct Case {
        AutoresizingMask mask;
        QRect start;
        QRect expected;
    };
    // Parent grows from 768 × 1024 to 1024 × 768.
    const Case cases[] = {
        {Autoresizing::FlexibleWidth, {0, 0, 768, 44}, {0, 0, 1024, 44}},
        {Autoresizing::FlexibleWidth | Autoresizing::FlexibleHeight,
         {15, 52, 738, 958},
         {15, 52, 994, 702}},
        {Autoresizing::FlexibleLeftMargin, {668, 0, 100, 44}, {924, 0, 100, 44}},
        {Autoresizing::FlexibleLeftMargin | Autoresizing::FlexibleRightMargin,
         {334, 500, 100, 24},
         {462, 500, 100, 24}},
        {Autoresizing::FlexibleHeight | Autoresizing::FlexibleBottomMargin,
         {0, 37, 281, 967},
         {0, 37, 281, 716}}, // the 20-point bottom margin takes its share
        {Autoresizing::None, {10, 10, 100, 100}, {10, 10, 100, 100}},
    };
    QWidget parent;
    parent.resize(768, 1024);
    QList<QWidget*> children;
    for (const Case& c : cases) {
        auto* child = new QWidget(&parent);
        child->setGeometry(c.start);
        setAutoresizingMask(child, c.mask);
        children.append(child);
    }
    parent.show();
    parent.resize(1024, 768);
    for (int i = 0; i < std::ssize(cases); ++i)
        EXPECT_EQ(children[i]->geometry(), cases[i].expected) << "case " << i;
}

TEST(NavigationBarTest, FabricBarLooksRight) {
    NavigationBar::installAsDefault();
    auto* root = new ViewController;
    root->setTitle("Projects");
    auto* detail = new ViewController;
    detail->setTitle("My Website");
    auto* right = new QPushButton("+");
    right->resize(44, 44);
    detail->navigationItem()->setRightBarButtonItem(right);
    NavigationController nav(root);
    nav.pushViewController(detail, false);
    auto* bar = qobject_cast<NavigationBar*>(nav.navigationBar());
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->tintColor(), QColor::fromRgbF(0.5, 0.6, 0.7));
    nav.view()->resize(768, 200);
    const QImage shot = nav.view()->grab().toImage();
    EXPECT_TRUE(bar->hasBackgroundImage());
    shot.save(QDir(quorvel::test::outputDirectory()).filePath("navigation-bar.png"));
    // Dropped on a memory warning and drawn again from the file afterwards.
    bar->didReceiveMemoryWarning();
    EXPECT_FALSE(bar->hasBackgroundImage());
    EXPECT_EQ(bar->grab().toImage(), shot.copy(0, 0, 768, 44));
    EXPECT_TRUE(bar->hasBackgroundImage());
    NavigationController::setNavigationBarFactory(nullptr);
}

} // namespace
