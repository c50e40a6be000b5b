#include "mhl/Chain.h"

#include "mhl/XmlShared.h"

#include <QSet>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

namespace mhl {

namespace {

constexpr char kDirectoryNamespace[] = "urn:ASC:MHL:DIRECTORY:v2.0";

bool isPlainFileName(const QString &name) {
    return !name.isEmpty() && name != "." && name != ".." && !name.contains('/') && !name.contains(QChar(0));
}

class ChainReader {
public:
    explicit ChainReader(QByteArrayView xml) : reader(QByteArray::fromRawData(xml.data(), xml.size())) {}

    std::optional<std::vector<ChainEntry>> read(QString &error) {
        readDocument();
        if (reader.hasError()) {
            error = readError(reader);
            return std::nullopt;
        }
        return std::move(entries);
    }

private:
    void readDocument() {
        if (!readToRootElement(reader, "ascmhldirectory", kDirectoryNamespace))
            return;
        while (reader.readNextStartElement()) {
            if (reader.name() == QLatin1String("hashlist"))
                readEntry();
            else
                reader.skipCurrentElement();
        }
        readToEnd(reader);
    }

    void readEntry() {
        ChainEntry entry;
        bool ok = false;
        const QStringView number = reader.attributes().value("sequencenr");
        entry.sequence = number.toInt(&ok);
        if (!ok || entry.sequence < 1) {
            reader.raiseError(QString("the sequencenr \"%1\" is not a generation number").arg(number));
            return;
        }
        while (reader.readNextStartElement()) {
            if (reader.name() == QLatin1String("path"))
                entry.path = reader.readElementText();
            else if (reader.name() == QLatin1String("c4"))
                entry.c4 = reader.readElementText().trimmed();
            else
                reader.skipCurrentElement();
        }
        if (reader.hasError())
            return;
        if (!isPlainFileName(entry.path))
            reader.raiseError(QString("generation %1 has the path \"%2\", not a file name in the folder")
                                  .arg(entry.sequence)
                                  .arg(entry.path));
        else if (entry.c4.isEmpty())
            reader.raiseError(QString("generation %1 has no c4").arg(entry.sequence));
        else if (numbers.contains(entry.sequence) || paths.contains(entry.path))
            reader.raiseError(
                QString("generation %1 (%2) is listed twice").arg(entry.sequence).arg(entry.path));
        else {
            numbers.insert(entry.sequence);
            paths.insert(entry.path);
            entries.push_back(std::move(entry));
        }
    }

    QXmlStreamReader reader;
    std::vector<ChainEntry> entries;
    QSet<int> numbers;
    QSet<QString> paths;
};

} // namespace

QByteArray chainXml(const std::vector<ChainEntry> &entries) {
    QByteArray xml;
    QXmlStreamWriter writer(&xml);
    writer.setAutoFormatting(true);
    writer.setAutoFormattingIndent(2);
    writer.writeStartDocument();
    writer.writeStartElement("ascmhldirectory");
    writer.writeDefaultNamespace(kDirectoryNamespace);
    for (const ChainEntry &entry : entries) {
        writer.writeStartElement("hashlist");
        writer.writeAttribute("sequencenr", QString::number(entry.sequence));
        writer.writeTextElement("path", entry.path);
        writer.writeTextElement("c4", entry.c4);
        writer.writeEndElement();
    }
    writer.writeEndDocument();
    return xml;
}

std::optional<std::vector<ChainEntry>> readChain(QByteArrayView xml, QString &error) {
    return ChainReader(xml).read(error);
}

} // namespace mhl
