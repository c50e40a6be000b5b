#include "batch/OutputCollisions.h"

#include "mxf/OutputPath.h"

#include <QHash>

namespace {

// The clip as the recorder names it, folder and file, bytes that are not text shown as \xNN.
QString clipName(const SRFileInfo &clip) {
    QString text;
    for (const unsigned char byte : clip.secondName + "/" + clip.fileName)
        text += byte >= 0x20 && byte < 0x7f ? QString(QChar(byte))
                                            : QString("\\x%1").arg(byte, 2, 16, QChar('0'));
    return "\"" + text + "\"";
}

} // namespace

std::optional<QString> outputCollision(const std::vector<SRFileInfo> &clips, const QString &destination) {
    QHash<QString, size_t> taken;
    for (size_t k = 0; k < clips.size(); ++k) {
        const auto output = outputPathFor(destination, clips[k].secondName, clips[k].fileName);
        if (!output)
            return std::nullopt;
        if (const auto earlier = taken.constFind(output->file); earlier != taken.cend())
            return QString("the clips %1 and %2 would both be written to %3: transfer them into different "
                           "folders")
                .arg(clipName(clips[*earlier]), clipName(clips[k]), output->file);
        taken.insert(output->file, k);
    }
    return std::nullopt;
}
