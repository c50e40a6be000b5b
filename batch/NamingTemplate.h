#pragma once

// Where each clip of a batch is written, as a naming template says: text with fields in braces, "/" between
// folders, the last part the file's name without its suffix. The default, "{reel}/{clip}", gives
// destination/<clip folder>/<clip name>.mxf.
//
// Fields: {volume} (the recorder's volume name), {reel} (the clip's folder on the recorder), {clip} (its
// name), {start} (its start time code as HH-MM-SS-FF), {date} (its recording date as YYYY-MM-DD), {format}
// (its format as the clip list shows it), {index} (its place in the batch, from 1) and {meta:NAME} (the
// operator's metadata value NAME of the clip).
//
// Safety: a template is parsed once, before a batch starts; an unknown field, a brace without its partner,
// an empty field name, and a part between "/" that is empty, "." or ".." are refused with the reason. Each
// part is filled in and then made safe as a whole exactly as the recorder's names are (see
// mxf/OutputPath.h): a "/" or control character a field brings becomes "_", so a value never adds a folder
// and no part leads out of the destination. A clip without a value for a {meta:NAME} of the template is
// refused, naming the clip and the field.
//
// Threads: a parsed template is immutable; use it from any thread.

#include "mxf/OutputPath.h"
#include "recorder/SRFileInfo.h"
#include "verify/MetadataPairs.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

// The operator's metadata of a clip, for its {meta:NAME} fields.
using MetadataOf = std::function<MetadataPairs(const SRFileInfo &clip)>;

class NamingTemplate {
public:
    static constexpr char kDefault[] = "{reel}/{clip}";

    // The default template.
    NamingTemplate();

    // The template `text` stands for, or nothing with `error` saying why (naming the field or the place).
    static std::optional<NamingTemplate> parse(const QString &text, QString &error);

    // The text the template was parsed from.
    const QString &text() const { return source; }

    // Where `clip`, the index-th clip of its batch (from 1), is written below `destination`, with its
    // metadata; nothing, with `error` saying why, when the clip has no value for a {meta:NAME} or the
    // destination is empty.
    std::optional<OutputPath> outputPath(const QString &destination, const SRFileInfo &clip, int index,
                                         const MetadataPairs &metadata, QString &error) const;

private:
    enum class Field { Text, Volume, Reel, Clip, Start, Date, Format, Index, Meta };
    struct Piece {
        Field field = Field::Text;
        QString text; // the text itself, or the metadata name of Field::Meta
    };
    using Part = std::vector<Piece>;

    std::vector<Part> parts;
    QString source;
};

// Every clip's output path, paths[k] being clips[k]'s with index k + 1 and metadataOf(clips[k]) (none
// without the function), or the first reason the batch cannot start: a clip the template cannot name, or two
// clips that would share a file (see batch/OutputCollisions.h).
struct BatchOutputs {
    std::vector<OutputPath> paths;
    std::optional<QString> problem;
};
BatchOutputs batchOutputPaths(const std::vector<SRFileInfo> &clips, const QString &destination,
                              const NamingTemplate &naming, const MetadataOf &metadataOf = {});
