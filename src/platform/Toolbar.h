#pragma once

#include <QColor>
#include <QList>
#include <QPointer>
#include <QWidget>

// A bar of items along the bottom of a screen (or wherever it is placed). Items are widgets kept
// at their own size, left to right; a null entry is a flexible space that shares the free width
// with the other flexible spaces. Without a flexible space the items are packed to the left.
class Toolbar : public QWidget {
    Q_OBJECT
public:
    static constexpr int Height = 44;
    static constexpr int Margin = 6;
    static constexpr int Spacing = 10;

    explicit Toolbar(QWidget* parent = nullptr);

    QColor tintColor() const { return m_tint; }
    void setTintColor(const QColor& color);

    QList<QWidget*> items() const;
    void setItems(const QList<QWidget*>& items);

    QSize sizeHint() const override { return {768, Height}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void layoutItems();

    QColor m_tint;
    QList<QPointer<QWidget>> m_items;
    QList<bool> m_flexible;
};
