#pragma once

#include <QColor>
#include <QString>
#include <cstdint>
#include <optional>

// Colour helpers used by themes, the code view and the upgrade migration: colour strings as the
// theme files write them, luminance, and component arithmetic.
struct UIColorKT {
    // "#RRGGBB", "RRGGBB", "0xRRGGBB" and longer hex numbers (only the low 24 bits count).
    // Leading white space is allowed; reading stops at the first character that is no hex digit.
    // None when the string does not start with a hex digit.
    static std::optional<QColor> colorWithHexString(const QString& string);
    // Red, green and blue from bits 16-23, 8-15 and 0-7; opaque.
    static QColor colorWithRGBHex(uint32_t hex);

    // 0.2126 R + 0.7152 G + 0.0722 B; 0 (with a warning) for a colour without components.
    static double luminance(const QColor& color);
    static bool isDark(const QColor& color) { return luminance(color) < 0.5; }
    static bool isLight(const QColor& color) { return !isDark(color); }

    // Each component multiplied by its factor and clamped to 0...1; none without components.
    static std::optional<QColor> colorByMultiplyingBy(const QColor& color, double factor);
    static std::optional<QColor> colorByMultiplyingByRed(const QColor& color, double red,
                                                         double green, double blue, double alpha);
};
