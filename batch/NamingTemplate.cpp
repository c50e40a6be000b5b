#include "batch/NamingTemplate.h"

#include "batch/OutputCollisions.h"
#include "recorder/FileInfoDecoding.h"

#include <algorithm>
#include <iterator>
#include <string>
#include <utility>

namespace {

const char kMetaPrefix[] = "meta:";

std::string bytesOf(const QString &text) {
    return text.toUtf8().toStdString();
}

// "hh:mm:ss:ff " (or with "," before the frames for drop frame) as "hh-mm-ss-ff".
std::string startOf(const SRFileInfo &clip) {
    std::string start;
    for (const char c : clip.startText)
        if (c != ' ')
            start += c == ':' || c == ',' || c == ';' || c == '.' ? '-' : c;
    return start;
}

std::string dateOf(const SRFileInfo &clip) {
    return QString::asprintf("%04u-%02u-%02u", unsigned(clip.dateTime1.year), unsigned(clip.dateTime1.month),
                             unsigned(clip.dateTime1.day))
        .toStdString();
}

} // namespace

NamingTemplate::NamingTemplate() : parts{{{Field::Reel, {}}}, {{Field::Clip, {}}}}, source(kDefault) {}

std::optional<NamingTemplate> NamingTemplate::parse(const QString &text, QString &error) {
    // The fields by name, in the order messages list them.
    static const std::pair<QString, Field> kFields[] = {
        {"volume", Field::Volume}, {"reel", Field::Reel},     {"clip", Field::Clip},  {"start", Field::Start},
        {"date", Field::Date},     {"format", Field::Format}, {"index", Field::Index}};
    const auto fail = [&error, &text](const QString &why) {
        error = QString("the naming template \"%1\" %2").arg(text, why);
        return std::nullopt;
    };
    NamingTemplate naming;
    naming.parts.assign(1, Part());
    naming.source = text;
    for (qsizetype at = 0; at < text.size(); ++at) {
        const QChar c = text[at];
        Part &part = naming.parts.back();
        if (c == u'/') {
            naming.parts.emplace_back();
        } else if (c == u'}') {
            return fail(QString("has a \"}\" without its \"{\" at character %1").arg(at + 1));
        } else if (c != u'{') {
            if (part.empty() || part.back().field != Field::Text)
                part.push_back({Field::Text, {}});
            part.back().text += c;
        } else {
            const qsizetype close = text.indexOf(u'}', at + 1);
            const qsizetype nextOpen = text.indexOf(u'{', at + 1);
            if (close < 0 || (nextOpen >= 0 && nextOpen < close))
                return fail(QString("has a \"{\" without its \"}\" at character %1").arg(at + 1));
            const QString name = text.mid(at + 1, close - at - 1);
            if (name.startsWith(kMetaPrefix)) {
                const QString metaName = name.mid(qsizetype(sizeof kMetaPrefix) - 1);
                if (metaName.isEmpty())
                    return fail("has {meta:} without a metadata name");
                part.push_back({Field::Meta, metaName});
            } else if (const auto known =
                           std::find_if(std::begin(kFields), std::end(kFields),
                                        [&name](const auto &field) { return field.first == name; });
                       known != std::end(kFields)) {
                part.push_back({known->second, {}});
            } else {
                QStringList names;
                for (const auto &field : kFields)
                    names << "{" + field.first + "}";
                return fail(QString("has the unknown field {%1} (known: %2 and {meta:NAME})")
                                .arg(name, names.join(", ")));
            }
            at = close;
        }
    }
    for (size_t k = 0; k < naming.parts.size(); ++k) {
        const Part &part = naming.parts[k];
        const bool onlyText = part.size() == 1 && part.front().field == Field::Text;
        if (part.empty())
            return fail(QString("has an empty name at part %1 (between \"/\")").arg(k + 1));
        if (onlyText && (part.front().text == "." || part.front().text == ".."))
            return fail(QString("has \"%1\" as a name at part %2").arg(part.front().text).arg(k + 1));
    }
    return naming;
}

std::optional<OutputPath> NamingTemplate::outputPath(const QString &destination, const SRFileInfo &clip,
                                                     int index, const MetadataPairs &metadata,
                                                     QString &error) const {
    std::vector<std::string> names;
    for (const Part &part : parts) {
        std::string name;
        for (const Piece &piece : part) {
            switch (piece.field) {
            case Field::Text:
                name += bytesOf(piece.text);
                break;
            case Field::Volume:
                name += volumeName(clip).toLatin1().toStdString();
                break;
            case Field::Reel:
                name += clip.secondName;
                break;
            case Field::Clip:
                name += clip.fileName;
                break;
            case Field::Start:
                name += startOf(clip);
                break;
            case Field::Date:
                name += dateOf(clip);
                break;
            case Field::Format:
                name += clip.formatText;
                break;
            case Field::Index:
                name += std::to_string(index);
                break;
            case Field::Meta: {
                const std::optional<QString> value = metadataValue(metadata, piece.text);
                if (!value) {
                    error = QString("the clip %1 has no metadata value for {meta:%2} of the naming template")
                                .arg(quotedClipName(clip), piece.text);
                    return std::nullopt;
                }
                name += bytesOf(*value);
                break;
            }
            }
        }
        names.push_back(std::move(name));
    }
    std::optional<OutputPath> path = outputPathFor(destination, names);
    if (!path)
        error = "no destination folder";
    return path;
}

BatchOutputs batchOutputPaths(const std::vector<SRFileInfo> &clips, const QString &destination,
                              const NamingTemplate &naming, const MetadataOf &metadataOf) {
    BatchOutputs outputs;
    for (size_t k = 0; k < clips.size(); ++k) {
        QString error;
        std::optional<OutputPath> path = naming.outputPath(
            destination, clips[k], int(k + 1), metadataOf ? metadataOf(clips[k]) : MetadataPairs(), error);
        if (!path) {
            outputs.problem = error;
            return outputs;
        }
        outputs.paths.push_back(std::move(*path));
    }
    outputs.problem = outputCollision(clips, outputs.paths);
    return outputs;
}
