#include "platform/Toolbar.h"

#include <QLinearGradient>
#include <QPainter>

Toolbar::Toolbar(QWidget* parent) : QWidget(parent), m_tint(QColor::fromRgbF(0.43, 0.52, 0.63)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(768, Height);
}

void Toolbar::setTintColor(const QColor& color) {
    m_tint = color;
    update();
}

QList<QWidget*> Toolbar::items() const {
    QList<QWidget*> list;
    for (int i = 0; i < m_items.size(); ++i)
        list.append(m_flexible[i] ? nullptr : m_items[i].data());
    return list;
}

void Toolbar::setItems(const QList<QWidget*>& items) {
    // Items that leave the bar stay with whoever made them.
    for (const auto& item : std::as_const(m_items)) {
        if (item && !items.contains(item.data())) {
            item->hide();
            item->setParent(nullptr);
        }
    }
    m_items.clear();
    m_flexible.clear();
    for (QWidget* item : items) {
        m_items.append(item);
        m_flexible.append(item == nullptr);
        if (item) {
            item->setParent(this);
            item->show();
        }
    }
    layoutItems();
}

void Toolbar::layoutItems() {
    int fixedWidth = 0;
    int flexibleCount = 0;
    int count = 0;
    for (int i = 0; i < m_items.size(); ++i) {
        if (m_flexible[i]) {
            ++flexibleCount;
        } else if (QWidget* item = m_items[i]) {
            const QSize size = item->size().isEmpty() ? item->sizeHint() : item->size();
            fixedWidth += size.width();
            ++count;
        }
    }
    const int gaps = std::max(0, count - 1) * Spacing;
    const int free = std::max(0, width() - 2 * Margin - fixedWidth - gaps);
    int x = Margin;
    int flexibleSeen = 0;
    for (int i = 0; i < m_items.size(); ++i) {
        if (m_flexible[i]) {
            // Hand out the free width evenly; the last flexible space takes the remainder.
            ++flexibleSeen;
            x += flexibleSeen == flexibleCount ? free - (free / flexibleCount) * (flexibleCount - 1)
                                               : free / flexibleCount;
            continue;
        }
        QWidget* item = m_items[i];
        if (!item)
            continue;
        QSize size = item->size().isEmpty() ? item->sizeHint() : item->size();
        size.setHeight(std::min(size.height(), height()));
        item->setGeometry(x, (height() - size.height()) / 2, size.width(), size.height());
        x += size.width() + Spacing;
    }
}

void Toolbar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QLinearGradient gradient(0, 0, 0, height());
    gradient.setColorAt(0, m_tint.lighter(125));
    gradient.setColorAt(1, m_tint.darker(115));
    painter.fillRect(rect(), gradient);
    painter.setPen(m_tint.darker(180));
    painter.drawLine(0, 0, width(), 0);
}

void Toolbar::resizeEvent(QResizeEvent*) {
    layoutItems();
}
