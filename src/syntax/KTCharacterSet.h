#pragma once

#include <QString>
#include <QStringView>
#include <array>
#include <cstdint>

// A set of UTF-16 code units, tested per unit as the scanners of the colouring engine do. Kept as
// a bitmap so that membership is one lookup while scanning large texts.
class KTCharacterSet {
public:
    KTCharacterSet() { bits_.fill(0); }

    static KTCharacterSet letters();               // general categories L* and M*
    static KTCharacterSet alphanumerics();         // L*, M* and N*
    static KTCharacterSet whitespaceAndNewlines(); // Z*, tab, line terminators
    static KTCharacterSet symbols();               // S*
    static KTCharacterSet punctuation();           // P*
    static KTCharacterSet withCharactersInString(QStringView string);

    bool contains(char16_t c) const { return (bits_[c >> 6] >> (c & 63)) & 1; }
    bool contains(QChar c) const { return contains(c.unicode()); }
    bool isEmpty() const;

    void add(char16_t c) { bits_[c >> 6] |= uint64_t(1) << (c & 63); }
    void remove(char16_t c) { bits_[c >> 6] &= ~(uint64_t(1) << (c & 63)); }
    void addCharactersInString(QStringView string);
    void removeCharactersInString(QStringView string);
    void formUnion(const KTCharacterSet& other);

    friend bool operator==(const KTCharacterSet&, const KTCharacterSet&) = default;

private:
    std::array<uint64_t, 1024> bits_;
};
