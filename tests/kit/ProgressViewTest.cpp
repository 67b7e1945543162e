#include "kit/KTProgressView.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QPainter>
#include <gtest/gtest.h>

namespace {

QImage render(KTProgressView& view, const QColor& background) {
    QImage image(view.size(), QImage::Format_ARGB32);
    image.fill(background);
    QPainter painter(&image);
    view.drawInRect(painter, QRectF(view.rect()));
    return image;
}

TEST(KTProgressViewTest, BarCoversTheShareOfTheTrack) {
    // Distinct flat colours so each pixel tells which part of the drawing it belongs to.
    const QColor line(255, 255, 255), remaining(0, 0, 255), bar(255, 0, 0);
    struct Case {
        float progress;
        int x; // sampled on the middle line of a 200 × 16 bar (inner end radius 4)
        QColor expected;
    };
    const Case cases[] = {
        {0.0f, 6, remaining},                     // nothing filled at 0
        {0.0f, 100, remaining}, {0.5f, 6, bar},   // starts at x = 4
        {0.5f, 100, bar},       {0.5f, 106, bar}, // ends near 200 × 0.5 + 4 + 4 = 108
        {0.5f, 112, remaining}, {1.0f, 194, bar}, // never beyond w − 4
        {0.02f, 6, bar},                          // 4 < r + 4: only the left cap
        {0.02f, 10, remaining},
    };
    KTProgressView view;
    view.setLineColor(line);
    view.setProgressRemainingColor(remaining);
    view.setProgressColor(bar);
    view.setGlossy(false);
    for (const Case& c : cases) {
        view.setProgress(c.progress);
        const QImage image = render(view, Qt::black);
        EXPECT_EQ(QColor(image.pixel(c.x, 8)), c.expected)
            << "progress " << c.progress << " at x " << c.x;
    }
}

TEST(KTProgressViewTest, GlossyUpperHalfIsLighter) {
    KTProgressView view;
    view.setProgressColor(QColor(255, 0, 0));
    view.setProgressRemainingColor(QColor(0, 0, 255));
    view.setProgress(1.0f);
    const QImage glossy = render(view, Qt::black);
    // Upper half at alpha 0.78 over black, lower half the plain colour.
    EXPECT_NEAR(qRed(glossy.pixel(100, 5)), 199, 2);
    EXPECT_EQ(QColor(glossy.pixel(100, 10)), QColor(255, 0, 0));
    view.setGlossy(false);
    EXPECT_EQ(QColor(render(view, Qt::black).pixel(100, 5)), QColor(255, 0, 0));
}

TEST(KTProgressViewTest, ProgressIsClamped) {
    KTProgressView view;
    view.setProgress(1.5f);
    EXPECT_EQ(view.progress(), 1.0f);
    view.setProgress(-0.5f);
    EXPECT_EQ(view.progress(), 0.0f);
}

TEST(KTProgressViewTest, Pictures) {
    // The default look and the updater's (#CCCCCC line and bar, clear track, no gloss).
    QImage sheet(680, 80, QImage::Format_ARGB32);
    sheet.fill(QColor(40, 44, 52));
    QPainter painter(&sheet);
    const float steps[] = {0.0f, 0.5f, 1.0f};
    for (int row = 0; row < 2; ++row) {
        KTProgressView view;
        if (row == 1) {
            view.setLineColor(QColor("#CCCCCC"));
            view.setProgressColor(QColor("#CCCCCC"));
            view.setProgressRemainingColor(Qt::transparent);
            view.setGlossy(false);
        }
        for (int i = 0; i < 3; ++i) {
            view.setProgress(steps[i]);
            view.drawInRect(painter, QRectF(20 + i * 220, 20 + row * 30, 200, 16));
        }
    }
    painter.end();
    EXPECT_TRUE(sheet.save(QDir(quorvel::test::outputDirectory()).filePath("progress-view.png")));
}

} // namespace
