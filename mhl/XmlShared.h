#pragma once

// What the manifest and chain readers and writers share: dates and times as the ASC MHL files write them
// (UTC, whole seconds, "2026-12-07T23:10:42Z"), and the start and end of reading a file of untrusted text.

#include <QDateTime>
#include <QString>
#include <QXmlStreamReader>

namespace mhl {

// `date` in UTC as "yyyy-MM-ddTHH:mm:ssZ" (fractions of a second dropped); empty when it is invalid.
QString xmlDate(const QDateTime &date);
// An XML Schema dateTime (any offset, fractions allowed) in UTC; invalid when `text` is none.
QDateTime dateFromXml(const QString &text);
// `date` in UTC with the fractions of a second dropped, as a manifest keeps it.
QDateTime wholeSecondsUtc(const QDateTime &date);

// Reads up to the root element; false, with an error raised on `reader`, when there is none, when it is not
// `name` in `namespaceUri`, or when a document type declaration (which no ASC MHL file has, and whose
// entities a hostile file would use) comes first.
bool readToRootElement(QXmlStreamReader &reader, const char *name, const char *namespaceUri);
// Reads what follows the root element, which must be well-formed too (a truncated file is not).
void readToEnd(QXmlStreamReader &reader);
// The reader's error with its line, "line N: what".
QString readError(const QXmlStreamReader &reader);

} // namespace mhl
