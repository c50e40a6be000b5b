#include "mhl/XmlShared.h"

#include <QTimeZone>

namespace mhl {

QString xmlDate(const QDateTime &date) {
    if (!date.isValid())
        return QString();
    return date.toUTC().toString("yyyy-MM-dd'T'HH:mm:ss'Z'");
}

QDateTime dateFromXml(const QString &text) {
    const QDateTime date = QDateTime::fromString(text, Qt::ISODateWithMs);
    return date.isValid() ? date.toUTC() : QDateTime();
}

QDateTime wholeSecondsUtc(const QDateTime &date) {
    if (!date.isValid())
        return QDateTime();
    return QDateTime::fromSecsSinceEpoch(date.toSecsSinceEpoch(), QTimeZone::utc());
}

bool readToRootElement(QXmlStreamReader &reader, const char *name, const char *namespaceUri) {
    while (!reader.atEnd() && !reader.hasError()) {
        reader.readNext();
        if (reader.isDTD()) {
            reader.raiseError("it declares a document type, which an ASC MHL file does not");
            return false;
        }
        if (!reader.isStartElement())
            continue;
        if (reader.name() == QLatin1String(name) && reader.namespaceUri() == QLatin1String(namespaceUri))
            return true;
        reader.raiseError(QString("its root element is \"%1\" in \"%2\", not %3 of %4")
                              .arg(reader.name(), reader.namespaceUri(), name, namespaceUri));
        return false;
    }
    if (!reader.hasError())
        reader.raiseError("it holds no element");
    return false;
}

void readToEnd(QXmlStreamReader &reader) {
    while (!reader.hasError() && !reader.atEnd())
        reader.readNext();
}

QString readError(const QXmlStreamReader &reader) {
    return QString("line %1: %2").arg(reader.lineNumber()).arg(reader.errorString());
}

} // namespace mhl
