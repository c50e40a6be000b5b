#include "mhl/Manifest.h"

#include "mhl/XmlShared.h"

#include <QXmlStreamReader>
#include <QXmlStreamWriter>
#include <algorithm>
#include <array>

namespace mhl {

namespace {

constexpr char kHashListNamespace[] = "urn:ASC:MHL:v2.0";
constexpr char kVersion[] = "2.0";

struct HashFormat {
    const char *name;
    int hexDigits; // 0: not hexadecimal
};

// Every hash format of the schema, in the order it wants them inside one hash entry.
constexpr std::array<HashFormat, 6> kFormats{{
    {"c4", 0},
    {kMd5, 32},
    {"sha1", 40},
    {kXxh128, 32},
    {"xxh3", 16},
    {"xxh64", 16},
}};

const HashFormat *formatNamed(QStringView name) {
    const auto found = std::find_if(kFormats.begin(), kFormats.end(), [&](const HashFormat &format) {
        return name == QLatin1String(format.name);
    });
    return found == kFormats.end() ? nullptr : &*found;
}

bool isHex(const QString &text) {
    return std::all_of(text.begin(), text.end(),
                       [](QChar c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

// Why `path` is no path inside the root, or nothing: it must be relative, with '/' between plain names.
std::optional<QString> pathProblem(const QString &path) {
    if (path.isEmpty())
        return QString("a hash entry has an empty path");
    for (const QString &name : path.split('/'))
        if (name.isEmpty() || name == "." || name == ".." || name.contains(QChar(0)))
            return QString("the path \"%1\" does not name a file inside the root").arg(path);
    return std::nullopt;
}

void writeHash(QXmlStreamWriter &writer, const Hash &hash) {
    writer.writeStartElement(hash.format);
    if (!hash.action.isEmpty())
        writer.writeAttribute("action", hash.action);
    if (hash.date.isValid())
        writer.writeAttribute("hashdate", xmlDate(hash.date));
    writer.writeCharacters(hash.value);
    writer.writeEndElement();
}

void writeFile(QXmlStreamWriter &writer, const FileHash &file) {
    writer.writeStartElement("hash");
    writer.writeStartElement("path");
    if (file.size >= 0)
        writer.writeAttribute("size", QString::number(file.size));
    if (file.modified.isValid())
        writer.writeAttribute("lastmodificationdate", xmlDate(file.modified));
    writer.writeCharacters(file.path);
    writer.writeEndElement();
    // In the schema's order; a format the schema does not know is not written.
    for (const HashFormat &format : kFormats)
        for (const Hash &hash : file.hashes)
            if (hash.format == QLatin1String(format.name))
                writeHash(writer, hash);
    writer.writeEndElement();
}

// Reads one manifest; the first problem ends the reading (raiseError), so every reader below stops at it.
class ManifestReader {
public:
    explicit ManifestReader(QByteArrayView xml) : reader(QByteArray::fromRawData(xml.data(), xml.size())) {}

    std::optional<Generation> read(QString &error) {
        Generation generation;
        generation.process.clear();
        readDocument(generation);
        if (!reader.hasError() && !generation.created.isValid())
            reader.raiseError("it has no creatorinfo with a creationdate");
        else if (!reader.hasError() && generation.process.isEmpty())
            reader.raiseError("it has no processinfo with a process");
        if (reader.hasError()) {
            error = readError(reader);
            return std::nullopt;
        }
        return generation;
    }

private:
    void readDocument(Generation &generation) {
        if (!readToRootElement(reader, "hashlist", kHashListNamespace))
            return;
        if (reader.attributes().value("version") != QLatin1String(kVersion)) {
            reader.raiseError(QString("it is of version \"%1\", not %2")
                                  .arg(reader.attributes().value("version"), kVersion));
            return;
        }
        while (reader.readNextStartElement()) {
            if (reader.name() == QLatin1String("creatorinfo"))
                readCreatorInfo(generation);
            else if (reader.name() == QLatin1String("processinfo"))
                readProcessInfo(generation);
            else if (reader.name() == QLatin1String("hashes"))
                readHashes(generation);
            else
                reader.skipCurrentElement();
        }
        readToEnd(reader);
    }

    QDateTime readDate(const QString &text, const char *what) {
        const QDateTime date = dateFromXml(text);
        if (!date.isValid())
            reader.raiseError(QString("the %1 \"%2\" is not a date and time").arg(what, text));
        return date;
    }

    void readCreatorInfo(Generation &generation) {
        while (reader.readNextStartElement()) {
            if (reader.name() == QLatin1String("creationdate")) {
                generation.created = readDate(reader.readElementText().trimmed(), "creationdate");
            } else if (reader.name() == QLatin1String("hostname")) {
                generation.hostname = reader.readElementText().trimmed();
            } else if (reader.name() == QLatin1String("tool")) {
                generation.toolVersion = reader.attributes().value("version").toString();
                generation.tool = reader.readElementText().trimmed();
            } else if (reader.name() == QLatin1String("author") && generation.author.isEmpty()) {
                generation.author = reader.readElementText().trimmed();
            } else {
                reader.skipCurrentElement();
            }
        }
    }

    void readProcessInfo(Generation &generation) {
        while (reader.readNextStartElement()) {
            if (reader.name() == QLatin1String("process")) {
                generation.process = reader.readElementText().trimmed();
            } else if (reader.name() == QLatin1String("ignore")) {
                while (reader.readNextStartElement()) {
                    if (reader.name() == QLatin1String("pattern"))
                        generation.ignore << reader.readElementText().trimmed();
                    else
                        reader.skipCurrentElement();
                }
            } else {
                reader.skipCurrentElement();
            }
        }
    }

    void readHashes(Generation &generation) {
        while (reader.readNextStartElement()) {
            if (reader.name() != QLatin1String("hash")) {
                reader.skipCurrentElement(); // directory hashes: this tool checks files
                continue;
            }
            FileHash file;
            if (readFile(file))
                generation.files.push_back(std::move(file));
        }
    }

    bool readFile(FileHash &file) {
        bool named = false;
        file.size = -1;
        while (reader.readNextStartElement()) {
            if (reader.name() == QLatin1String("path")) {
                readPath(file);
                named = true;
            } else if (const HashFormat *format = formatNamed(reader.name())) {
                readHash(file, *format);
            } else {
                reader.skipCurrentElement(); // previousPath, metadata
            }
        }
        if (!reader.hasError() && !named)
            reader.raiseError("a hash entry has no path");
        return !reader.hasError();
    }

    void readPath(FileHash &file) {
        const QXmlStreamAttributes attributes = reader.attributes();
        if (attributes.hasAttribute("size")) {
            bool ok = false;
            file.size = attributes.value("size").toLongLong(&ok);
            if (!ok || file.size < 0) {
                reader.raiseError(
                    QString("the size \"%1\" is not a count of bytes").arg(attributes.value("size")));
                return;
            }
        }
        if (attributes.hasAttribute("lastmodificationdate"))
            file.modified =
                readDate(attributes.value("lastmodificationdate").toString(), "lastmodificationdate");
        file.path = reader.readElementText();
        if (reader.hasError())
            return;
        if (const std::optional<QString> problem = pathProblem(file.path))
            reader.raiseError(*problem);
    }

    void readHash(FileHash &file, const HashFormat &format) {
        const QXmlStreamAttributes attributes = reader.attributes();
        Hash hash;
        hash.format = QLatin1String(format.name);
        hash.action = attributes.value("action").toString();
        if (attributes.hasAttribute("hashdate"))
            hash.date = readDate(attributes.value("hashdate").toString(), "hashdate");
        hash.value = reader.readElementText().trimmed();
        if (reader.hasError())
            return;
        if (format.hexDigits > 0) {
            hash.value = hash.value.toLower();
            if (hash.value.size() != format.hexDigits || !isHex(hash.value)) {
                reader.raiseError(QString("the %1 of %2, \"%3\", is not %4 hexadecimal digits")
                                      .arg(hash.format, file.path, hash.value)
                                      .arg(format.hexDigits));
                return;
            }
        }
        file.hashes.push_back(std::move(hash));
    }

    QXmlStreamReader reader;
};

} // namespace

QByteArray manifestXml(const Generation &generation) {
    QByteArray xml;
    QXmlStreamWriter writer(&xml);
    writer.setAutoFormatting(true);
    writer.setAutoFormattingIndent(2);
    writer.writeStartDocument();
    writer.writeStartElement("hashlist");
    writer.writeAttribute("version", kVersion);
    writer.writeDefaultNamespace(kHashListNamespace);

    writer.writeStartElement("creatorinfo");
    writer.writeTextElement("creationdate", xmlDate(generation.created));
    writer.writeTextElement("hostname", generation.hostname);
    writer.writeStartElement("tool");
    if (!generation.toolVersion.isEmpty())
        writer.writeAttribute("version", generation.toolVersion);
    writer.writeCharacters(generation.tool);
    writer.writeEndElement();
    if (!generation.author.isEmpty())
        writer.writeTextElement("author", generation.author);
    writer.writeEndElement();

    writer.writeStartElement("processinfo");
    writer.writeTextElement("process", generation.process);
    if (!generation.ignore.isEmpty()) {
        writer.writeStartElement("ignore");
        for (const QString &pattern : generation.ignore)
            writer.writeTextElement("pattern", pattern);
        writer.writeEndElement();
    }
    writer.writeEndElement();

    // The schema wants at least one entry in a hashes element: a generation without files leaves it out.
    if (!generation.files.empty()) {
        writer.writeStartElement("hashes");
        for (const FileHash &file : generation.files)
            writeFile(writer, file);
        writer.writeEndElement();
    }
    writer.writeEndDocument();
    return xml;
}

std::optional<Generation> readManifest(QByteArrayView xml, QString &error) {
    return ManifestReader(xml).read(error);
}

} // namespace mhl
