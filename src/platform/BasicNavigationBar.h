#pragma once

#include <QColor>
#include <QList>
#include <QPointer>
#include <QWidget>

class NavigationItem;
class QAbstractButton;
class QLabel;

// The bar of a navigation stack: the top screen's title in the middle, a back button titled
// after the screen below it (or the screen's own left item) and the screen's right item.
// The look follows the tint colour; subclasses may draw their own background.
class BasicNavigationBar : public QWidget {
    Q_OBJECT
public:
    static constexpr int Height = 44;

    explicit BasicNavigationBar(QWidget* parent = nullptr);

    QColor tintColor() const { return m_tint; }
    void setTintColor(const QColor& color);

    // The stack of items, bottom first; the bar shows the last one.
    void setNavigationItems(const QList<NavigationItem*>& items);
    QList<NavigationItem*> navigationItems() const;
    NavigationItem* topItem() const;

    // The top item's title (the label shows it shortened to the room it has).
    QString title() const;
    // The back button, hidden when there is nothing to go back to.
    QAbstractButton* backButton() const;
    QLabel* titleLabel() const { return m_titleLabel; }

    QSize sizeHint() const override { return {768, Height}; }

Q_SIGNALS:
    void backButtonClicked();

protected:
    // Fills the bar's background; the default is a gradient of the tint colour.
    virtual void drawBackground(QPainter& painter, const QRect& rect);
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void refresh();
    void layoutItems();

    QColor m_tint;
    QString m_title;
    QList<QPointer<NavigationItem>> m_items;
    QLabel* m_titleLabel;
    QAbstractButton* m_backButton;
    QPointer<QWidget> m_shownLeft;
    QPointer<QWidget> m_shownRight;
};
