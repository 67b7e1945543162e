#pragma once

#include <QString>

#include <cstdint>

// A document's line-ending convention, by the values a document keeps in `lineEnding`.
// CR LF documents are edited with LF alone and get their CR back when written.
namespace LineEndings {

constexpr int32_t LF = 10;
constexpr int32_t CR = 13;
constexpr int32_t CRLF = 8232; // a marker value only: 8232 is not the character written

// The convention of the text's first line break; `previous` when the text has none.
int32_t detect(const QString& text, int32_t previous);

// The text as it is edited: with CR LF, every CR LF becomes LF; other conventions are kept as
// they are (a file that mixes conventions keeps the other breaks).
QString textForEditing(const QString& text, int32_t lineEnding);

// The text as it is written: with CR LF, every LF becomes CR LF; otherwise unchanged.
QString textForSaving(const QString& text, int32_t lineEnding);

} // namespace LineEndings
