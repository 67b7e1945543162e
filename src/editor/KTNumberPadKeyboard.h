#pragma once

#include <QPushButton>
#include <QWidget>

class KTNumberPadKeyboard;

class KTNumberPadKeyboardDelegate {
public:
    virtual ~KTNumberPadKeyboardDelegate() = default;
    virtual void numberPadKeyboardWantsInsertText(KTNumberPadKeyboard*, const QString&) {}
    virtual void numberPadKeyboardWantsDeleteBackward(KTNumberPadKeyboard*) {}
    virtual void numberPadKeyboardWantsResign(KTNumberPadKeyboard*) {}
};

// One key of the number pad, drawn with a four-stop vertical gradient.
class KTNumberPadKey : public QPushButton {
    Q_OBJECT
public:
    enum Type { None = 0, Character = 1, DeleteBackward = 2, Resign = 3 };
    KTNumberPadKey(Type type, const QString& title, QWidget* parent = nullptr);
    Type numberPadKeyType() const { return type_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Type type_;
};

// The digits pad of the "Jump to line" popover: 1-9 in three rows, then "DONE", "0" and delete.
// Always 320 × 216 points at the origin it is given.
class KTNumberPadKeyboard : public QWidget {
    Q_OBJECT
public:
    explicit KTNumberPadKeyboard(const QPointF& origin, QWidget* parent = nullptr);

    KTNumberPadKeyboardDelegate* delegate() const { return delegate_; }
    void setDelegate(KTNumberPadKeyboardDelegate* delegate) { delegate_ = delegate; }
    KTNumberPadKey* accessoryButton() const { return accessoryButton_; }
    // The key with this title ("0".."9", "DONE"); the delete key is titled "⌫".
    KTNumberPadKey* keyWithTitle(const QString& title) const;

    static constexpr int KeyWidth = (320 - 2) / 3;  // 106
    static constexpr int KeyHeight = (216 - 4) / 4; // 53

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    KTNumberPadKey* addKey(KTNumberPadKey::Type type, const QString& title, int x, int y);
    KTNumberPadKeyboardDelegate* delegate_ = nullptr;
    KTNumberPadKey* accessoryButton_ = nullptr;
};
