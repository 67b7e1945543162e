#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>

class AlertView;
class QWidget;

class AlertViewDelegate {
public:
    virtual ~AlertViewDelegate() = default;
    virtual void alertViewClickedButtonAtIndex(AlertView*, int) {}
    virtual void alertViewWillDismissWithButtonIndex(AlertView*, int) {}
    virtual void alertViewDidDismissWithButtonIndex(AlertView*, int) {}
};

// An alert: a title, a message and buttons in a panel centred over the dimmed window. Showing it
// does not block; the delegate hears which button was touched. Button indices follow the order
// the buttons were given in, the cancel button (when there is one) first.
// A shown alert deletes itself once it has been dismissed and its delegate told.
class AlertView : public QObject {
    Q_OBJECT
public:
    static constexpr int Width = 284;

    AlertView(const QString& title, const QString& message, AlertViewDelegate* delegate,
              const QString& cancelButtonTitle, const QStringList& otherButtonTitles = {},
              QObject* parent = nullptr);
    ~AlertView() override;

    // The usual one-button notice ("Error" with "Dismiss", ...), shown at once. From another
    // thread it is handed to the main thread and shown there (the answer is then none).
    // Other alerts are made and shown on the main thread.
    static AlertView* showAlert(const QString& title, const QString& message,
                                const QString& buttonTitle, AlertViewDelegate* delegate = nullptr);
    // Alerts on screen, oldest first.
    static QList<AlertView*> visibleAlerts();

    QString title() const { return m_title; }
    void setTitle(const QString& title);
    QString message() const { return m_message; }
    void setMessage(const QString& message);
    int tag() const { return m_tag; }
    void setTag(int tag) { m_tag = tag; }
    AlertViewDelegate* delegate() const { return m_delegate; }
    void setDelegate(AlertViewDelegate* delegate) { m_delegate = delegate; }

    int addButtonWithTitle(const QString& title);
    int numberOfButtons() const { return int(m_buttons.size()); }
    QString buttonTitleAtIndex(int index) const;
    int cancelButtonIndex() const { return m_cancelIndex; }
    int firstOtherButtonIndex() const;

    void show();
    bool isVisible() const { return m_visible; }
    // As a touch on the button: clicked, then will/did dismiss.
    void clickButtonAtIndex(int index);
    // Closes the alert as if that button had been chosen, without the click callback.
    void dismissWithClickedButtonIndex(int index, bool animated);

    // The panel; subclasses and callers may lay their own fields over it.
    QWidget* panel() const { return m_panel; }
    // The widget of a button (for touching it in tests).
    QWidget* buttonAtIndex(int index) const;

Q_SIGNALS:
    void dismissed(int buttonIndex);

private:
    void layoutPanel();

    QString m_title;
    QString m_message;
    AlertViewDelegate* m_delegate;
    QStringList m_buttons;
    int m_cancelIndex = -1;
    int m_tag = 0;
    bool m_visible = false;
    QPointer<QWidget> m_overlay;
    QPointer<QWidget> m_panel;
    QList<QWidget*> m_buttonWidgets;
    QWidget* m_titleLabel = nullptr;
    QWidget* m_messageLabel = nullptr;
};
