#include "core/UIColorKT.h"

#include <QtDebug>
#include <algorithm>

namespace {

int hexDigitValue(QChar c) {
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

bool isScanSpace(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f' || c == u'\v' ||
           c.category() == QChar::Separator_Space || c == QChar(0x85) || c == QChar(0x2028) ||
           c == QChar(0x2029);
}

// A hexadecimal scan as the platform's string scanner does it: white space skipped, optional
// "0x", digits up to the first other character; an overflowing number saturates.
std::optional<uint32_t> scanHex(QStringView s) {
    qsizetype i = 0;
    while (i < s.size() && isScanSpace(s[i]))
        ++i;
    if (i + 2 < s.size() && s[i] == u'0' && (s[i + 1] == u'x' || s[i + 1] == u'X') &&
        hexDigitValue(s[i + 2]) >= 0)
        i += 2;
    if (i >= s.size() || hexDigitValue(s[i]) < 0)
        return std::nullopt;
    uint64_t value = 0;
    for (; i < s.size(); ++i) {
        const int digit = hexDigitValue(s[i]);
        if (digit < 0)
            break;
        value = std::min<uint64_t>((value << 4) | uint64_t(digit), 0xffffffffull + 1);
    }
    return uint32_t(std::min<uint64_t>(value, 0xffffffffull));
}

bool hasComponents(const QColor& color) {
    return color.isValid();
}

} // namespace

std::optional<QColor> UIColorKT::colorWithHexString(const QString& string) {
    QStringView view(string);
    if (view.startsWith(u'#'))
        view = view.mid(1);
    const std::optional<uint32_t> hex = scanHex(view);
    if (!hex)
        return std::nullopt;
    return colorWithRGBHex(*hex);
}

QColor UIColorKT::colorWithRGBHex(uint32_t hex) {
    return QColor::fromRgbF(float(((hex >> 16) & 0xff) / 255.0), float(((hex >> 8) & 0xff) / 255.0),
                            float((hex & 0xff) / 255.0), 1.0f);
}

double UIColorKT::luminance(const QColor& color) {
    if (!hasComponents(color)) {
        qWarning("Must be a RGB color to use luminance");
        return 0;
    }
    const QColor rgb = color.toRgb();
    return 0.2126 * rgb.redF() + 0.7152 * rgb.greenF() + 0.0722 * rgb.blueF();
}

std::optional<QColor> UIColorKT::colorByMultiplyingBy(const QColor& color, double factor) {
    return colorByMultiplyingByRed(color, factor, factor, factor, 1.0);
}

std::optional<QColor> UIColorKT::colorByMultiplyingByRed(const QColor& color, double red,
                                                         double green, double blue, double alpha) {
    if (!hasComponents(color)) {
        qWarning("Must be a RGB color to use arithmetic operations");
        return std::nullopt;
    }
    const QColor rgb = color.toRgb();
    auto clamp = [](double v) { return float(std::clamp(v, 0.0, 1.0)); };
    return QColor::fromRgbF(clamp(rgb.redF() * red), clamp(rgb.greenF() * green),
                            clamp(rgb.blueF() * blue), clamp(rgb.alphaF() * alpha));
}
