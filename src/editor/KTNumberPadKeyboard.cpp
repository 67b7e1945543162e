#include "editor/KTNumberPadKeyboard.h"

#include <QLinearGradient>
#include <QPainter>

namespace {

QLinearGradient gradient(const QRectF& rect, bool blueGrey) {
    QLinearGradient g(rect.topLeft(), rect.bottomLeft());
    if (blueGrey) {
        g.setColorAt(0.0, QColor::fromRgbF(0.576f, 0.6f, 0.635f));
        g.setColorAt(0.5, QColor::fromRgbF(0.576f, 0.6f, 0.635f));
        g.setColorAt(0.51, QColor::fromRgbF(0.431f, 0.459f, 0.51f));
        g.setColorAt(1.0, QColor::fromRgbF(0.302f, 0.329f, 0.384f));
    } else {
        g.setColorAt(0.0, QColor::fromRgbF(0.906f, 0.906f, 0.918f));
        g.setColorAt(0.5, QColor::fromRgbF(0.906f, 0.906f, 0.918f));
        g.setColorAt(0.51, QColor::fromRgbF(0.871f, 0.875f, 0.886f));
        g.setColorAt(1.0, QColor::fromRgbF(0.702f, 0.718f, 0.745f));
    }
    return g;
}

} // namespace

KTNumberPadKey::KTNumberPadKey(Type type, const QString& title, QWidget* parent)
    : QPushButton(title, parent), type_(type) {
    setFocusPolicy(Qt::NoFocus);
    QFont f = font();
    f.setPointSizeF(type == Character ? 24 : 14);
    f.setBold(true);
    setFont(f);
}

void KTNumberPadKey::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRectF r = rect();
    // Character keys are blue-grey and light up while pressed; the others the other way round.
    const bool blueGrey = (type_ == Character) != isDown();
    painter.fillRect(r, gradient(r, blueGrey));
    painter.setPen(blueGrey ? Qt::white : QColor(40, 44, 52));
    painter.setFont(font());
    painter.drawText(r, Qt::AlignCenter, text());
}

KTNumberPadKeyboard::KTNumberPadKeyboard(const QPointF& origin, QWidget* parent) : QWidget(parent) {
    setGeometry(int(origin.x()), int(origin.y()), 320, 216);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            addKey(KTNumberPadKey::Character, QString::asprintf("%i", i * 3 + j + 1),
                   j * KeyWidth + j, i * KeyHeight + i + 1);
    const int bottom = 3 * KeyHeight + 4;
    accessoryButton_ = addKey(KTNumberPadKey::Resign, QStringLiteral("DONE"), 1, bottom);
    addKey(KTNumberPadKey::Character, QStringLiteral("0"), KeyWidth + 2, bottom);
    addKey(KTNumberPadKey::DeleteBackward, QStringLiteral("\u232B"), 2 * KeyWidth + 3, bottom);
}

KTNumberPadKey* KTNumberPadKeyboard::addKey(KTNumberPadKey::Type type, const QString& title, int x,
                                            int y) {
    auto* key = new KTNumberPadKey(type, title, this);
    key->setGeometry(x, y, KeyWidth, KeyHeight);
    connect(key, &QPushButton::clicked, this, [this, key] {
        if (!delegate_)
            return;
        switch (key->numberPadKeyType()) {
        case KTNumberPadKey::Character:
            delegate_->numberPadKeyboardWantsInsertText(this, key->text());
            break;
        case KTNumberPadKey::DeleteBackward:
            delegate_->numberPadKeyboardWantsDeleteBackward(this);
            break;
        case KTNumberPadKey::Resign:
            delegate_->numberPadKeyboardWantsResign(this);
            break;
        case KTNumberPadKey::None:
            break;
        }
    });
    return key;
}

KTNumberPadKey* KTNumberPadKeyboard::keyWithTitle(const QString& title) const {
    for (KTNumberPadKey* key : findChildren<KTNumberPadKey*>())
        if (key->text() == title)
            return key;
    return nullptr;
}

void KTNumberPadKeyboard::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor::fromRgbF(0.251f, 0.251f, 0.251f));
}
