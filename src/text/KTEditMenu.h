#pragma once

#include <QList>
#include <QPointer>
#include <QRectF>
#include <QString>
#include <QWidget>

// What the edit menu offers.
enum class KTEditAction { Cut, Copy, Paste, Select, SelectAll, Delete };

// The view the menu acts for: it decides which actions are offered and carries them out.
class KTEditMenuResponder {
public:
    virtual ~KTEditMenuResponder() = default;
    virtual bool canPerformAction(KTEditAction action) = 0;
    virtual void performEditAction(KTEditAction action) = 0;
};

// The one edit menu of the program: a dark strip of commands ("Cut", "Copy", "Paste",
// "Select", "Select All") with an arrow pointing at a target rectangle, shown over the window
// of the view it acts for. Only the commands its responder can perform are shown.
class KTEditMenu : public QWidget {
    Q_OBJECT
public:
    enum class ArrowDirection { Default, Up, Down };

    static KTEditMenu* sharedMenuController();

    // The rectangle is in the view's coordinates; the menu joins that view's window.
    void setTargetRect(const QRectF& rect, QWidget* view);
    QRectF targetRect() const { return targetRect_; }
    QWidget* targetView() const { return targetView_; }
    void setResponder(KTEditMenuResponder* responder, QWidget* responderWidget);
    KTEditMenuResponder* responder() const;

    ArrowDirection arrowDirection() const { return arrowDirection_; }
    void setArrowDirection(ArrowDirection direction) { arrowDirection_ = direction; }

    void setMenuVisible(bool visible, bool animated);
    bool isMenuVisible() const { return menuVisible_; }
    // Whether the arrow of the shown menu points up (the menu lies below its target).
    bool isShownBelowTarget() const { return below_; }

    // The commands shown, in order, by title.
    QStringList visibleTitles() const;
    // Carries out the shown command with this title (as a tap on it does).
    bool triggerTitle(const QString& title);

    static QString titleForAction(KTEditAction action);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    KTEditMenu();
    void layoutMenu();

    QRectF targetRect_;
    QPointer<QWidget> targetView_;
    KTEditMenuResponder* responder_ = nullptr;
    QPointer<QWidget> responderWidget_;
    ArrowDirection arrowDirection_ = ArrowDirection::Default;
    bool menuVisible_ = false;
    bool below_ = false;
    QList<KTEditAction> actions_;
    QList<QRectF> itemRects_;
    qreal arrowX_ = 0;
    int pressed_ = -1;
};
