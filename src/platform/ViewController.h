#pragma once

#include <QIcon>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSizeF>
#include <QString>
#include <QWidget>

class NavigationController;
class ViewController;

// What a screen shows in the navigation bar while it is on top of a navigation stack.
class NavigationItem : public QObject {
    Q_OBJECT
public:
    explicit NavigationItem(QObject* parent = nullptr) : QObject(parent) {}
    // The item owns its bar widgets.
    ~NavigationItem() override {
        delete m_right.data();
        delete m_left.data();
    }

    QString title() const { return m_title; }
    void setTitle(const QString& title);

    // Bar items are plain widgets; the bar takes them over while the screen is on top. The item
    // keeps them: a replaced widget is deleted.
    QWidget* rightBarButtonItem() const { return m_right; }
    void setRightBarButtonItem(QWidget* item);
    // Replaces the back button when set.
    QWidget* leftBarButtonItem() const { return m_left; }
    void setLeftBarButtonItem(QWidget* item);
    bool hidesBackButton() const { return m_hidesBackButton; }
    void setHidesBackButton(bool hides);

Q_SIGNALS:
    void changed();

private:
    QString m_title;
    QPointer<QWidget> m_right;
    QPointer<QWidget> m_left;
    bool m_hidesBackButton = false;
};

// One tab of a tab strip: a title, an image and an integer tag.
class TabBarItem : public QObject {
    Q_OBJECT
public:
    explicit TabBarItem(const QString& title = {}, const QIcon& image = {}, int tag = 0,
                        QObject* parent = nullptr)
        : QObject(parent), m_title(title), m_image(image), m_tag(tag) {}

    QString title() const { return m_title; }
    void setTitle(const QString& title) {
        m_title = title;
        Q_EMIT changed();
    }
    QIcon image() const { return m_image; }
    void setImage(const QIcon& image) {
        m_image = image;
        Q_EMIT changed();
    }
    int tag() const { return m_tag; }
    void setTag(int tag) { m_tag = tag; }

Q_SIGNALS:
    void changed();

private:
    QString m_title;
    QIcon m_image;
    int m_tag = 0;
};

enum class ModalPresentationStyle { FullScreen = 0, PageSheet = 1, FormSheet = 2 };
enum class ModalTransitionStyle { CoverVertical = 0, FlipHorizontal = 1, CrossDissolve = 2 };

// A screen: it builds its view only when first asked for it, and hears when it comes and goes.
// Containers (navigation, tabs, modal presentation, popovers) send the appear/disappear calls.
class ViewController : public QObject {
    Q_OBJECT
public:
    explicit ViewController(QObject* parent = nullptr);
    ~ViewController() override;

    // The view, built on first use by loadView() followed by viewDidLoad().
    QWidget* view();
    bool isViewLoaded() const { return m_view != nullptr; }
    // Replaces the view (the old one is deleted).
    void setView(QWidget* view);

    virtual void viewWillAppear(bool animated) { Q_UNUSED(animated); }
    virtual void viewDidAppear(bool animated) { Q_UNUSED(animated); }
    virtual void viewWillDisappear(bool animated) { Q_UNUSED(animated); }
    virtual void viewDidDisappear(bool animated) { Q_UNUSED(animated); }

    QString title() const { return m_title; }
    // Also names the navigation item and the standard tab item.
    void setTitle(const QString& title);

    NavigationItem* navigationItem() { return &m_navigationItem; }
    // The standard tab item, titled after the controller until replaced.
    TabBarItem* tabBarItem();
    void setTabBarItem(TabBarItem* item);

    // The navigation stack this controller is on (directly or through its parents), or none.
    NavigationController* navigationController() const;
    ViewController* parentViewController() const { return m_parent; }
    void setParentViewController(ViewController* parent) { m_parent = parent; }

    QSizeF contentSizeForViewInPopover() const;
    void setContentSizeForViewInPopover(const QSizeF& size);

    // Items of the navigation stack's toolbar while this screen is on top; a null entry is a
    // flexible space. The controller keeps the item widgets and deletes replaced ones.
    QList<QWidget*> toolbarItems() const;
    void setToolbarItems(const QList<QWidget*>& items);

    // Modal presentation over the window that holds this controller's view.
    ModalPresentationStyle modalPresentationStyle() const { return m_presentationStyle; }
    void setModalPresentationStyle(ModalPresentationStyle style) { m_presentationStyle = style; }
    ModalTransitionStyle modalTransitionStyle() const { return m_transitionStyle; }
    void setModalTransitionStyle(ModalTransitionStyle style) { m_transitionStyle = style; }
    // Takes ownership of the presented controller until it is dismissed.
    void presentModalViewController(ViewController* controller, bool animated);
    // Dismisses what this controller presented; when it presented nothing, the modal screen it
    // is (or that holds it, such as the navigation stack it is on) is dismissed.
    void dismissModalViewControllerAnimated(bool animated);
    ViewController* modalViewController() const { return m_presented; }
    ViewController* presentingViewController() const { return m_presenting; }

Q_SIGNALS:
    void titleChanged(const QString& title);
    void toolbarItemsChanged();
    // Sent when the size this controller wants in a popover may have changed.
    void contentSizeForViewInPopoverChanged();

protected:
    // Builds the view; the default is a plain widget of 768 × 1024 points.
    virtual QWidget* loadView();
    virtual void viewDidLoad() {}
    // Content size of the view in a popover when none was set; (320, 1100) as the platform does.
    virtual QSizeF defaultContentSizeForViewInPopover() const { return {320, 1100}; }

private:
    QPointer<QWidget> m_view;
    QString m_title;
    NavigationItem m_navigationItem;
    QPointer<TabBarItem> m_tabBarItem;
    bool m_standardTabBarItem = false;
    ViewController* m_parent = nullptr;
    QSizeF m_popoverSize;
    QList<QPointer<QWidget>> m_toolbarItems;
    QList<bool> m_toolbarFlexible;
    ModalPresentationStyle m_presentationStyle = ModalPresentationStyle::FullScreen;
    ModalTransitionStyle m_transitionStyle = ModalTransitionStyle::CoverVertical;
    QPointer<ViewController> m_presented;
    QPointer<ViewController> m_presenting;
    QPointer<QWidget> m_modalOverlay;
};
