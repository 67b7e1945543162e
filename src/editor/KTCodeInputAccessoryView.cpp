#include "editor/KTCodeInputAccessoryView.h"

#include "editor/KTCodeView.h"

#include <QPainter>
#include <QPushButton>

QStringList KTCodeInputAccessoryView::quickKeyTitles() {
    return {QStringLiteral("TAB"), QStringLiteral("<"), QStringLiteral(">"), QStringLiteral("/"),
            QStringLiteral("("),   QStringLiteral(")"), QStringLiteral("{"), QStringLiteral("}"),
            QStringLiteral("["),   QStringLiteral("]"), QStringLiteral("#"), QStringLiteral("'"),
            QStringLiteral("\""),  QStringLiteral(";")};
}

KTCodeInputAccessoryView::KTCodeInputAccessoryView(const QRect& frame, QWidget* parent)
    : QWidget(parent) {
    setObjectName(QStringLiteral("KTCodeInputAccessoryView"));
    setGeometry(frame);
    for (const QString& title : quickKeyTitles()) {
        auto* item = new QPushButton(title, this);
        // The keys must never take the focus away from the code view they type into.
        item->setFocusPolicy(Qt::NoFocus);
        item->setStyleSheet(QStringLiteral(
            "QPushButton { color: white; background: rgba(255, 255, 255, 30);"
            " border: 1px solid rgba(255, 255, 255, 60); border-radius: 5px; font-size: 15px;"
            " font-weight: bold; }"
            "QPushButton:pressed { background: rgba(255, 255, 255, 90); }"));
        connect(item, &QPushButton::clicked, this, [this, item] { insertQuickKey(item); });
        items_.append(item);
    }
}

void KTCodeInputAccessoryView::insertQuickKey(QPushButton* item) {
    if (!owner_ || !item)
        return;
    owner_->insertText(item->text() == QLatin1String("TAB") ? QStringLiteral("\t") : item->text());
}

void KTCodeInputAccessoryView::resizeEvent(QResizeEvent*) {
    // Items of 44 points with equal spacing, as a toolbar lays them out.
    const int count = int(items_.size());
    const int itemWidth = 44;
    const int spare = std::max(0, width() - count * itemWidth);
    const double gap = double(spare) / (count + 1);
    for (int i = 0; i < count; ++i)
        items_[i]->setGeometry(int(gap + i * (itemWidth + gap)), 6, itemWidth, height() - 12);
}

void KTCodeInputAccessoryView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor(0, 0, 0, 200));
    painter.setPen(QColor(0, 0, 0));
    painter.drawLine(0, 0, width(), 0);
}
