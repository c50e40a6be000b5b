#include "batch/OutputCollisions.h"

#include <QHash>

QString quotedClipName(const SRFileInfo &clip) {
    QString text;
    for (const unsigned char byte : clip.secondName + "/" + clip.fileName)
        text += byte >= 0x20 && byte < 0x7f ? QString(QChar(byte))
                                            : QString("\\x%1").arg(byte, 2, 16, QChar('0'));
    return "\"" + text + "\"";
}

std::optional<QString> outputCollision(const std::vector<SRFileInfo> &clips,
                                       const std::vector<OutputPath> &outputs) {
    QHash<QString, size_t> taken;
    for (size_t k = 0; k < clips.size() && k < outputs.size(); ++k) {
        if (const auto earlier = taken.constFind(outputs[k].file); earlier != taken.cend())
            return QString("the clips %1 and %2 would both be written to %3: transfer them into different "
                           "folders or name them by another template")
                .arg(quotedClipName(clips[*earlier]), quotedClipName(clips[k]), outputs[k].file);
        taken.insert(outputs[k].file, k);
    }
    return std::nullopt;
}
