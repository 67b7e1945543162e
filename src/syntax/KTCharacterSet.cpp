#include "syntax/KTCharacterSet.h"

#include <QChar>
#include <functional>

namespace {

KTCharacterSet build(const std::function<bool(char32_t)>& test) {
    KTCharacterSet set;
    for (char32_t c = 0; c < 0x10000; ++c) {
        if (test(c))
            set.add(char16_t(c));
    }
    return set;
}

bool isLetterOrMark(char32_t c) {
    switch (QChar::category(c)) {
    case QChar::Letter_Uppercase:
    case QChar::Letter_Lowercase:
    case QChar::Letter_Titlecase:
    case QChar::Letter_Modifier:
    case QChar::Letter_Other:
    case QChar::Mark_NonSpacing:
    case QChar::Mark_SpacingCombining:
    case QChar::Mark_Enclosing:
        return true;
    default:
        return false;
    }
}

bool isNumber(char32_t c) {
    const auto cat = QChar::category(c);
    return cat == QChar::Number_DecimalDigit || cat == QChar::Number_Letter ||
           cat == QChar::Number_Other;
}

} // namespace

KTCharacterSet KTCharacterSet::letters() {
    static const KTCharacterSet set = build(isLetterOrMark);
    return set;
}

KTCharacterSet KTCharacterSet::alphanumerics() {
    static const KTCharacterSet set =
        build([](char32_t c) { return isLetterOrMark(c) || isNumber(c); });
    return set;
}

KTCharacterSet KTCharacterSet::whitespaceAndNewlines() {
    static const KTCharacterSet set = build([](char32_t c) {
        const auto cat = QChar::category(c);
        return (c >= 0x09 && c <= 0x0d) || c == 0x85 || cat == QChar::Separator_Space ||
               cat == QChar::Separator_Line || cat == QChar::Separator_Paragraph;
    });
    return set;
}

KTCharacterSet KTCharacterSet::symbols() {
    static const KTCharacterSet set = build([](char32_t c) {
        const auto cat = QChar::category(c);
        return cat == QChar::Symbol_Math || cat == QChar::Symbol_Currency ||
               cat == QChar::Symbol_Modifier || cat == QChar::Symbol_Other;
    });
    return set;
}

KTCharacterSet KTCharacterSet::punctuation() {
    static const KTCharacterSet set = build([](char32_t c) {
        switch (QChar::category(c)) {
        case QChar::Punctuation_Connector:
        case QChar::Punctuation_Dash:
        case QChar::Punctuation_Open:
        case QChar::Punctuation_Close:
        case QChar::Punctuation_InitialQuote:
        case QChar::Punctuation_FinalQuote:
        case QChar::Punctuation_Other:
            return true;
        default:
            return false;
        }
    });
    return set;
}

KTCharacterSet KTCharacterSet::withCharactersInString(QStringView string) {
    KTCharacterSet set;
    set.addCharactersInString(string);
    return set;
}

bool KTCharacterSet::isEmpty() const {
    for (uint64_t word : bits_) {
        if (word)
            return false;
    }
    return true;
}

void KTCharacterSet::addCharactersInString(QStringView string) {
    for (QChar c : string)
        add(c.unicode());
}

void KTCharacterSet::removeCharactersInString(QStringView string) {
    for (QChar c : string)
        remove(c.unicode());
}

void KTCharacterSet::formUnion(const KTCharacterSet& other) {
    for (size_t i = 0; i < bits_.size(); ++i)
        bits_[i] |= other.bits_[i];
}
