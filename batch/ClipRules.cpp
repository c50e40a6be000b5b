#include "batch/ClipRules.h"

#include "capture/FrameAssembler.h"
#include "capture/PayloadFormat.h"

#include <QFileInfo>

bool isListed(const SRFileInfo &clip) {
    return (clip.interlaced != 0 || clip.psf != 0) && clip.stereo3D != 1 && clip.fileValid != 0;
}

std::optional<QString> clipProblem(const SRFileInfo &clip) {
    if (clip.fileValid == 0)
        return QString("the recorder marks the clip not valid");
    if (clip.stereo3D == 1)
        return QString("3D clips cannot be transferred");
    if (clip.interlaced == 0 && clip.psf == 0)
        return QString("progressive clips cannot be transferred");
    if (clip.durationFrames == 0)
        return QString("the clip has no frames");
    if (!FrameAssembler::frameBytesFor(uint32_t(clip.codec)))
        return QString("the clip's compression quality %1 is not known").arg(clip.codec);
    if (clip.rawTail[kRawTailSoundChannels] > payload::kSoundChannels)
        return QString("the clip has %1 sound channels, more than %2")
            .arg(clip.rawTail[kRawTailSoundChannels])
            .arg(payload::kSoundChannels);
    return std::nullopt;
}

std::optional<QString> destinationProblem(const QString &folder) {
    if (folder.isEmpty())
        return QString("no destination folder");
    const QFileInfo info(folder);
    if (!info.exists())
        return QString("the destination folder %1 does not exist").arg(folder);
    if (!info.isDir())
        return QString("the destination %1 is not a folder").arg(folder);
    if (!info.isWritable())
        return QString("the destination folder %1 is not writable").arg(folder);
    return std::nullopt;
}

std::optional<QString> destinationsProblem(const QStringList &folders, qsizetype most) {
    if (folders.size() > most)
        return QString("at most %1 destinations, not %2").arg(most).arg(folders.size());
    QStringList canonical;
    for (const QString &folder : folders) {
        if (std::optional<QString> problem = destinationProblem(folder))
            return problem;
        canonical << QFileInfo(folder).canonicalFilePath();
    }
    for (qsizetype a = 0; a < folders.size(); ++a)
        for (qsizetype b = 0; b < folders.size(); ++b) {
            if (a == b)
                continue;
            if (a < b && canonical[a] == canonical[b])
                return QString("the destinations %1 and %2 are the same folder").arg(folders[a], folders[b]);
            const QString inside = canonical[a].endsWith('/') ? canonical[a] : canonical[a] + '/';
            if (canonical[b].startsWith(inside))
                return QString("the destination %1 lies inside the destination %2")
                    .arg(folders[b], folders[a]);
        }
    return std::nullopt;
}
