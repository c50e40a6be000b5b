#include "batch/UserMetadata.h"

#include "batch/CsvRecords.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <variant>

namespace {

const QString kClipField = QStringLiteral("clip");
const QString kForbiddenNameCharacters = QStringLiteral("={}");

QString codePoint(QChar c) {
    return QString("U+%1").arg(QString::number(c.unicode(), 16).toUpper(), 4, QChar('0'));
}

std::optional<QChar> firstControlCharacter(const QString &text) {
    for (const QChar c : text)
        if (c.category() == QChar::Other_Control)
            return c;
    return std::nullopt;
}

// The rows of a metadata file, checked as they are added: each names a clip on the recorder, once, and
// every value is acceptable. `where` heads each message (the file and line, or the JSON entry).
class ClipRows {
public:
    explicit ClipRows(const QStringList &recorderClips) : recorderClips_(recorderClips) {}

    std::optional<QString> add(const QString &where, const QString &clip, const MetadataPairs &pairs) {
        if (clip.isEmpty())
            return QString("%1: no clip name").arg(where);
        if (!recorderClips_.contains(clip))
            return QString("%1: no clip named \"%2\" on the recorder (see: vantrel-transfer list)")
                .arg(where, clip);
        if (const auto first = firstSeen_.constFind(clip); first != firstSeen_.constEnd())
            return QString("%1: clip \"%2\" is given again (first at %3)").arg(where, clip, *first);
        firstSeen_.insert(clip, where);
        MetadataPairs kept;
        for (const auto &[name, value] : pairs) {
            if (const std::optional<QString> problem = metadataValueProblem(value))
                return QString("%1: clip \"%2\", \"%3\": %4").arg(where, clip, name, *problem);
            if (!value.isEmpty())
                kept.append({name, value});
        }
        if (!kept.isEmpty())
            rows_.insert(clip, kept);
        return std::nullopt;
    }

    QHash<QString, MetadataPairs> take() { return std::move(rows_); }

private:
    const QStringList &recorderClips_;
    QHash<QString, QString> firstSeen_;
    QHash<QString, MetadataPairs> rows_;
};

// Checks the names of one header row or JSON object: each acceptable, none repeated.
std::optional<QString> namesProblem(const QString &where, const QStringList &names) {
    for (qsizetype k = 0; k < names.size(); ++k) {
        if (const std::optional<QString> problem = metadataNameProblem(names[k]))
            return QString("%1: %2").arg(where, *problem);
        for (qsizetype earlier = 0; earlier < k; ++earlier)
            if (names[earlier].compare(names[k], Qt::CaseInsensitive) == 0)
                return QString("%1: the name \"%2\" is given twice (\"%3\" before it; names ignore case)")
                    .arg(where, names[k], names[earlier]);
    }
    return std::nullopt;
}

std::variant<QHash<QString, MetadataPairs>, QString> readCsv(const QString &path, const QByteArray &bytes,
                                                             const QStringList &recorderClips) {
    const CsvRecords csv = readCsvRecords(bytes);
    if (csv.problem)
        return QString("%1:%2: %3").arg(path).arg(csv.problem->line).arg(csv.problem->problem);
    if (csv.records.empty())
        return QString("%1: empty: a header row beginning with \"clip\" is missing").arg(path);
    const CsvRecord &header = csv.records.front();
    const QString headerWhere = QString("%1:%2").arg(path).arg(header.line);
    if (header.fields.front().compare(kClipField, Qt::CaseInsensitive) != 0)
        return QString("%1: the header row's first field must be \"clip\", not \"%2\"")
            .arg(headerWhere, header.fields.front());
    const QStringList names = header.fields.mid(1);
    if (names.contains(kClipField, Qt::CaseInsensitive))
        return QString("%1: the column \"clip\" is given twice").arg(headerWhere);
    if (const std::optional<QString> problem = namesProblem(headerWhere, names))
        return *problem;
    ClipRows rows(recorderClips);
    for (size_t r = 1; r < csv.records.size(); ++r) {
        const CsvRecord &record = csv.records[r];
        const QString where = QString("%1:%2").arg(path).arg(record.line);
        if (record.fields.size() != header.fields.size())
            return QString("%1: %2 fields where the header row has %3")
                .arg(where)
                .arg(record.fields.size())
                .arg(header.fields.size());
        MetadataPairs pairs;
        for (qsizetype k = 0; k < names.size(); ++k)
            pairs.append({names[k], record.fields[k + 1]});
        if (const std::optional<QString> problem = rows.add(where, record.fields.front(), pairs))
            return *problem;
    }
    return rows.take();
}

std::variant<QHash<QString, MetadataPairs>, QString> readJson(const QString &path, const QByteArray &bytes,
                                                              const QStringList &recorderClips) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError) {
        const int line = int(bytes.left(error.offset).count('\n')) + 1;
        return QString("%1:%2: not valid JSON: %3").arg(path).arg(line).arg(error.errorString());
    }
    if (!document.isArray())
        return QString("%1: the JSON must be an array of objects, one per clip, each with \"clip\"")
            .arg(path);
    const QJsonArray entries = document.array();
    ClipRows rows(recorderClips);
    for (qsizetype e = 0; e < entries.size(); ++e) {
        const QString where = QString("%1: entry %2").arg(path).arg(e + 1);
        if (!entries[e].isObject())
            return QString("%1: not an object").arg(where);
        const QJsonObject entry = entries[e].toObject();
        if (!entry.value(kClipField).isString())
            return QString("%1: \"clip\" with the clip's name as a string is missing").arg(where);
        QStringList names;
        MetadataPairs pairs;
        for (auto member = entry.begin(); member != entry.end(); ++member) {
            if (member.key() == kClipField)
                continue;
            if (!member.value().isString())
                return QString("%1: the value of \"%2\" is not a string").arg(where, member.key());
            names << member.key();
            pairs.append({member.key(), member.value().toString()});
        }
        if (const std::optional<QString> problem = namesProblem(where, names))
            return *problem;
        if (const std::optional<QString> problem = rows.add(where, entry.value(kClipField).toString(), pairs))
            return *problem;
    }
    return rows.take();
}

} // namespace

std::optional<QString> metadataNameProblem(const QString &name) {
    if (name.isEmpty())
        return QString("a metadata name is empty");
    if (name.size() > kMaximumMetadataNameLength)
        return QString("the name \"%1...\" is longer than %2 characters")
            .arg(name.left(32))
            .arg(kMaximumMetadataNameLength);
    if (const std::optional<QChar> control = firstControlCharacter(name))
        return QString("the name \"%1\" holds a control character (%2)").arg(name, codePoint(*control));
    for (const QChar c : kForbiddenNameCharacters)
        if (name.contains(c))
            return QString("the name \"%1\" holds \"%2\" (names hold no \"=\", \"{\" or \"}\")").arg(name, c);
    if (name.front().isSpace() || name.back().isSpace())
        return QString("the name \"%1\" begins or ends with a space").arg(name);
    return std::nullopt;
}

std::optional<QString> metadataValueProblem(const QString &value) {
    if (value.size() > kMaximumMetadataValueLength)
        return QString("the value is longer than %1 characters").arg(kMaximumMetadataValueLength);
    if (const std::optional<QChar> control = firstControlCharacter(value))
        return QString("the value holds a control character (%1; tabs and line breaks are not allowed "
                       "either)")
            .arg(codePoint(*control));
    return std::nullopt;
}

ParsedSetting parseSetting(const QString &argument) {
    const qsizetype equals = argument.indexOf('=');
    if (equals < 0)
        return {std::nullopt, QString("\"%1\" is not NAME=VALUE").arg(argument)};
    const QString name = argument.left(equals), value = argument.mid(equals + 1);
    if (const std::optional<QString> problem = metadataNameProblem(name))
        return {std::nullopt, *problem};
    if (value.isEmpty())
        return {std::nullopt, QString("\"%1\" has no value").arg(name)};
    if (const std::optional<QString> problem = metadataValueProblem(value))
        return {std::nullopt, QString("\"%1\": %2").arg(name, *problem)};
    return {QPair<QString, QString>{name, value}, {}};
}

std::optional<QString> UserMetadata::setBatchPairs(const MetadataPairs &pairs, const QString &source) {
    MetadataPairs checked;
    for (const auto &[name, value] : pairs) {
        if (const std::optional<QString> problem = metadataNameProblem(name))
            return QString("%1: %2").arg(source, *problem);
        if (value.isEmpty())
            return QString("%1: \"%2\" has no value").arg(source, name);
        if (const std::optional<QString> problem = metadataValueProblem(value))
            return QString("%1: \"%2\": %3").arg(source, name, *problem);
        if (const qsizetype earlier = metadataIndex(checked, name); earlier >= 0)
            return QString("%1: the name \"%2\" is given twice (\"%3\" before it; names ignore case)")
                .arg(source, name, checked[earlier].first);
        checked.append({name, value});
    }
    batch = checked;
    return std::nullopt;
}

std::optional<QString> UserMetadata::readFile(const QString &path, const QStringList &recorderClips) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString("%1: cannot be read: %2").arg(path, file.errorString());
    const QByteArray bytes = file.read(kMaximumMetadataFileSize + 1);
    if (bytes.size() > kMaximumMetadataFileSize)
        return QString("%1: larger than %2 MiB").arg(path).arg(kMaximumMetadataFileSize / (1024 * 1024));
    const bool json = QFileInfo(path).suffix().compare("json", Qt::CaseInsensitive) == 0;
    auto read = json ? readJson(path, bytes, recorderClips) : readCsv(path, bytes, recorderClips);
    if (const QString *problem = std::get_if<QString>(&read))
        return *problem;
    perClip = std::get<QHash<QString, MetadataPairs>>(std::move(read));
    return std::nullopt;
}

MetadataPairs UserMetadata::pairsFor(const QString &clip) const {
    MetadataPairs pairs = batch;
    for (const QPair<QString, QString> &own : perClip.value(clip)) {
        if (const qsizetype k = metadataIndex(pairs, own.first); k >= 0)
            pairs[k] = own;
        else
            pairs.append(own);
    }
    return pairs;
}

MetadataPairs UserMetadata::pairsFor(const SRFileInfo &clip) const {
    return pairsFor(QString::fromUtf8(clip.fileName.data(), qsizetype(clip.fileName.size())));
}
