#include "platform/BasicNavigationBar.h"

#include "platform/ViewController.h"

#include <QAbstractButton>
#include <QGraphicsDropShadowEffect>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace {

QColor shade(const QColor& color, double factor) {
    return QColor::fromRgbF(std::clamp(color.redF() * factor, 0.0, 1.0),
                            std::clamp(color.greenF() * factor, 0.0, 1.0),
                            std::clamp(color.blueF() * factor, 0.0, 1.0), color.alphaF());
}

// The pointed back button, filled in the bar's tint.
class BackButton : public QAbstractButton {
public:
    explicit BackButton(QWidget* parent) : QAbstractButton(parent) {
        QFont font = this->font();
        font.setPixelSize(12);
        font.setBold(true);
        setFont(font);
        setCursor(Qt::PointingHandCursor);
    }
    void setTint(const QColor& tint) {
        m_tint = tint;
        update();
    }
    QSize sizeHint() const override {
        const int text = fontMetrics().horizontalAdvance(text_()) + 26;
        return {std::clamp(text, 50, 160), 30};
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
        QPainterPath path;
        const double tip = 12;
        path.moveTo(r.left(), r.center().y());
        path.lineTo(r.left() + tip, r.top());
        path.lineTo(r.right() - 5, r.top());
        path.quadTo(r.right(), r.top(), r.right(), r.top() + 5);
        path.lineTo(r.right(), r.bottom() - 5);
        path.quadTo(r.right(), r.bottom(), r.right() - 5, r.bottom());
        path.lineTo(r.left() + tip, r.bottom());
        path.closeSubpath();
        const QColor base = isDown() ? shade(m_tint, 0.75) : m_tint;
        QLinearGradient fill(r.topLeft(), r.bottomLeft());
        fill.setColorAt(0, shade(base, 1.2));
        fill.setColorAt(0.5, shade(base, 0.95));
        fill.setColorAt(1, shade(base, 0.8));
        painter.fillPath(path, fill);
        painter.setPen(QPen(shade(base, 0.5), 1));
        painter.drawPath(path);
        painter.setPen(QColor(0, 0, 0, 120));
        const QRectF textRect = r.adjusted(tip + 2, 0, -5, 0);
        const QString shown =
            fontMetrics().elidedText(text_(), Qt::ElideRight, static_cast<int>(textRect.width()));
        painter.drawText(textRect.translated(0, -1), Qt::AlignCenter, shown);
        painter.setPen(Qt::white);
        painter.drawText(textRect, Qt::AlignCenter, shown);
    }

private:
    QString text_() const { return text().isEmpty() ? QStringLiteral("Back") : text(); }
    QColor m_tint;
};

} // namespace

BasicNavigationBar::BasicNavigationBar(QWidget* parent)
    : QWidget(parent), m_tint(QColor::fromRgbF(0.43, 0.52, 0.63)), m_titleLabel(new QLabel(this)),
      m_backButton(new BackButton(this)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(768, Height);
    QFont font = m_titleLabel->font();
    font.setPixelSize(20);
    font.setBold(true);
    m_titleLabel->setFont(font);
    m_titleLabel->setAlignment(Qt::AlignCenter);
    m_titleLabel->setStyleSheet(QStringLiteral("color: white; background: transparent;"));
    auto* shadow = new QGraphicsDropShadowEffect(m_titleLabel);
    shadow->setBlurRadius(0);
    shadow->setOffset(0, -1);
    shadow->setColor(QColor(0, 0, 0, 130));
    m_titleLabel->setGraphicsEffect(shadow);
    m_backButton->hide();
    static_cast<BackButton*>(m_backButton)->setTint(m_tint);
    connect(m_backButton, &QAbstractButton::clicked, this, &BasicNavigationBar::backButtonClicked);
}

void BasicNavigationBar::setTintColor(const QColor& color) {
    m_tint = color;
    static_cast<BackButton*>(m_backButton)->setTint(color);
    update();
}

void BasicNavigationBar::setNavigationItems(const QList<NavigationItem*>& items) {
    for (const auto& item : std::as_const(m_items)) {
        if (item)
            disconnect(item, nullptr, this, nullptr);
    }
    m_items.clear();
    for (NavigationItem* item : items) {
        m_items.append(item);
        connect(item, &NavigationItem::changed, this, &BasicNavigationBar::refresh);
    }
    refresh();
}

QList<NavigationItem*> BasicNavigationBar::navigationItems() const {
    QList<NavigationItem*> items;
    for (const auto& item : m_items) {
        if (item)
            items.append(item);
    }
    return items;
}

NavigationItem* BasicNavigationBar::topItem() const {
    const auto items = navigationItems();
    return items.isEmpty() ? nullptr : items.last();
}

QString BasicNavigationBar::title() const {
    return m_title;
}

QAbstractButton* BasicNavigationBar::backButton() const {
    return m_backButton;
}

void BasicNavigationBar::refresh() {
    const auto items = navigationItems();
    NavigationItem* top = items.isEmpty() ? nullptr : items.last();
    m_title = top ? top->title() : QString();

    QWidget* left = top ? top->leftBarButtonItem() : nullptr;
    QWidget* right = top ? top->rightBarButtonItem() : nullptr;
    // Items of screens no longer on top leave the bar but stay with their navigation item.
    for (QPointer<QWidget>* shown : {&m_shownLeft, &m_shownRight}) {
        if (*shown && *shown != left && *shown != right) {
            (*shown)->hide();
            (*shown)->setParent(nullptr);
        }
    }
    m_shownLeft = left;
    m_shownRight = right;
    for (QWidget* item : {left, right}) {
        if (item) {
            if (item->parentWidget() != this)
                item->setParent(this);
            item->show();
        }
    }
    const bool canGoBack = items.size() > 1 && !left && !top->hidesBackButton();
    m_backButton->setVisible(canGoBack);
    if (canGoBack)
        m_backButton->setText(items.at(items.size() - 2)->title());
    layoutItems();
    update();
}

void BasicNavigationBar::layoutItems() {
    const int h = height();
    int leftEdge = 5;
    if (m_shownLeft) {
        QSize size = m_shownLeft->size().isEmpty() ? m_shownLeft->sizeHint() : m_shownLeft->size();
        size.setHeight(std::min(size.height(), h));
        m_shownLeft->setGeometry(5, (h - size.height()) / 2, size.width(), size.height());
        leftEdge = 5 + size.width() + 5;
    } else if (!m_backButton->isHidden()) {
        const QSize size = m_backButton->sizeHint();
        m_backButton->setGeometry(5, (h - size.height()) / 2, size.width(), size.height());
        leftEdge = 5 + size.width() + 5;
    }
    int rightEdge = width() - 5;
    if (m_shownRight) {
        QSize size =
            m_shownRight->size().isEmpty() ? m_shownRight->sizeHint() : m_shownRight->size();
        size.setHeight(std::min(size.height(), h));
        m_shownRight->setGeometry(width() - 5 - size.width(), (h - size.height()) / 2, size.width(),
                                  size.height());
        rightEdge = width() - 5 - size.width() - 5;
    }
    // The title stays centred on the bar as long as it clears both sides.
    const int side = std::max(leftEdge, width() - rightEdge);
    const int titleWidth = std::max(0, width() - 2 * side);
    m_titleLabel->setGeometry(side, 0, titleWidth, h);
    m_titleLabel->setText(
        m_titleLabel->fontMetrics().elidedText(m_title, Qt::ElideRight, titleWidth));
}

void BasicNavigationBar::drawBackground(QPainter& painter, const QRect& rect) {
    QLinearGradient gradient(rect.topLeft(), rect.bottomLeft());
    gradient.setColorAt(0, shade(m_tint, 1.25));
    gradient.setColorAt(0.5, shade(m_tint, 1.05));
    gradient.setColorAt(0.51, shade(m_tint, 0.95));
    gradient.setColorAt(1, shade(m_tint, 0.85));
    painter.fillRect(rect, gradient);
}

void BasicNavigationBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    drawBackground(painter, rect());
    painter.setPen(shade(m_tint, 0.5));
    painter.drawLine(0, height() - 1, width(), height() - 1);
}

void BasicNavigationBar::resizeEvent(QResizeEvent*) {
    layoutItems();
}
