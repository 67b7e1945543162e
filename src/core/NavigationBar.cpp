#include "core/NavigationBar.h"

#include "platform/NavigationController.h"

#include <QDir>
#include <QPainter>

NavigationBar::NavigationBar(QWidget* parent) : BasicNavigationBar(parent) {
    setTintColor(QColor::fromRgbF(0.5, 0.6, 0.7));
}

void NavigationBar::installAsDefault() {
    NavigationController::setNavigationBarFactory([] { return new NavigationBar; });
}

void NavigationBar::didReceiveMemoryWarning() {
    m_fabric = QImage();
}

void NavigationBar::drawBackground(QPainter& painter, const QRect& rect) {
    if (m_fabric.isNull())
        m_fabric = QImage(QDir(QStringLiteral(QUORVEL_RESOURCES_DIR))
                              .filePath(QStringLiteral("images/bg_fabric.png")));
    if (m_fabric.isNull()) {
        BasicNavigationBar::drawBackground(painter, rect);
        return;
    }
    painter.fillRect(rect, QBrush(m_fabric));
    // A soft sheen over the top half keeps the bar reading as a bar over the same fabric as the
    // screens below it.
    QLinearGradient sheen(rect.topLeft(), rect.bottomLeft());
    sheen.setColorAt(0, QColor(255, 255, 255, 40));
    sheen.setColorAt(0.5, QColor(255, 255, 255, 10));
    sheen.setColorAt(1, QColor(0, 0, 0, 40));
    painter.fillRect(rect, sheen);
}
