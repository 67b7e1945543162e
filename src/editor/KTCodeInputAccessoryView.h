#pragma once

#include <QPointer>
#include <QStringList>
#include <QWidget>

class KTCodeView;
class QPushButton;

// The row of quick keys for characters that code needs often. A key inserts its title into
// the owner through the view's edit routine; "TAB" inserts one tab character.
class KTCodeInputAccessoryView : public QWidget {
    Q_OBJECT
public:
    explicit KTCodeInputAccessoryView(const QRect& frame, QWidget* parent = nullptr);

    static QStringList quickKeyTitles();

    KTCodeView* owner() const { return owner_; }
    void setOwner(KTCodeView* owner) { owner_ = owner; }
    bool enableInputClicksWhenVisible() const { return true; }

    QList<QPushButton*> items() const { return items_; }
    void insertQuickKey(QPushButton* item);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QPointer<KTCodeView> owner_;
    QList<QPushButton*> items_;
};
