#include "core/UIColorKT.h"

#include <gtest/gtest.h>

namespace {

struct HexCase {
    const char* string;
    std::optional<uint32_t> rgb;
};

TEST(UIColorKT, ReadsColourStrings) {
    const HexCase cases[] = {
        {"#1a2B3c", 0x1a2b3c},
        {"1a2B3c", 0x1a2b3c},
        {"0x1a2B3c", 0x1a2b3c},
        {"0X1A2B3C", 0x1a2b3c},
        {"  1a2b3c", 0x1a2b3c},
        {"#  1a2b3c", 0x1a2b3c},
        {"  #1a2b3c", std::nullopt},
        {"#ff1a2b3c", 0x1a2b3c},
        {"#12345678", 0x345678},
        {"#abc", 0x000abc},
        {"#1a2b3czz", 0x1a2b3c},
        {"#fff fff", 0x000fff},
        {"0", 0x000000},
        {"#G12345", std::nullopt},
        {"zebra", std::nullopt},
        {"", std::nullopt},
        {"#", std::nullopt},
        {"-12", std::nullopt},
        {"#ffffffffff", 0xffffff},
    };
    for (const HexCase& c : cases) {
        SCOPED_TRACE(c.string);
        const auto color = UIColorKT::colorWithHexString(QString::fromLatin1(c.string));
        ASSERT_EQ(color.has_value(), c.rgb.has_value());
        if (c.rgb) {
            EXPECT_EQ(color->rgb() & 0xffffff, *c.rgb);
            EXPECT_EQ(color->alpha(), 255);
        }
    }
}

TEST(UIColorKT, LuminanceAndDarkness) {
    EXPECT_DOUBLE_EQ(UIColorKT::luminance(Qt::white), 1.0);
    EXPECT_DOUBLE_EQ(UIColorKT::luminance(Qt::black), 0.0);
    EXPECT_NEAR(UIColorKT::luminance(QColor(255, 0, 0)), 0.2126, 1e-6);
    EXPECT_NEAR(UIColorKT::luminance(QColor(0, 255, 0)), 0.7152, 1e-6);
    EXPECT_NEAR(UIColorKT::luminance(QColor(0, 0, 255)), 0.0722, 1e-6);
    // A colour given in another model is read through its RGB components.
    EXPECT_NEAR(UIColorKT::luminance(QColor::fromHsvF(0, 0, 1)), 1.0, 1e-6);
    EXPECT_TRUE(UIColorKT::isDark(QColor(0x28, 0x21, 0x1c)));
    EXPECT_TRUE(UIColorKT::isLight(QColor(0xfb, 0xf8, 0xf1)));
    // Green alone is light, red alone is dark: the weights matter, not the sum.
    EXPECT_TRUE(UIColorKT::isLight(QColor(0, 255, 0)));
    EXPECT_TRUE(UIColorKT::isDark(QColor(255, 0, 0)));
    // No components: luminance 0 (so "dark"), arithmetic gives none.
    EXPECT_EQ(UIColorKT::luminance(QColor()), 0.0);
    EXPECT_FALSE(UIColorKT::colorByMultiplyingBy(QColor(), 1.5).has_value());
}

TEST(UIColorKT, MultiplyingClampsEachComponent) {
    const auto lighter = UIColorKT::colorByMultiplyingBy(QColor(100, 200, 40), 1.5);
    ASSERT_TRUE(lighter);
    EXPECT_EQ(lighter->red(), 150);
    EXPECT_EQ(lighter->green(), 255);
    EXPECT_EQ(lighter->blue(), 60);
    EXPECT_EQ(lighter->alpha(), 255);
    const auto darker = UIColorKT::colorByMultiplyingBy(QColor(100, 200, 40), 0.9);
    ASSERT_TRUE(darker);
    EXPECT_EQ(darker->red(), 90);
    EXPECT_EQ(darker->green(), 180);
    EXPECT_EQ(darker->blue(), 36);
    const auto mixed =
        UIColorKT::colorByMultiplyingByRed(QColor(100, 100, 100, 200), 2, 0.5, -1, 0.5);
    ASSERT_TRUE(mixed);
    EXPECT_EQ(mixed->red(), 200);
    EXPECT_EQ(mixed->green(), 50);
    EXPECT_EQ(mixed->blue(), 0);
    EXPECT_EQ(mixed->alpha(), 100);
}

} // namespace
