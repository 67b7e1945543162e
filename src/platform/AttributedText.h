#pragma once

#include <QColor>
#include <QFont>
#include <QFontMetricsF>
#include <QRawFont>
#include <QString>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>

// A (location, length) pair as the text-layout engine counts: UTF-16 units, signed like its
// own ranges. A length of 0 in a typesetting request means "up to the end".
struct CFRange {
    int64_t location = 0;
    int64_t length = 0;
    friend bool operator==(const CFRange&, const CFRange&) = default;
};

inline CFRange CFRangeMake(int64_t location, int64_t length) {
    return CFRange{location, length};
}

// The text-layout engine's font object: a family name and a point size, with what the
// typesetter needs to measure text quickly. Fonts of the same name and size are one object.
class CTFont {
public:
    CTFont(const QString& name, qreal pointSize);

    const QString& name() const { return name_; }
    qreal pointSize() const { return pointSize_; }
    const QFont& font() const { return font_; }
    const QFontMetricsF& metrics() const { return metrics_; }
    const QRawFont& rawFont() const { return rawFont_; }

    qreal ascent() const { return ascent_; }
    qreal descent() const { return descent_; }
    qreal leading() const { return leading_; }

    // When every printable ASCII character advances by the same amount, that advance;
    // otherwise 0. Runs of such characters are measured arithmetically.
    qreal asciiAdvance() const { return asciiAdvance_; }
    // Glyph index of a printable ASCII character (0x20..0x7e).
    quint32 asciiGlyph(char16_t c) const { return asciiGlyphs_[c - 0x20]; }

private:
    QString name_;
    qreal pointSize_;
    QFont font_;
    QFontMetricsF metrics_;
    QRawFont rawFont_;
    qreal ascent_ = 0;
    qreal descent_ = 0;
    qreal leading_ = 0;
    qreal asciiAdvance_ = 0;
    std::array<quint32, 95> asciiGlyphs_{};
};

using CTFontRef = std::shared_ptr<const CTFont>;

// A font of the given family and point size (shared: equal requests give the same object).
CTFontRef CTFontCreateWithName(const QString& name, qreal pointSize);

// The attribute keys the text system uses on runs.
enum class CTAttributeName { Font, ForegroundColor };
inline constexpr CTAttributeName kCTFontAttributeName = CTAttributeName::Font;
inline constexpr CTAttributeName kCTForegroundColorAttributeName = CTAttributeName::ForegroundColor;

// The attributes of one run: a dictionary with at most the two keys above. An absent entry is
// a null font or an empty optional colour.
struct TextAttributes {
    CTFontRef font;
    std::optional<QColor> foregroundColor;

    bool isEmpty() const { return !font && !foregroundColor; }
    friend bool operator==(const TextAttributes& a, const TextAttributes& b) {
        return a.font == b.font && a.foregroundColor == b.foregroundColor;
    }
};

// Read access to an attributed string, as the typesetter needs it. Implementations hand out
// pieces on request so that typesetting part of a long text never copies the rest of it.
class AttributedText {
public:
    virtual ~AttributedText() = default;
    virtual uint32_t length() const = 0;
    virtual QChar characterAtIndex(uint32_t index) const = 0;
    // Copies `length` characters starting at `location` into `buffer`.
    virtual void getCharacters(QChar* buffer, uint32_t location, uint32_t length) const = 0;
    // The attributes at `index` (< length) and the run they belong to, [*runStart, *runEnd).
    virtual const TextAttributes& runAttributesAtIndex(uint32_t index, uint32_t* runStart,
                                                       uint32_t* runEnd) const = 0;
};
