#include "platform/AlertView.h"
#include "platform/Animations.h"

#include "platform/Window.h"

#include <QCoreApplication>
#include <QEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QThread>

namespace {

QList<AlertView*>& shownAlerts() {
    static QList<AlertView*> alerts;
    return alerts;
}

// The rounded, translucent blue panel.
class AlertPanel : public QWidget {
public:
    AlertPanel() { setAttribute(Qt::WA_TranslucentBackground); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath path;
        path.addRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 10, 10);
        QLinearGradient fill(0, 0, 0, height());
        fill.setColorAt(0, QColor(40, 60, 110, 235));
        fill.setColorAt(1, QColor(15, 30, 70, 235));
        painter.fillPath(path, fill);
        // The glossy top of the panel.
        QPainterPath gloss;
        gloss.addRoundedRect(QRectF(2, 2, width() - 4, 36), 9, 9);
        painter.fillPath(gloss, QColor(255, 255, 255, 28));
        painter.setPen(QPen(QColor(255, 255, 255, 210), 2));
        painter.drawPath(path);
    }
};

// A button of the alert: a light outline with white text; the cancel button is darker.
class AlertButton : public QPushButton {
public:
    AlertButton(const QString& title, bool cancel, QWidget* parent)
        : QPushButton(title, parent), m_cancel(cancel) {
        QFont font = this->font();
        font.setPixelSize(16);
        font.setBold(true);
        setFont(font);
        setCursor(Qt::PointingHandCursor);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath path;
        path.addRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 6, 6);
        QLinearGradient fill(0, 0, 0, height());
        const int alpha = isDown() ? 40 : 90;
        const QColor top =
            m_cancel ? QColor(90, 100, 120, alpha + 60) : QColor(150, 170, 210, alpha);
        fill.setColorAt(0, top);
        fill.setColorAt(0.5, top.darker(120));
        fill.setColorAt(1, top.darker(140));
        painter.fillPath(path, fill);
        painter.setPen(QPen(QColor(10, 20, 50, 200), 1));
        painter.drawPath(path);
        painter.setPen(QColor(0, 0, 0, 140));
        painter.drawText(rect().translated(0, -1), Qt::AlignCenter, text());
        painter.setPen(Qt::white);
        painter.drawText(rect(), Qt::AlignCenter, text());
    }

private:
    bool m_cancel;
};

// Dims the window behind an alert and swallows every touch outside the panel.
class AlertOverlay : public QWidget {
public:
    explicit AlertOverlay(QWidget* window, QWidget* panel) : QWidget(window), m_panel(panel) {
        if (window) {
            window->installEventFilter(this);
            setGeometry(window->rect());
        } else {
            resize(768, 1024);
        }
    }
    void centrePanel() {
        if (m_panel)
            m_panel->move((width() - m_panel->width()) / 2, (height() - m_panel->height()) / 2);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == parentWidget() && event->type() == QEvent::Resize)
            setGeometry(parentWidget()->rect());
        return false;
    }
    void resizeEvent(QResizeEvent*) override { centrePanel(); }
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        QRadialGradient shade(rect().center(), std::max(width(), height()) * 0.7);
        shade.setColorAt(0, QColor(0, 0, 0, 60));
        shade.setColorAt(1, QColor(0, 0, 0, 150));
        painter.fillRect(rect(), shade);
    }
    void mousePressEvent(QMouseEvent* event) override { event->accept(); }

private:
    QPointer<QWidget> m_panel;
};

} // namespace

AlertView::AlertView(const QString& title, const QString& message, AlertViewDelegate* delegate,
                     const QString& cancelButtonTitle, const QStringList& otherButtonTitles,
                     QObject* parent)
    : QObject(parent), m_title(title), m_message(message), m_delegate(delegate),
      m_panel(new AlertPanel) {
    auto* titleLabel = new QLabel(m_panel);
    QFont titleFont = titleLabel->font();
    titleFont.setPixelSize(18);
    titleFont.setBold(true);
    titleLabel->setFont(titleFont);
    auto* messageLabel = new QLabel(m_panel);
    QFont messageFont = messageLabel->font();
    messageFont.setPixelSize(16);
    messageLabel->setFont(messageFont);
    for (QLabel* label : {titleLabel, messageLabel}) {
        label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        label->setWordWrap(true);
        label->setTextFormat(Qt::PlainText);
        label->setStyleSheet(QStringLiteral("color: white; background: transparent;"));
    }
    m_titleLabel = titleLabel;
    m_messageLabel = messageLabel;
    if (!cancelButtonTitle.isEmpty()) {
        m_cancelIndex = 0;
        m_buttons.append(cancelButtonTitle);
    }
    for (const QString& other : otherButtonTitles)
        m_buttons.append(other);
    for (int i = 0; i < m_buttons.size(); ++i) {
        auto* button = new AlertButton(m_buttons[i], i == m_cancelIndex, m_panel);
        connect(button, &QPushButton::clicked, this, [this, i] { clickButtonAtIndex(i); });
        m_buttonWidgets.append(button);
    }
    layoutPanel();
}

AlertView::~AlertView() {
    shownAlerts().removeAll(this);
    if (m_overlay)
        disconnect(m_overlay, nullptr, this, nullptr);
    delete m_overlay.data();
    delete m_panel.data();
}

AlertView* AlertView::showAlert(const QString& title, const QString& message,
                                const QString& buttonTitle, AlertViewDelegate* delegate) {
    QCoreApplication* app = QCoreApplication::instance();
    if (app && QThread::currentThread() != app->thread()) {
        // Widgets live on the main thread: a worker's alert is shown from there.
        QMetaObject::invokeMethod(
            app, [=] { showAlert(title, message, buttonTitle, delegate); }, Qt::QueuedConnection);
        return nullptr;
    }
    auto* alert = new AlertView(title, message, delegate, buttonTitle);
    alert->show();
    return alert;
}

QList<AlertView*> AlertView::visibleAlerts() {
    return shownAlerts();
}

void AlertView::setTitle(const QString& title) {
    m_title = title;
    layoutPanel();
}

void AlertView::setMessage(const QString& message) {
    m_message = message;
    layoutPanel();
}

int AlertView::addButtonWithTitle(const QString& title) {
    const int index = int(m_buttons.size());
    m_buttons.append(title);
    auto* button = new AlertButton(title, false, m_panel);
    connect(button, &QPushButton::clicked, this, [this, index] { clickButtonAtIndex(index); });
    m_buttonWidgets.append(button);
    layoutPanel();
    return index;
}

QString AlertView::buttonTitleAtIndex(int index) const {
    return index >= 0 && index < m_buttons.size() ? m_buttons[index] : QString();
}

int AlertView::firstOtherButtonIndex() const {
    const int first = m_cancelIndex == 0 ? 1 : 0;
    return first < m_buttons.size() ? first : -1;
}

QWidget* AlertView::buttonAtIndex(int index) const {
    return index >= 0 && index < m_buttonWidgets.size() ? m_buttonWidgets[index] : nullptr;
}

void AlertView::layoutPanel() {
    auto* title = static_cast<QLabel*>(m_titleLabel);
    auto* message = static_cast<QLabel*>(m_messageLabel);
    title->setText(m_title);
    message->setText(m_message);
    const int inner = Width - 24;
    int y = 16;
    if (!m_title.isEmpty()) {
        const int h = title->heightForWidth(inner);
        title->setGeometry(12, y, inner, h);
        y += h + 8;
    }
    title->setVisible(!m_title.isEmpty());
    if (!m_message.isEmpty()) {
        const int h = message->heightForWidth(inner);
        message->setGeometry(12, y, inner, h);
        y += h + 8;
    }
    message->setVisible(!m_message.isEmpty());
    y += 6;
    // Two buttons sit side by side (cancel on the left); otherwise they are stacked, cancel last.
    const int n = int(m_buttonWidgets.size());
    if (n == 2) {
        const int w = (inner - 10) / 2;
        for (int i = 0; i < 2; ++i)
            m_buttonWidgets[i]->setGeometry(12 + i * (w + 10), y, w, 43);
        y += 43 + 15;
    } else {
        QList<int> order;
        for (int i = 0; i < n; ++i) {
            if (i != m_cancelIndex)
                order.append(i);
        }
        if (m_cancelIndex >= 0)
            order.append(m_cancelIndex);
        for (int i : order) {
            m_buttonWidgets[i]->setGeometry(12, y, inner, 43);
            y += 43 + 8;
        }
        y += 7;
    }
    m_panel->resize(Width, y);
    if (m_overlay)
        static_cast<AlertOverlay*>(m_overlay.data())->centrePanel();
}

void AlertView::show() {
    if (m_visible)
        return;
    QWidget* window = Window::keyWindow();
    auto* overlay = new AlertOverlay(window, m_panel);
    m_overlay = overlay;
    m_panel->setParent(overlay);
    layoutPanel();
    m_panel->show();
    overlay->centrePanel();
    overlay->show();
    overlay->raise();
    fadeIn(overlay, 150);
    m_visible = true;
    shownAlerts().append(this);
    // A window closed under the alert takes it away: nobody can answer it any more.
    connect(overlay, &QObject::destroyed, this, [this] {
        if (!m_visible)
            return;
        m_visible = false;
        shownAlerts().removeAll(this);
        deleteLater();
    });
}

void AlertView::clickButtonAtIndex(int index) {
    if (!m_visible)
        return;
    QPointer<AlertView> self(this);
    if (m_delegate)
        m_delegate->alertViewClickedButtonAtIndex(this, index);
    if (self)
        dismissWithClickedButtonIndex(index, true);
}

void AlertView::dismissWithClickedButtonIndex(int index, bool animated) {
    Q_UNUSED(animated);
    if (!m_visible)
        return;
    QPointer<AlertView> self(this);
    if (m_delegate)
        m_delegate->alertViewWillDismissWithButtonIndex(this, index);
    if (!self)
        return;
    m_visible = false;
    shownAlerts().removeAll(this);
    if (m_overlay)
        m_overlay->hide();
    if (m_delegate)
        m_delegate->alertViewDidDismissWithButtonIndex(this, index);
    if (!self)
        return;
    Q_EMIT dismissed(index);
    deleteLater();
}
