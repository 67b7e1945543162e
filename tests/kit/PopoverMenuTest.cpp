#include "kit/KTMenuController.h"
#include "kit/KTPopoverController.h"
#include "platform/Animations.h"
#include "platform/NavigationController.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

struct Recorder : PopoverControllerDelegate {
    QStringList calls;
    void popoverControllerDidDismissPopover(PopoverController* popover) override {
        calls << "did " + popover->objectName();
    }
};

struct Screen {
    Window window;
    QWidget* documentButton;
    QWidget* settingsButton;
    Screen() {
        window.makeKeyAndVisible();
        documentButton = new QWidget(&window);
        documentButton->setGeometry(618, 6, 32, 32);
        settingsButton = new QWidget(&window);
        settingsButton->setGeometry(718, 6, 32, 32);
    }
    ~Screen() { KTPopoverController::dismissCurrentPopoverController(); }
};

KTPopoverController* popoverWithMenu(const QString& name, QObject* parent) {
    auto* menu = new ViewController;
    menu->setContentSizeForViewInPopover({320, 176});
    auto* popover = new KTPopoverController(new NavigationController(menu), parent);
    popover->setObjectName(name);
    return popover;
}

TEST(KTPopoverControllerTest, PresentingOneDismissesTheOneShown) {
    Screen screen;
    QObject owner;
    Recorder recorder;
    KTPopoverController* document = popoverWithMenu("document", &owner);
    KTPopoverController* settings = popoverWithMenu("settings", &owner);
    document->setDelegate(&recorder);
    settings->setDelegate(&recorder);

    document->presentPopoverFromView(screen.documentButton, PopoverArrowDirectionAny, true);
    EXPECT_EQ(KTPopoverController::currentPopoverController(), document);
    EXPECT_TRUE(document->isPopoverVisible());

    settings->presentPopoverFromView(screen.settingsButton, PopoverArrowDirectionAny, true);
    EXPECT_FALSE(document->isPopoverVisible());
    EXPECT_TRUE(settings->isPopoverVisible());
    EXPECT_EQ(KTPopoverController::currentPopoverController(), settings);
    // Replaced, not closed by the user: the delegate is not told.
    EXPECT_TRUE(recorder.calls.isEmpty());

    // Presenting the current one again only moves it.
    settings->presentPopoverFromRect(QRectF(0, 0, 10, 10), screen.documentButton,
                                     PopoverArrowDirectionAny, false);
    EXPECT_TRUE(settings->isPopoverVisible());
    EXPECT_EQ(settings->anchoredView(), nullptr);

    KTPopoverController::dismissCurrentPopoverController();
    EXPECT_FALSE(settings->isPopoverVisible());
    EXPECT_EQ(KTPopoverController::currentPopoverController(), nullptr);
}

TEST(KTPopoverControllerTest, CurrentPopoverForgottenWhenItsOwnerDeletesIt) {
    Screen screen;
    auto owner = std::make_unique<QObject>();
    KTPopoverController* popover = popoverWithMenu("p", owner.get());
    popover->presentPopoverFromBarButtonItem(screen.documentButton, PopoverArrowDirectionAny,
                                             false);
    owner.reset();
    EXPECT_EQ(KTPopoverController::currentPopoverController(), nullptr);
    KTPopoverController* next = popoverWithMenu("next", &screen.window);
    next->presentPopoverFromView(screen.settingsButton, PopoverArrowDirectionAny, false);
    EXPECT_TRUE(next->isPopoverVisible());
}

TEST(KTPopoverControllerTest, RotationReanchorsAtTheSameView) {
    setAnimationsEnabled(false);
    Screen screen;
    KTPopoverController* popover = popoverWithMenu("doc", &screen.window);
    popover->presentPopoverFromView(screen.documentButton, PopoverArrowDirectionAny, true);
    EXPECT_EQ(popover->arrowTip(), QPoint(634, 38));
    EXPECT_EQ(popover->popoverArrowDirection(), PopoverArrowDirectionUp);
    screen.window.grab()
        .copy(0, 0, 768, 320)
        .save(QDir(quorvel::test::outputDirectory()).filePath("popover.png"));

    // The toolbar button keeps to the right edge when the window turns.
    screen.window.resize(1024, 768);
    screen.documentButton->move(874, 6);
    QCoreApplication::processEvents();
    EXPECT_TRUE(popover->isPopoverVisible());
    EXPECT_EQ(popover->anchoredView(), screen.documentButton);
    EXPECT_EQ(popover->arrowTip(), QPoint(890, 38));
    EXPECT_TRUE(screen.window.rect().contains(popover->popoverFrame()));
    setAnimationsEnabled(true);
}

TEST(KTPopoverControllerTest, ControllerFindsThePopoverThatShowsIt) {
    Screen screen;
    auto* menu = new ViewController;
    auto* nav = new NavigationController(menu);
    KTPopoverController popover(nav);
    EXPECT_EQ(KTPopoverController::popoverControllerForViewController(menu), nullptr);
    popover.presentPopoverFromView(screen.documentButton, PopoverArrowDirectionAny, false);
    EXPECT_EQ(KTPopoverController::popoverControllerForViewController(menu), &popover);
    EXPECT_EQ(KTPopoverController::popoverControllerForViewController(nav), &popover);
    ViewController stranger;
    EXPECT_EQ(KTPopoverController::popoverControllerForViewController(&stranger), nullptr);
    popover.dismissPopoverAnimated(false);
    EXPECT_EQ(KTPopoverController::popoverControllerForViewController(menu), nullptr);
}

TEST(KTMenuControllerTest, ItemsAndSeparatorsStackDownwards) {
    KTMenuController menu;
    menu.addItemWithTitle(
        "Documents Folder", nullptr, [] {}, true);
    menu.addSeparator();
    menu.addItemWithTitle(
        "Photo Library", nullptr, [] {}, false);
    EXPECT_EQ(menu.y(), 89);
    EXPECT_EQ(menu.contentSizeForViewInPopover(), QSizeF(320, 89));
    const auto buttons = menu.view()->findChildren<QPushButton*>();
    ASSERT_EQ(buttons.size(), 2);
    EXPECT_EQ(buttons[0]->geometry(), QRect(0, 0, 320, 44));
    EXPECT_EQ(buttons[1]->geometry(), QRect(0, 45, 320, 44));
    EXPECT_TRUE(buttons[0]->isEnabled());
    EXPECT_FALSE(buttons[1]->isEnabled());
}

TEST(KTMenuControllerTest, TouchingAnItemRunsItThenClosesTheMenu) {
    setAnimationsEnabled(false);
    Screen screen;
    QStringList log;
    Recorder recorder;
    auto* menu = new KTMenuController;
    menu->setTitle("Import from...");
    QObject target;
    auto gone = std::make_unique<QObject>();
    menu->addItemWithTitle(
        "Documents Folder", &target, [&] { log << "documents"; }, true);
    menu->addSeparator();
    menu->addItemWithTitle(
        "Photo Library", gone.get(), [&] { log << "photos"; }, true);
    menu->addItemWithTitle(
        "Disabled", &target, [&] { log << "disabled"; }, false);
    KTPopoverController popover(new NavigationController(menu));
    popover.setObjectName("import");
    popover.setDelegate(&recorder);
    menu->setPopover(&popover);
    popover.presentPopoverFromView(screen.documentButton, PopoverArrowDirectionAny, true);
    screen.window.grab()
        .copy(380, 0, 388, 320)
        .save(QDir(quorvel::test::outputDirectory()).filePath("menu-popover.png"));

    const auto buttons = menu->view()->findChildren<QPushButton*>();
    ASSERT_EQ(buttons.size(), 3);
    QTest::mouseClick(buttons[2], Qt::LeftButton); // disabled: nothing
    EXPECT_TRUE(popover.isPopoverVisible());
    EXPECT_TRUE(log.isEmpty());

    QTest::mouseClick(buttons[0], Qt::LeftButton);
    EXPECT_EQ(log, QStringList{"documents"});
    EXPECT_FALSE(popover.isPopoverVisible());
    EXPECT_EQ(recorder.calls, QStringList{"did import"});

    // An item whose target has gone still closes the menu, without running.
    popover.presentPopoverFromView(screen.documentButton, PopoverArrowDirectionAny, false);
    gone.reset();
    QTest::mouseClick(buttons[1], Qt::LeftButton);
    EXPECT_EQ(log, QStringList{"documents"});
    EXPECT_FALSE(popover.isPopoverVisible());
    setAnimationsEnabled(true);
}

} // namespace

namespace {

// The presenter releases the popover as soon as it hears it was dismissed.
struct Releaser : PopoverControllerDelegate {
    std::unique_ptr<KTPopoverController> popover;
    void popoverControllerDidDismissPopover(PopoverController*) override { popover.reset(); }
};

TEST(KTMenuControllerTest, PresenterMayReleaseThePopoverFromTheDismissCallback) {
    Screen screen;
    Releaser releaser;
    bool ran = false;
    auto* menu = new KTMenuController;
    menu->addItemWithTitle(
        "Create Folder", nullptr, [&] { ran = true; }, true);
    releaser.popover = std::make_unique<KTPopoverController>(new NavigationController(menu));
    releaser.popover->setDelegate(&releaser);
    menu->setPopover(releaser.popover.get());
    QPointer<KTMenuController> menuGuard(menu);
    releaser.popover->presentPopoverFromView(screen.documentButton, PopoverArrowDirectionAny,
                                             false);
    QTest::mouseClick(menu->view()->findChild<QPushButton*>(), Qt::LeftButton);
    EXPECT_TRUE(ran);
    EXPECT_EQ(releaser.popover, nullptr);
    EXPECT_EQ(KTPopoverController::currentPopoverController(), nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(menuGuard.isNull());
}

} // namespace
