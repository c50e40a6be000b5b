#include "batch/DiskSpace.h"

#include "batch/ClipRules.h"
#include "capture/FrameAssembler.h"
#include "capture/PayloadFormat.h"
#include "recorder/SoundFormat.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>
#include <array>
#include <cmath>

namespace {

// The lowest rate the recorder records, for a clip whose rate is not known.
constexpr double kLowestFrameRate = 24000.0 / 1001;
// The MXF file's partitions, header metadata (about 2 kB a track) and closing index tables.
constexpr uint64_t kFileOverheadBytes = 64 * 1024;
// A frame's system item and index entry, its data element (a data item, or the empty element without one).
constexpr uint64_t kFrameOverheadBytes = 1024;
// Each element's key and length in the file, its checksums in the report and its line in NAME.framemd5.
constexpr uint64_t kElementOverheadBytes = 160;

FreeSpaceProbe &probeInUse() {
    static FreeSpaceProbe probe;
    return probe;
}

// The file system of the folder, or of its nearest existing parent while it does not exist.
QStorageInfo storageOf(const QString &folder) {
    QDir existing(QFileInfo(folder).absoluteFilePath());
    while (!existing.exists() && !existing.isRoot())
        existing.setPath(QFileInfo(existing.path()).path());
    return QStorageInfo(existing.path());
}

uint64_t bytesOf(const std::vector<SRFileInfo> &clips) {
    uint64_t needed = 0;
    for (const SRFileInfo &clip : clips)
        needed += estimatedTransferBytes(clip);
    return needed;
}

std::optional<uint64_t> probedFreeSpace(const QString &folder) {
    const FreeSpaceProbe &probe = probeInUse();
    return probe ? probe(folder) : freeSpaceAt(folder);
}

} // namespace

uint64_t estimatedTransferBytes(const SRFileInfo &clip) {
    const std::optional<uint32_t> pictureBytes = FrameAssembler::frameBytesFor(uint32_t(clip.codec));
    if (clipProblem(clip) || !pictureBytes)
        return 0;
    const uint64_t channels =
        std::min<uint32_t>(clip.rawTail[kRawTailSoundChannels], payload::kSoundChannels);
    // The largest share of the sampling rate one frame carries (1,602 samples at 29.97).
    const double rate = clip.frameRate > 0 ? clip.frameRate : kLowestFrameRate;
    const auto samplesInFrame = uint64_t(std::ceil(double(kSoundSamplingRate) / rate));
    const uint64_t elements = 1 + channels + 1;
    const uint64_t frameBytes = *pictureBytes + channels * samplesInFrame * payload::kSoundSampleBytes +
                                kFrameOverheadBytes + elements * kElementOverheadBytes;
    return kFileOverheadBytes + uint64_t(clip.durationFrames) * frameBytes;
}

std::optional<uint64_t> freeSpaceAt(const QString &folder) {
    const QStorageInfo storage = storageOf(folder);
    if (!storage.isValid() || storage.bytesAvailable() < 0)
        return std::nullopt;
    return uint64_t(storage.bytesAvailable());
}

void setFreeSpaceProbe(FreeSpaceProbe probe) {
    probeInUse() = std::move(probe);
}

QString readableBytes(uint64_t bytes, bool roundDown) {
    static constexpr std::array<const char *, 5> units{"kB", "MB", "GB", "TB", "PB"};
    if (bytes < 1000)
        return QString("%1 B").arg(bytes);
    double value = double(bytes);
    size_t unit = 0;
    for (value /= 1000; value >= 1000 && unit + 1 < units.size(); value /= 1000)
        ++unit;
    const double tenths = roundDown ? std::floor(value * 10) : std::ceil(value * 10);
    return QString("%1 %2").arg(tenths / 10, 0, 'f', 1).arg(units[unit]);
}

std::optional<QString> spaceProblem(const std::vector<SRFileInfo> &clips, const QString &destination) {
    return spaceProblem(std::vector<DestinationLoad>{{destination, clips}});
}

std::optional<QString> spaceProblem(const std::vector<DestinationLoad> &loads) {
    std::vector<bool> counted(loads.size(), false);
    for (size_t a = 0; a < loads.size(); ++a) {
        if (counted[a])
            continue;
        const QString mount = storageOf(loads[a].destination).rootPath();
        QStringList sharing{loads[a].destination};
        uint64_t needed = bytesOf(loads[a].clips);
        for (size_t b = a + 1; b < loads.size(); ++b)
            if (!counted[b] && storageOf(loads[b].destination).rootPath() == mount) {
                counted[b] = true;
                sharing << loads[b].destination;
                needed += bytesOf(loads[b].clips);
            }
        const std::optional<uint64_t> free = probedFreeSpace(loads[a].destination);
        if (!free || needed <= *free)
            continue;
        if (sharing.size() == 1)
            return QString("not enough disk space: the transfer needs %1, %2 free at %3")
                .arg(readableBytes(needed), readableBytes(*free, true), loads[a].destination);
        return QString(
                   "not enough disk space: the copies to %1 share one file system and need %2, %3 free there")
            .arg(sharing.join(" and "), readableBytes(needed), readableBytes(*free, true));
    }
    return std::nullopt;
}
