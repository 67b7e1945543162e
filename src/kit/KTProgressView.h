#pragma once

#include <QColor>
#include <QWidget>

// A progress bar drawn as a pill: an outlined track and a rounded bar inside it, optionally with
// a glossy (lighter) upper half. The background is clear.
class KTProgressView : public QWidget {
    Q_OBJECT
public:
    explicit KTProgressView(const QRect& frame = QRect(0, 0, 200, 16), QWidget* parent = nullptr);

    float progress() const { return m_progress; }
    // Clamped to 0 … 1.
    void setProgress(float progress);

    QColor lineColor() const { return m_lineColor; }
    void setLineColor(const QColor& color);
    QColor progressRemainingColor() const { return m_remainingColor; }
    void setProgressRemainingColor(const QColor& color);
    QColor progressColor() const { return m_progressColor; }
    void setProgressColor(const QColor& color);
    bool isGlossy() const { return m_glossy; }
    void setGlossy(bool glossy);

    // Draws the bar into rect (also used by paintEvent).
    void drawInRect(QPainter& painter, const QRectF& rect) const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    float m_progress = 0;
    QColor m_lineColor = Qt::white;
    QColor m_remainingColor = Qt::lightGray;
    QColor m_progressColor = Qt::darkGray;
    bool m_glossy = true;
};
