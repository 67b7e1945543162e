#pragma once

#include "platform/BasicNavigationBar.h"

#include <QImage>

// The navigation bar of every screen: a slate tint over a tiled fabric background. The fabric is
// loaded at the first drawing, dropped on a memory warning and loaded again when next drawn.
class NavigationBar : public BasicNavigationBar {
    Q_OBJECT
public:
    explicit NavigationBar(QWidget* parent = nullptr);

    // Makes every navigation controller created from now on use this bar.
    static void installAsDefault();

    bool hasBackgroundImage() const { return !m_fabric.isNull(); }

public Q_SLOTS:
    void didReceiveMemoryWarning();

protected:
    void drawBackground(QPainter& painter, const QRect& rect) override;

private:
    QImage m_fabric;
};
