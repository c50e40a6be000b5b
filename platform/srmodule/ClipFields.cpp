#include "platform/srmodule/ClipFields.h"

#include <QRegularExpression>

namespace {

template <typename T> FieldParse<T> failure(const QString &message) {
    return {std::nullopt, message};
}

bool isLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(int year, int month) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : kDays[month - 1];
}

// Checks one numeric field against its range; an empty result means it fits.
QString outOfRange(const QString &text, const char *what, int value, int lowest, int highest) {
    if (value >= lowest && value <= highest)
        return {};
    return QStringLiteral("\"%1\" has %2 %3; expected %4 to %5")
        .arg(text, QLatin1String(what))
        .arg(value)
        .arg(lowest)
        .arg(highest);
}

} // namespace

FieldParse<ClipDateTime> parseClipDateTime(const QString &text) {
    static const QRegularExpression pattern(QStringLiteral(
        R"(^([0-9]{4})-([0-9]{2})-([0-9]{2}) ([0-9]{2}):([0-9]{2}):([0-9]{2})(?:\.([0-9]{2}))?$)"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return failure<ClipDateTime>(
            QStringLiteral("\"%1\" is not a date-time of the form YYYY-MM-DD hh:mm:ss.cc").arg(text));
    const auto number = [&match](int group) { return match.captured(group).toInt(); };
    const int year = number(1);
    const int month = number(2);
    QString problem = outOfRange(text, "month", month, 1, 12);
    if (problem.isEmpty())
        problem = outOfRange(text, "day", number(3), 1, daysInMonth(year, month));
    if (problem.isEmpty())
        problem = outOfRange(text, "hour", number(4), 0, 23);
    if (problem.isEmpty())
        problem = outOfRange(text, "minute", number(5), 0, 59);
    if (problem.isEmpty())
        problem = outOfRange(text, "second", number(6), 0, 59);
    if (!problem.isEmpty())
        return failure<ClipDateTime>(problem);
    ClipDateTime date;
    date.year = uint16_t(year);
    date.month = uint8_t(month);
    date.day = uint8_t(number(3));
    date.hour = uint8_t(number(4));
    date.minute = uint8_t(number(5));
    date.second = uint8_t(number(6));
    date.hundredths = uint8_t(number(7)); // an absent group reads as 0
    return {date, {}};
}

FieldParse<ClipTimecode> parseClipTimecode(const QString &text) {
    static const QRegularExpression pattern(
        QStringLiteral(R"(^([0-9]{2}):([0-9]{2}):([0-9]{2})[:;]([0-9]{2})$)"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return failure<ClipTimecode>(
            QStringLiteral("\"%1\" is not a timecode of the form hh:mm:ss:ff or hh:mm:ss;ff").arg(text));
    const auto number = [&match](int group) { return match.captured(group).toInt(); };
    QString problem = outOfRange(text, "hours", number(1), 0, 23);
    if (problem.isEmpty())
        problem = outOfRange(text, "minutes", number(2), 0, 59);
    if (problem.isEmpty())
        problem = outOfRange(text, "seconds", number(3), 0, 59);
    if (problem.isEmpty())
        problem = outOfRange(text, "frames", number(4), 0, 39);
    if (!problem.isEmpty())
        return failure<ClipTimecode>(problem);
    return {ClipTimecode{uint8_t(number(1)), uint8_t(number(2)), uint8_t(number(3)), uint8_t(number(4))}, {}};
}

FieldParse<std::array<uint8_t, kClipIdentifierSize>> parseClipIdentifier(const QString &text) {
    using Identifier = std::array<uint8_t, kClipIdentifierSize>;
    static const QRegularExpression pattern(QStringLiteral("^[0-9A-Fa-f]{%1}$").arg(2 * kClipIdentifierSize));
    if (!pattern.match(text).hasMatch())
        return failure<Identifier>(QStringLiteral("\"%1\" is not an identifier of %2 hexadecimal digits")
                                       .arg(text)
                                       .arg(2 * kClipIdentifierSize));
    const QByteArray bytes = QByteArray::fromHex(text.toLatin1());
    Identifier identifier{};
    std::copy(bytes.cbegin(), bytes.cend(), identifier.begin());
    return {identifier, {}};
}

FieldParse<char> parseFormatLetter(const QString &text) {
    if (text.size() != 1 || text.at(0).unicode() > 0xFF)
        return failure<char>(QStringLiteral("\"%1\" is not a single one-byte format letter").arg(text));
    return {char(text.at(0).unicode()), {}};
}
