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

    // Edit becomes Done from inside Edit's own click; Edit goes away afterwards.
    auto* edit = new QPushButton("Edit");
    edit->resize(60, 30);
    QPointer<QPushButton> editGuard(edit);
    auto* done = new QPushButton("Done");
    done->resize(60, 30);
    QObject::connect(edit, &QPushButton::clicked,
                     [&] { w.root->navigationItem()->setRightBarButtonItem(done); });
    w.root->navigationItem()->setRightBarButtonItem(edit);
    QTest::mouseClick(edit, Qt::LeftButton);
    EXPECT_EQ(done->parentWidget(), bar);
    EXPECT_FALSE(done->isHidden());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(editGuard.isNull());
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
    QCoreApplication::processEvents();
    EXPECT_EQ(spy.count(), 0);
    window.resize(1024, 768);
    EXPECT_EQ(spy.count(), 0); // posted, not sent from inside the resize
    QCoreApplication::processEvents();
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).value<InterfaceOrientation>(), InterfaceOrientation::Landscape);
    EXPECT_TRUE(DeviceOrientation::instance()->isLandscape());
    window.resize(768, 1024);
    QCoreApplication::processEvents();
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
    QWidget window;
    window.resize(1100, 1100);
    window.show();
    QWidget parent(&window);
    parent.resize(768, 1024);
    QList<QWidget*> children;
    for (const Case& c : cases) {
        auto* child = new QWidget(&parent);
        child->setGeometry(c.start);
        setAutoresizingMask(child, c.mask);
        children.append(child);
    }
    // Once while on screen, once while off screen (the change reaches the children when shown).
    for (bool onScreen : {true, false}) {
        SCOPED_TRACE(onScreen ? "on screen" : "off screen");
        parent.resize(768, 1024);
        for (int i = 0; i < std::ssize(cases); ++i)
            children[i]->setGeometry(cases[i].start);
        parent.setVisible(onScreen);
        parent.resize(1024, 768);
        parent.show();
        for (int i = 0; i < std::ssize(cases); ++i)
            EXPECT_EQ(children[i]->geometry(), cases[i].expected) << "case " << i;
    }
}

TEST(AutoresizingTest, FrameSetOffScreenAfterTheParentsResizeIsKept) {
    // A screen built before it is shown: the view is sized to its pane, then a child is placed
    // for the pane's size.
    QWidget pane;
    pane.resize(493, 1004);
    QWidget view;
    view.resize(768, 1024);
    auto* strip = new QWidget(&view);
    strip->setGeometry(0, 0, 768, 44);
    setAutoresizingMask(strip, Autoresizing::FlexibleWidth);
    auto* content = new QWidget(&view);
    content->setGeometry(15, 52, 738, 958);
    setAutoresizingMask(content, Autoresizing::FlexibleWidth | Autoresizing::FlexibleHeight);
    view.setParent(&pane);
    view.setGeometry(pane.rect());
    strip->setGeometry(15, 0, 463, 44);
    pane.show();
    EXPECT_EQ(strip->geometry(), QRect(15, 0, 463, 44));
    EXPECT_EQ(content->geometry(), QRect(15, 52, 463, 938));
    // From then on both follow the pane.
    pane.resize(768, 1004);
    view.setGeometry(pane.rect());
    EXPECT_EQ(strip->geometry(), QRect(15, 0, 738, 44));
    EXPECT_EQ(content->geometry(), QRect(15, 52, 738, 938));
}

TEST(NavigationBarTest, FabricBarLooksRight) {
    NavigationBar::installAsDefault();
    auto* root = new ViewController;
    root->setTitle("Projects");
    auto* detail = new ViewController;
    detail->setTitle("My Website");
    auto* longTitle = new ViewController;
    longTitle->setTitle("A project title far too long for the middle of a navigation bar "
                        "that also holds a back button and a right item");
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
    // A title longer than the room between the items is shortened, not drawn under them.
    nav.pushViewController(longTitle, false);
    EXPECT_EQ(bar->title(), longTitle->title());
    EXPECT_TRUE(bar->titleLabel()->text().endsWith(QChar(0x2026)));
    EXPECT_GE(bar->titleLabel()->geometry().left(), bar->backButton()->geometry().right());
    nav.view()
        ->grab()
        .copy(0, 0, 768, 44)
        .save(QDir(quorvel::test::outputDirectory()).filePath("navigation-bar-long-title.png"));
    NavigationController::setNavigationBarFactory(nullptr);
}

} // namespace

// ---- modal presentation, popovers, alerts, action sheets ----

#include "platform/ActionSheet.h"
#include "platform/AlertView.h"
#include "platform/Animations.h"
#include "platform/PopoverController.h"

namespace {

ViewController* sizedContent(QSizeF size, QStringList* log = nullptr, const QString& name = "c") {
    ViewController* c = log ? new RecordingController(name, log) : new ViewController;
    c->setContentSizeForViewInPopover(size);
    return c;
}

TEST(ModalPresentationTest, FormSheetIsACentredPanelOverTheDimmedWindow) {
    WindowWithStack w;
    auto* sheet = new RecordingController("sheet", &w.log);
    sheet->setModalPresentationStyle(ModalPresentationStyle::FormSheet);
    sheet->setModalTransitionStyle(ModalTransitionStyle::CrossDissolve);
    setAnimationsEnabled(false);
    w.root->presentModalViewController(sheet, true);
    EXPECT_EQ(w.log, (QStringList{"sheet didLoad", "sheet willAppear", "sheet didAppear"}));
    EXPECT_EQ(w.root->modalViewController(), sheet);
    EXPECT_EQ(sheet->presentingViewController(), w.root);
    EXPECT_EQ(sheet->view()->window(), &w.window);
    EXPECT_EQ(sheet->view()->mapTo(&w.window, QPoint(0, 0)), QPoint(114, 202));
    EXPECT_EQ(sheet->view()->size(), QSize(540, 620));
    sheet->view()->setStyleSheet("background: white;");
    w.window.grab().save(QDir(quorvel::test::outputDirectory()).filePath("form-sheet.png"));
    setAnimationsEnabled(true);
    // The sheet stays centred when the window turns.
    w.window.resize(1024, 768);
    EXPECT_EQ(sheet->view()->mapTo(&w.window, QPoint(0, 0)), QPoint(242, 74));

    w.log.clear();
    QPointer<ViewController> gone = sheet;
    sheet->dismissModalViewControllerAnimated(true); // the presented screen closes itself
    EXPECT_EQ(w.log, (QStringList{"sheet willDisappear", "sheet didDisappear"}));
    EXPECT_EQ(w.root->modalViewController(), nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(gone.isNull());
}

TEST(ModalPresentationTest, FullScreenHidesThePresenterMeanwhile) {
    WindowWithStack w;
    auto* screen = new RecordingController("full", &w.log);
    w.root->presentModalViewController(screen, false);
    EXPECT_EQ(w.log, (QStringList{"root willDisappear", "full didLoad", "full willAppear",
                                  "full didAppear", "root didDisappear"}));
    EXPECT_EQ(screen->view()->size(), w.window.size());
    w.log.clear();
    w.root->dismissModalViewControllerAnimated(false);
    EXPECT_EQ(w.log, (QStringList{"root willAppear", "full willDisappear", "full didDisappear",
                                  "root didAppear"}));
}

struct PopoverRecorder : PopoverControllerDelegate {
    bool allow = true;
    QStringList calls;
    bool popoverControllerShouldDismissPopover(PopoverController*) override {
        calls << "should";
        return allow;
    }
    void popoverControllerDidDismissPopover(PopoverController*) override { calls << "did"; }
};

TEST(PopoverTest, ArrowPointsAtTheAnchorFromTheSideWithRoom) {
    struct Case {
        const char* name;
        QRect anchor; // in the window
        uint32_t directions;
        PopoverArrowDirection arrow;
        QPoint tip;
    };
    const Case cases[] = {
        {"toolbar button: below it",
         {600, 0, 32, 44},
         PopoverArrowDirectionAny,
         PopoverArrowDirectionUp,
         {616, 44}},
        {"button at the bottom: above it",
         {100, 980, 40, 44},
         PopoverArrowDirectionAny,
         PopoverArrowDirectionDown,
         {120, 980}},
        {"only sideways allowed: to its right",
         {20, 400, 40, 40},
         PopoverArrowDirectionLeft | PopoverArrowDirectionRight,
         PopoverArrowDirectionLeft,
         {60, 420}},
        {"right edge: to its left",
         {740, 400, 28, 40},
         PopoverArrowDirectionLeft | PopoverArrowDirectionRight,
         PopoverArrowDirectionRight,
         {740, 420}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Window window;
        window.show();
        auto* anchor = new QWidget(&window);
        anchor->setGeometry(c.anchor);
        PopoverController popover(sizedContent({320, 220}));
        popover.presentPopoverFromRect(anchor->rect(), anchor, c.directions, false);
        EXPECT_TRUE(popover.isPopoverVisible());
        EXPECT_EQ(popover.popoverArrowDirection(), c.arrow);
        EXPECT_EQ(popover.arrowTip(), c.tip);
        const QRect frame = popover.popoverFrame();
        EXPECT_TRUE(window.rect().contains(frame)) << frame.x() << "," << frame.y();
        // The content gets exactly its size inside the border.
        EXPECT_EQ(popover.contentViewController()->view()->size(), QSize(320, 220));
    }
}

TEST(PopoverTest, TouchOutsideAsksTheDelegateAndProgrammaticDismissDoesNot) {
    Window window;
    window.show();
    auto* anchor = new QWidget(&window);
    anchor->setGeometry(600, 0, 44, 44);
    QStringList log;
    PopoverController popover(sizedContent({320, 100}, &log, "menu"));
    PopoverRecorder recorder;
    popover.setDelegate(&recorder);
    QSignalSpy dismissed(&popover, &PopoverController::didDismiss);
    popover.presentPopoverFromBarButtonItem(anchor, PopoverArrowDirectionAny, false);
    EXPECT_EQ(log, (QStringList{"menu didLoad", "menu willAppear", "menu didAppear"}));

    recorder.allow = false;
    QTest::mouseClick(popover.overlay(), Qt::LeftButton, {}, QPoint(50, 900));
    EXPECT_TRUE(popover.isPopoverVisible());
    EXPECT_EQ(recorder.calls, QStringList{"should"});

    recorder.allow = true;
    QTest::mouseClick(popover.overlay(), Qt::LeftButton, {}, QPoint(50, 900));
    EXPECT_FALSE(popover.isPopoverVisible());
    EXPECT_EQ(recorder.calls, (QStringList{"should", "should", "did"}));
    EXPECT_EQ(dismissed.count(), 1);
    EXPECT_TRUE(log.endsWith("menu didDisappear"));

    recorder.calls.clear();
    popover.presentPopoverFromBarButtonItem(anchor, PopoverArrowDirectionAny, false);
    popover.dismissPopoverAnimated(false);
    EXPECT_TRUE(recorder.calls.isEmpty());
    EXPECT_EQ(dismissed.count(), 2);
    EXPECT_EQ(popover.popoverArrowDirection(), PopoverArrowDirectionUnknown);
}

struct AlertRecorder : AlertViewDelegate {
    QStringList calls;
    void alertViewClickedButtonAtIndex(AlertView* alert, int index) override {
        calls << QString("clicked %1 %2 tag %3").arg(alert->title()).arg(index).arg(alert->tag());
    }
    void alertViewWillDismissWithButtonIndex(AlertView*, int index) override {
        calls << QString("will %1").arg(index);
    }
    void alertViewDidDismissWithButtonIndex(AlertView*, int index) override {
        calls << QString("did %1").arg(index);
    }
};

TEST(AlertTest, DelegateHearsTheTouchedButtonsIndex) {
    setAnimationsEnabled(false);
    NavigationBar::installAsDefault();
    WindowWithStack w;
    NavigationController::setNavigationBarFactory(nullptr);
    Window& window = w.window;
    window.makeKeyAndVisible();
    w.root->setTitle("Projects");
    AlertRecorder recorder;
    auto* alert = new AlertView("Remove Project", "Are you sure you want to remove 'Site'?",
                                &recorder, "Nevermind", {"Remove"});
    alert->setTag(7);
    EXPECT_EQ(alert->cancelButtonIndex(), 0);
    EXPECT_EQ(alert->firstOtherButtonIndex(), 1);
    EXPECT_EQ(alert->buttonTitleAtIndex(1), "Remove");
    alert->show();
    ASSERT_EQ(AlertView::visibleAlerts(), QList<AlertView*>{alert});
    EXPECT_EQ(alert->panel()->window(), &window);
    window.grab().save(QDir(quorvel::test::outputDirectory()).filePath("alert.png"));

    QPointer<AlertView> guard(alert);
    QTest::mouseClick(alert->buttonAtIndex(1), Qt::LeftButton);
    EXPECT_EQ(recorder.calls, (QStringList{"clicked Remove Project 1 tag 7", "will 1", "did 1"}));
    EXPECT_TRUE(AlertView::visibleAlerts().isEmpty());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(guard.isNull());
}

TEST(AlertTest, FixedNoticeCanBeFoundAndClosedWithoutBlocking) {
    Window window;
    window.makeKeyAndVisible();
    AlertView::showAlert("Error", "The folder could not be read.", "Dismiss");
    ASSERT_EQ(AlertView::visibleAlerts().size(), 1);
    AlertView* alert = AlertView::visibleAlerts().first();
    EXPECT_EQ(alert->title(), "Error");
    EXPECT_EQ(alert->message(), "The folder could not be read.");
    EXPECT_EQ(alert->numberOfButtons(), 1);
    EXPECT_EQ(alert->buttonTitleAtIndex(0), "Dismiss");
    // Touches outside the panel do not close it.
    QTest::mouseClick(alert->panel()->parentWidget(), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(alert->isVisible());
    alert->clickButtonAtIndex(0);
    EXPECT_TRUE(AlertView::visibleAlerts().isEmpty());
}

struct SheetRecorder : ActionSheetDelegate {
    QStringList calls;
    void actionSheetClickedButtonAtIndex(ActionSheet*, int index) override {
        calls << QString("clicked %1").arg(index);
    }
    void actionSheetDidDismissWithButtonIndex(ActionSheet*, int index) override {
        calls << QString("did %1").arg(index);
    }
};

TEST(ActionSheetTest, ChoiceOrTouchOutsideReachTheDelegate) {
    Window window;
    window.show();
    auto* anchor = new QWidget(&window);
    anchor->setGeometry(300, 0, 175, 44);
    SheetRecorder recorder;
    ActionSheet sheet(QString(), &recorder, QString(), QString(), {"Close"});
    EXPECT_EQ(sheet.cancelButtonIndex(), -1);
    sheet.showFromRect(anchor->rect(), anchor, false);
    ASSERT_TRUE(sheet.isVisible());
    auto* button = sheet.popover()->contentViewController()->view()->findChild<QPushButton*>();
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->text(), "Close");
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(recorder.calls, (QStringList{"clicked 0", "did 0"}));
    EXPECT_FALSE(sheet.isVisible());

    recorder.calls.clear();
    sheet.showFromRect(anchor->rect(), anchor, false);
    QTest::mouseClick(sheet.popover()->overlay(), Qt::LeftButton, {}, QPoint(10, 1000));
    EXPECT_EQ(recorder.calls, (QStringList{"clicked -1", "did -1"}));
    EXPECT_FALSE(sheet.isVisible());
}

} // namespace

// ---- toolbar, nested dismissal, content size, alerts from workers ----

#include <QThread>

namespace {

QWidget* item(const QString& name, int width) {
    auto* button = new QPushButton(name);
    button->setObjectName(name);
    button->resize(width, 44);
    return button;
}

TEST(NavigationToolbarTest, TopScreensItemsWithFlexibleSpace) {
    WindowWithStack w;
    QWidget* refresh = item("refresh", 44);
    QWidget* gear = item("gear", 44);
    QWidget* add = item("add", 44);
    w.root->setToolbarItems({refresh, nullptr, gear, add});
    w.nav->setToolbarHidden(false);
    Toolbar* toolbar = w.nav->toolbar();
    EXPECT_TRUE(toolbar->isVisible());
    EXPECT_EQ(toolbar->geometry(), QRect(0, 980, 768, 44));
    EXPECT_EQ(refresh->geometry().x(), Toolbar::Margin);
    EXPECT_EQ(add->geometry().right(), 768 - Toolbar::Margin - 1);
    EXPECT_EQ(gear->geometry().right() + 1 + Toolbar::Spacing, add->geometry().x());
    EXPECT_EQ(w.root->view()->geometry(), QRect(0, 44, 768, 936));

    // A pushed screen without items empties the bar; popping brings the items back.
    w.nav->pushViewController(new ViewController, false);
    EXPECT_TRUE(toolbar->items().isEmpty());
    EXPECT_FALSE(refresh->isVisible());
    w.nav->popViewControllerAnimated(false);
    EXPECT_EQ(toolbar->items(), (QList<QWidget*>{refresh, nullptr, gear, add}));
    EXPECT_TRUE(refresh->isVisible());
}

TEST(ModalPresentationTest, ScreenInsidePresentedStackClosesTheStack) {
    WindowWithStack w;
    auto* first = new RecordingController("step1", &w.log);
    auto* wizard = new NavigationController(first);
    wizard->setModalPresentationStyle(ModalPresentationStyle::FormSheet);
    w.root->presentModalViewController(wizard, false);
    auto* second = new RecordingController("step2", &w.log);
    wizard->pushViewController(second, false);
    ASSERT_EQ(w.root->modalViewController(), wizard);
    w.log.clear();
    second->dismissModalViewControllerAnimated(false); // "Cancel" on the second screen
    EXPECT_EQ(w.root->modalViewController(), nullptr);
    EXPECT_EQ(w.log, (QStringList{"step2 willDisappear", "step2 didDisappear"}));
}

TEST(PopoverTest, FollowsTheSizeOfAScreenPushedInside) {
    Window window;
    window.show();
    auto* anchor = new QWidget(&window);
    anchor->setGeometry(600, 0, 44, 44);
    auto* nav = new NavigationController(sizedContent({320, 176}));
    PopoverController popover(nav);
    popover.presentPopoverFromRect(anchor->rect(), anchor, PopoverArrowDirectionAny, false);
    const int border = 2 * PopoverController::BorderWidth;
    EXPECT_EQ(popover.popoverFrame().height(), 176 + 44 + border + PopoverController::ArrowLength);
    nav->pushViewController(sizedContent({320, 480}), false);
    EXPECT_EQ(popover.popoverFrame().height(), 480 + 44 + border + PopoverController::ArrowLength);
    EXPECT_EQ(nav->topViewController()->view()->size(), QSize(320, 480));
}

TEST(AlertTest, NoticeFromAWorkerThreadShowsOnTheMainThread) {
    Window window;
    window.makeKeyAndVisible();
    AlertView* direct = reinterpret_cast<AlertView*>(1);
    QThread* worker = QThread::create(
        [&direct] { direct = AlertView::showAlert("Error", "The listing failed.", "Dismiss"); });
    worker->start();
    worker->wait();
    delete worker;
    EXPECT_EQ(direct, nullptr);
    EXPECT_TRUE(AlertView::visibleAlerts().isEmpty());
    QCoreApplication::processEvents();
    ASSERT_EQ(AlertView::visibleAlerts().size(), 1);
    AlertView* alert = AlertView::visibleAlerts().first();
    EXPECT_EQ(alert->thread(), QCoreApplication::instance()->thread());
    EXPECT_EQ(alert->message(), "The listing failed.");
    alert->clickButtonAtIndex(0);
}

} // namespace

namespace {

TEST(AlertTest, WindowClosedUnderAnAlertTakesItAway) {
    auto window = std::make_unique<Window>();
    window->makeKeyAndVisible();
    QPointer<AlertView> alert = AlertView::showAlert("Error", "Gone with the window.", "Dismiss");
    ASSERT_EQ(AlertView::visibleAlerts().size(), 1);
    window.reset();
    EXPECT_TRUE(AlertView::visibleAlerts().isEmpty());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(alert.isNull());
}

TEST(PopoverTest, WindowClosedUnderAPopoverLeavesItHidden) {
    auto window = std::make_unique<Window>();
    window->show();
    auto* anchor = new QWidget(window.get());
    anchor->setGeometry(10, 10, 40, 40);
    PopoverController popover(sizedContent({200, 100}));
    popover.presentPopoverFromRect(anchor->rect(), anchor, PopoverArrowDirectionAny, false);
    window.reset();
    EXPECT_FALSE(popover.isPopoverVisible());
    // It can be shown again elsewhere.
    Window other;
    other.show();
    popover.presentPopoverFromRect(QRectF(0, 0, 40, 40), &other, PopoverArrowDirectionAny, false);
    EXPECT_TRUE(popover.isPopoverVisible());
    EXPECT_EQ(popover.contentViewController()->view()->window(), &other);
}

} // namespace
