#include "kit/KTTabBar.h"

#include "platform/Resources.h"
#include "platform/Window.h"

#include <QAbstractButton>
#include <QImage>
#include <QPainter>
#include <QScrollBar>
#include <QScroller>
#include <QTimer>

namespace {

QImage tabImage(bool highlighted) {
    static const QImage normal = Resources::image(QStringLiteral("bg_tab_n.png"));
    static const QImage selected = Resources::image(QStringLiteral("bg_tab_h.png"));
    return highlighted ? selected : normal;
}

// Draws image stretched to target, keeping leftCap columns on the left and the columns after the
// one next to the cap on the right as they are.
void drawStretchable(QPainter& painter, const QRect& target, const QImage& image, int leftCap) {
    if (image.isNull())
        return;
    const int right = image.width() - leftCap - 1;
    const int h = target.height();
    painter.drawImage(QRect(target.left(), target.top(), leftCap, h),
                      image.copy(0, 0, leftCap, image.height()));
    painter.drawImage(QRect(target.left() + leftCap, target.top(),
                            std::max(0, target.width() - leftCap - right), h),
                      image.copy(leftCap, 0, 1, image.height()));
    painter.drawImage(QRect(target.right() + 1 - right, target.top(), right, h),
                      image.copy(leftCap + 1, 0, right, image.height()));
}

// One tab: the tab image, the item's image and its title in dark grey with a light shadow.
class KTTabButton : public QAbstractButton {
public:
    explicit KTTabButton(QWidget* parent) : QAbstractButton(parent) {
        QFont font = this->font();
        font.setPixelSize(14);
        font.setBold(true);
        setFont(font);
    }
    bool isHighlighted() const { return m_highlighted; }
    void setHighlighted(bool highlighted) {
        m_highlighted = highlighted;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        drawStretchable(painter, rect(), tabImage(m_highlighted), 40);
        // Content insets: top 9, left 30, bottom 0, right 30.
        QRect content = rect().adjusted(30, 9, -30, 0);
        const QPixmap pixmap = icon().pixmap(16, 16);
        const QString shown = fontMetrics().elidedText(
            text(), Qt::ElideRight, content.width() - (pixmap.isNull() ? 0 : 20));
        const int textWidth = fontMetrics().horizontalAdvance(shown);
        const int total = textWidth + (pixmap.isNull() ? 0 : 20);
        int textLeft = content.left() + std::max(0, (content.width() - total) / 2);
        if (!pixmap.isNull()) {
            painter.drawPixmap(textLeft, content.center().y() - 8, pixmap);
            textLeft += 20;
        }
        const QRect textRect(textLeft, content.top(), textWidth + 1, content.height());
        painter.setPen(QColor::fromRgbF(0.9, 0.9, 0.8));
        painter.drawText(textRect.translated(0, 1), Qt::AlignLeft | Qt::AlignVCenter, shown);
        painter.setPen(QColor::fromRgbF(0.3, 0.3, 0.3));
        painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter, shown);
    }

private:
    bool m_highlighted = false;
};

} // namespace

KTTabBar::KTTabBar(const QRect& frame, QWidget* parent)
    : QScrollArea(parent), m_content(new QWidget) {
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setWidgetResizable(false);
    setAttribute(Qt::WA_TranslucentBackground);
    viewport()->setAutoFillBackground(false);
    m_content->setAutoFillBackground(false);
    m_content->resize(0, 44);
    setWidget(m_content);
    QScroller::grabGesture(viewport(), QScroller::TouchGesture);
    setGeometry(frame);
    connect(DeviceOrientation::instance(), &DeviceOrientation::orientationDidChange, this,
            &KTTabBar::orientationDidChange);
}

KTTabBar::~KTTabBar() {
    delete m_activeMenu.data();
}

QList<TabBarItem*> KTTabBar::items() const {
    QList<TabBarItem*> list;
    for (const auto& item : m_items) {
        if (item)
            list.append(item);
    }
    return list;
}

void KTTabBar::setTabWidth(uint32_t width) {
    m_tabWidth = width;
    layoutSubviews();
}

void KTTabBar::setTabOverlap(uint32_t overlap) {
    m_tabOverlap = overlap;
    layoutSubviews();
}

QList<QAbstractButton*> KTTabBar::buttons() const {
    QList<QAbstractButton*> list;
    for (QObject* child : m_content->children()) {
        if (auto* button = qobject_cast<QAbstractButton*>(child))
            list.append(button);
    }
    return list;
}

QAbstractButton* KTTabBar::buttonWithTag(int tag) const {
    for (QAbstractButton* button : buttons()) {
        if (button->property("tag").toInt() == tag)
            return button;
    }
    return nullptr;
}

void KTTabBar::setItems(const QList<TabBarItem*>& items, bool animated) {
    Q_UNUSED(animated);
    for (QAbstractButton* button : buttons()) {
        button->hide();
        button->setParent(nullptr);
        button->deleteLater();
    }
    m_items.clear();
    int tag = 1;
    for (TabBarItem* item : items) {
        m_items.append(item);
        item->setTag(tag);
        auto* button = new KTTabButton(m_content);
        button->setProperty("tag", tag);
        button->setText(item->title());
        button->setIcon(item->image());
        connect(button, &QAbstractButton::clicked, this, [this, button] { selectItem(button); });
        button->show();
        ++tag;
    }
    if (!m_items.isEmpty())
        selectIndex(int(m_items.size()) - 1);
    layoutSubviews();
}

TabBarItem* KTTabBar::selectedItem() const {
    const QList<QAbstractButton*> list = buttons();
    const qsizetype front = m_items.size() - 1;
    if (list.isEmpty() || front < 0 || front >= list.size())
        return nullptr;
    const int tag = list.at(front)->property("tag").toInt();
    for (TabBarItem* item : items()) {
        if (item->tag() == tag)
            return item;
    }
    return nullptr;
}

void KTTabBar::selectItem(QAbstractButton* button) {
    TabBarItem* selected = selectedItem();
    if (selected && buttonWithTag(selected->tag()) == button)
        showSelectedTabMenu(button);
    selectButton(button);
}

void KTTabBar::setSelectedItem(TabBarItem* item, bool shouldShowMenu) {
    if (!item)
        return;
    QAbstractButton* button = buttonWithTag(item->tag());
    if (shouldShowMenu && item == selectedItem())
        showSelectedTabMenu(button);
    selectButton(button);
}

void KTTabBar::selectButton(QAbstractButton* button) {
    const QList<QAbstractButton*> list = buttons();
    int index = 0;
    for (int i = 0; i < list.size(); ++i) {
        if (button && buttonWithTag(i + 1) == button) {
            index = i;
            break;
        }
    }
    if (index < m_items.size()) {
        // On the next turn of the event loop, so that a choice made now wins over the selection
        // of the last tab made by a rebuild in the same turn.
        QTimer::singleShot(0, this, [this, index] { selectIndex(index); });
    }
}

void KTTabBar::selectIndex(int index) {
    // The tabs may have been rebuilt since this selection was asked for.
    if (index < 0 || index >= m_items.size())
        return;
    for (QAbstractButton* button : buttons()) {
        button->lower();
        static_cast<KTTabButton*>(button)->setHighlighted(false);
    }
    if (auto* button = static_cast<KTTabButton*>(buttonWithTag(index + 1))) {
        button->raise();
        button->setHighlighted(true);
    }
    if (m_delegate && m_items.at(index))
        m_delegate->tabBarDidSelectItem(this, m_items.at(index));
}

void KTTabBar::removeItem(TabBarItem* item) {
    if (!item)
        return;
    if (m_delegate)
        m_delegate->tabBarWillCloseItem(this, item);
    QList<TabBarItem*> remaining = items();
    remaining.removeAll(item);
    setItems(remaining, true);
    if (m_delegate)
        m_delegate->tabBarDidCloseItem(this, item);
}

void KTTabBar::layoutSubviews() {
    const int n = int(m_items.size());
    const int S = width();
    const int W = int(m_tabWidth), O = int(m_tabOverlap);
    int w = W;
    if (n > 0 && n * (W - O) > S)
        w = (S + (n - 1) * O) / n;
    for (QAbstractButton* button : buttons()) {
        const int i = button->property("tag").toInt() - 1;
        button->setGeometry(i * (w - O), -2, w, 44);
    }
    m_contentSize = QSize(n * (w - O), 44);
    // The last tab reaches past the content size by the overlap; keep it inside the scrolled
    // widget so it is not clipped.
    m_content->resize(std::max(n > 0 ? m_contentSize.width() + O : 0, S), 44);
}

void KTTabBar::resizeEvent(QResizeEvent* event) {
    QScrollArea::resizeEvent(event);
    layoutSubviews();
}

void KTTabBar::showSelectedTabMenu(QAbstractButton* sender) {
    if (!sender) {
        if (m_activeMenu) {
            QTimer::singleShot(500, this, [this] {
                TabBarItem* selected = selectedItem();
                QAbstractButton* button = selected ? buttonWithTag(selected->tag()) : nullptr;
                if (m_activeMenu && m_activeMenu->isVisible() && button)
                    m_activeMenu->showFromRect(button->geometry(), m_content, true);
            });
        }
        return;
    }
    if (m_activeMenu)
        m_activeMenu->dismissWithClickedButtonIndex(100, false);
    auto* menu = new ActionSheet(QString(), this, QString(), QString(), {QStringLiteral("Close")});
    m_activeMenu = menu;
    TabBarItem* selected = selectedItem();
    QAbstractButton* button = selected ? buttonWithTag(selected->tag()) : sender;
    menu->showFromRect(button->geometry(), m_content, true);
}

void KTTabBar::orientationDidChange() {
    if (m_activeMenu)
        showSelectedTabMenu(nullptr);
}

void KTTabBar::actionSheetDidDismissWithButtonIndex(ActionSheet* sheet, int index) {
    if (index == 0)
        removeItem(selectedItem());
    if (sheet == m_activeMenu)
        m_activeMenu = nullptr;
    sheet->deleteLater();
}
