#include "kit/KTTabBarController.h"

#include "core/Range.h"
#include "platform/Autoresizing.h"

#include <QDir>
#include <QPainter>

namespace {

// The paper behind the documents, stretched from the centre of "bg_folder.48x48.png".
class FolderBackground : public QWidget {
public:
    explicit FolderBackground(QWidget* parent) : QWidget(parent) {
        m_image = QImage(QDir(QStringLiteral(QUORVEL_RESOURCES_DIR))
                             .filePath(QStringLiteral("images/bg_folder.48x48.png")));
    }

protected:
    void paintEvent(QPaintEvent*) override {
        if (m_image.isNull())
            return;
        QPainter painter(this);
        const int cx = m_image.width() / 2, cy = m_image.height() / 2;
        const int W = width(), H = height();
        const int iw = m_image.width(), ih = m_image.height();
        // Nine parts around the centre pixel: corners as they are, edges and middle stretched.
        const int xs[] = {0, cx, W - (iw - cx - 1), W};
        const int sx[] = {0, cx, cx + 1, iw};
        const int ys[] = {0, cy, H - (ih - cy - 1), H};
        const int sy[] = {0, cy, cy + 1, ih};
        for (int r = 0; r < 3; ++r) {
            for (int c = 0; c < 3; ++c) {
                const QRect target(xs[c], ys[r], xs[c + 1] - xs[c], ys[r + 1] - ys[r]);
                const QRect source(sx[c], sy[r], sx[c + 1] - sx[c], sy[r + 1] - sy[r]);
                if (!target.isEmpty() && !source.isEmpty())
                    painter.drawImage(target, m_image, source);
            }
        }
    }

private:
    QImage m_image;
};

} // namespace

KTTabBarController::KTTabBarController(QObject* parent)
    : ViewController(parent), m_tabBar(new KTTabBar(QRect(0, 0, 768, 44))),
      m_container(new QWidget) {
    m_tabBar->setDelegate(this);
    m_container->setGeometry(15, 52, 738, 958);
}

KTTabBarController::~KTTabBarController() {
    if (m_tabBar)
        m_tabBar->setDelegate(nullptr);
    // Views of the documents belong to their controllers.
    clearContainer();
    if (!isViewLoaded()) {
        delete m_tabBar.data();
        delete m_container.data();
    }
}

QWidget* KTTabBarController::loadView() {
    auto* view = new QWidget;
    view->resize(768, 1024);
    auto* background = new FolderBackground(view);
    background->setGeometry(0, 36, 768, 988);
    setAutoresizingMask(background, Autoresizing::FlexibleWidth | Autoresizing::FlexibleHeight);
    m_container->setParent(view);
    m_container->setGeometry(15, 52, 738, 958);
    setAutoresizingMask(m_container, Autoresizing::FlexibleWidth | Autoresizing::FlexibleHeight);
    m_tabBar->setParent(view);
    m_tabBar->setGeometry(0, 0, 768, 44);
    setAutoresizingMask(m_tabBar, Autoresizing::FlexibleWidth);
    m_container->show();
    m_tabBar->show();
    m_tabBar->raise();
    return view;
}

QList<ViewController*> KTTabBarController::viewControllers() const {
    QList<ViewController*> list;
    for (const auto& controller : m_controllers) {
        if (controller)
            list.append(controller);
    }
    return list;
}

void KTTabBarController::clearContainer() {
    if (!m_container)
        return;
    const auto children = m_container->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    for (QWidget* child : children) {
        child->hide();
        child->setParent(nullptr);
    }
}

void KTTabBarController::setViewControllers(const QList<ViewController*>& controllers,
                                            bool animated) {
    const QList<ViewController*> old = viewControllers();
    m_controllers.clear();
    QList<TabBarItem*> items;
    for (ViewController* controller : controllers) {
        if (!controller || m_controllers.contains(controller))
            continue;
        controller->setParent(this);
        controller->setParentViewController(this);
        m_controllers.append(controller);
        items.append(controller->tabBarItem());
    }
    m_selected = nullptr;
    clearContainer();
    for (ViewController* controller : old) {
        if (!m_controllers.contains(controller)) {
            controller->setParentViewController(nullptr);
            controller->deleteLater();
        }
    }
    // The strip selects its last tab, which shows the last document.
    m_tabBar->setItems(items, animated);
}

ViewController* KTTabBarController::showViewControllerAtIndex(qsizetype index) {
    const QList<ViewController*> list = viewControllers();
    ViewController* target = index >= 0 && index < list.size() ? list.at(index) : nullptr;
    if (target != m_selected) {
        QPointer<ViewController> previous = m_selected;
        if (previous)
            previous->viewWillDisappear(true);
        clearContainer();
        if (previous)
            previous->viewDidDisappear(true);
    }
    if (target) {
        QWidget* view = target->view();
        view->setGeometry(m_container->rect());
        target->viewWillAppear(true);
        view->setParent(m_container);
        view->show();
        target->viewDidAppear(true);
    }
    m_selected = target;
    m_tabBar->raise();
    if (m_delegate)
        m_delegate->tabBarControllerDidSelectViewController(this, target);
    return target;
}

void KTTabBarController::setSelectedIndex(uint32_t index, bool shouldShowSelectedTabMenu) {
    ViewController* target = showViewControllerAtIndex(qsizetype(index));
    if (target)
        m_tabBar->setSelectedItem(target->tabBarItem(), shouldShowSelectedTabMenu);
}

uint32_t KTTabBarController::selectedIndex() const {
    TabBarItem* selected = m_tabBar->selectedItem();
    const qsizetype index = selected ? m_tabBar->items().indexOf(selected) : -1;
    return index < 0 ? NSNotFound : uint32_t(index);
}

ViewController* KTTabBarController::controllerForItem(TabBarItem* item) const {
    for (ViewController* controller : viewControllers()) {
        if (controller->tabBarItem() == item)
            return controller;
    }
    return nullptr;
}

void KTTabBarController::tabBarDidSelectItem(KTTabBar*, TabBarItem* item) {
    ViewController* controller = controllerForItem(item);
    if (controller)
        showViewControllerAtIndex(viewControllers().indexOf(controller));
}

void KTTabBarController::tabBarWillCloseItem(KTTabBar*, TabBarItem* item) {
    if (m_delegate)
        m_delegate->tabBarControllerWillCloseViewController(this, controllerForItem(item));
}

void KTTabBarController::tabBarDidCloseItem(KTTabBar*, TabBarItem* item) {
    ViewController* closed = controllerForItem(item);
    QList<ViewController*> remaining = viewControllers();
    remaining.removeAll(closed);
    setViewControllers(remaining, true);
    if (m_delegate)
        m_delegate->tabBarControllerDidCloseViewController(this, closed);
}
