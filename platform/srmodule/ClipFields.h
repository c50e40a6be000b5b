#pragma once

// Parsing of the clip manifest's text fields into ClipRecord fields. Each parser accepts exactly the
// documented form and otherwise yields no value and a message naming the problem (the caller adds the
// file, clip and key).

#include "platform/srmodule/ClipRecord.h"

#include <QString>
#include <optional>

template <typename T> struct FieldParse {
    std::optional<T> value;
    QString error; // empty when value is set
};

// "YYYY-MM-DD hh:mm:ss.cc" or without ".cc" (hundredths 0); the date must exist in the calendar.
FieldParse<ClipDateTime> parseClipDateTime(const QString &text);

// "hh:mm:ss:ff", or "hh:mm:ss;ff"; hours 0-23, minutes and seconds 0-59, frames 0-39.
// The separator says nothing about drop frame, which the clip's own flag gives.
FieldParse<ClipTimecode> parseClipTimecode(const QString &text);

// 48 hexadecimal digits, the 24 identifier bytes in order.
FieldParse<std::array<uint8_t, kClipIdentifierSize>> parseClipIdentifier(const QString &text);

// Exactly one character in the range of one byte, e.g. "1".
FieldParse<char> parseFormatLetter(const QString &text);
