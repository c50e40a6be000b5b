#include "platform/srmodule/ManifestReader.h"

#include "platform/srmodule/ClipFields.h"
#include "platform/srmodule/DemoMedia.h"
#include "platform/srmodule/EssenceSizes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <limits>

namespace {

// Bytes of the status reply the volume name fills.
constexpr int kVolumeNameSize = 7;
// The longest folder text the status reply can carry after its byte 25.
constexpr int kMaxFolderSize = 232;
// Generated tones: whole hertz below half the 48 kHz sample rate; levels from below the quietest 24-bit
// sample to well past full scale (clipped).
constexpr uint32_t kHighestToneHz = 23'999;
constexpr double kLowestToneDbfs = -140.0;
constexpr double kHighestToneDbfs = 20.0;

// Reads one manifest, stopping at the first problem, which it words with the manifest's path and the
// clip and key concerned.
class Reader {
public:
    explicit Reader(const QString &path) : manifestPath(path), folder(QFileInfo(path).absoluteDir()) {}

    ManifestResult read() {
        QFile file(manifestPath);
        if (!file.open(QIODevice::ReadOnly))
            return failure(QStringLiteral("cannot be read: %1").arg(file.errorString()));
        QJsonParseError parseError;
        const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parseError);
        if (document.isNull())
            return failure(QStringLiteral("is not valid JSON (offset %1: %2)")
                               .arg(parseError.offset)
                               .arg(parseError.errorString()));
        if (!document.isObject())
            return failure(QStringLiteral("is not a JSON object"));
        ClipManifest manifest;
        if (!readTop(document.object(), manifest))
            return failure(problem);
        return {std::move(manifest), {}};
    }

private:
    ManifestResult failure(const QString &what) const {
        return {std::nullopt, QStringLiteral("clip manifest %1: %2").arg(manifestPath, what)};
    }

    bool fail(const QString &what) {
        problem = context.isEmpty() ? what : context + QStringLiteral(": ") + what;
        return false;
    }

    bool wrongType(const QString &key, const char *expected) {
        return fail(QStringLiteral("\"%1\" must be %2").arg(key, QLatin1String(expected)));
    }

    bool readText(const QJsonObject &object, const QString &key, std::string &out, int maxBytes) {
        const QJsonValue value = object.value(key);
        if (value.isUndefined())
            return true;
        if (!value.isString())
            return wrongType(key, "a text");
        const QByteArray bytes = value.toString().toLatin1();
        if (bytes.size() > maxBytes)
            return fail(QStringLiteral("\"%1\" is longer than %2 characters").arg(key).arg(maxBytes));
        out = bytes.toStdString();
        return true;
    }

    bool readBool(const QJsonObject &object, const QString &key, bool &out) {
        const QJsonValue value = object.value(key);
        if (value.isUndefined())
            return true;
        if (!value.isBool())
            return wrongType(key, "true or false");
        out = value.toBool();
        return true;
    }

    template <typename T>
    bool readNumber(const QJsonObject &object, const QString &key, T &out,
                    double highest = std::numeric_limits<T>::max()) {
        const QJsonValue value = object.value(key);
        if (value.isUndefined())
            return true;
        const double number = value.toDouble(-1);
        if (!value.isDouble() || number < 0 || number > highest || number != double(int64_t(number)))
            return fail(
                QStringLiteral("\"%1\" must be a whole number from 0 to %2").arg(key).arg(uint64_t(highest)));
        out = T(number);
        return true;
    }

    template <typename T>
    bool readParsed(const QJsonObject &object, const QString &key, FieldParse<T> (*parse)(const QString &),
                    T &out) {
        const QJsonValue value = object.value(key);
        if (value.isUndefined())
            return true;
        if (!value.isString())
            return wrongType(key, "a text");
        FieldParse<T> parsed = parse(value.toString());
        if (!parsed.value)
            return fail(QStringLiteral("\"%1\": %2").arg(key, parsed.error));
        out = *parsed.value;
        return true;
    }

    // playout: where a clip's play-out faults go; null for the recorder's faults, which have none.
    bool readFaults(const QJsonObject &object, RecorderFaults &faults, PlayoutFaults *playout = nullptr) {
        const QJsonValue value = object.value(QStringLiteral("faults"));
        if (value.isUndefined())
            return true;
        if (!value.isObject())
            return wrongType(QStringLiteral("faults"), "an object");
        const QJsonObject entries = value.toObject();
        for (const QString &key : entries.keys()) {
            std::optional<uint32_t> *pictureNumber =
                playout == nullptr                               ? nullptr
                : key == QLatin1String("dropsPicture")           ? &playout->dropsPicture
                : key == QLatin1String("failsTransferOfPicture") ? &playout->failsTransferOfPicture
                : key == QLatin1String("stopsPlayingAfter")      ? &playout->stopsPlayingAfter
                : key == QLatin1String("timecodeJumpAt")         ? &playout->timecodeJumpAt
                : key == QLatin1String("shortPictureAt")         ? &playout->shortPictureAt
                : key == QLatin1String("shortSoundAt")           ? &playout->shortSoundAt
                                                                 : nullptr;
            if (pictureNumber != nullptr) {
                uint32_t picture = 0;
                if (!readNumber(entries, key, picture))
                    return false;
                *pictureNumber = picture;
                continue;
            }
            if (playout != nullptr && key == QLatin1String("timecodeJumpFrames")) {
                if (!readNumber(entries, key, playout->timecodeJumpFrames))
                    return false;
                continue;
            }
            if (playout != nullptr && key == QLatin1String("shortSoundSamples")) {
                if (!readNumber(entries, key, playout->shortSoundSamples))
                    return false;
                continue;
            }
            if (playout != nullptr && key == QLatin1String("neverPlays")) {
                if (!readBool(entries, key, playout->neverPlays))
                    return false;
                continue;
            }
            bool *flag = key == QLatin1String("badChecksum")       ? &faults.badChecksum
                         : key == QLatin1String("acknowledgeOnly") ? &faults.acknowledgeOnly
                         : key == QLatin1String("stopsAnswering")  ? &faults.stopsAnswering
                         : key == QLatin1String("staysBusy")       ? &faults.staysBusy
                                                                   : nullptr;
            if (flag == nullptr)
                return fail(QStringLiteral("unknown fault \"%1\"").arg(key));
            if (!readBool(entries, key, *flag))
                return false;
        }
        return true;
    }

    bool readTop(const QJsonObject &object, ClipManifest &manifest) {
        if (!readText(object, QStringLiteral("volume"), manifest.volume, kVolumeNameSize) ||
            !readText(object, QStringLiteral("folder"), manifest.folder, kMaxFolderSize) ||
            !readText(object, QStringLiteral("boardName"), manifest.boardName,
                      std::numeric_limits<int>::max()) ||
            !readBool(object, QStringLiteral("boardPresent"), manifest.boardPresent) ||
            !readBool(object, QStringLiteral("sdiConnected"), manifest.sdiConnected) ||
            !readFaults(object, manifest.faults))
            return false;
        if (manifest.volume.size() != kVolumeNameSize)
            return fail(QStringLiteral("\"volume\" must have exactly %1 characters").arg(kVolumeNameSize));
        const QJsonValue clips = object.value(QStringLiteral("clips"));
        if (clips.isUndefined())
            return true;
        if (!clips.isArray())
            return wrongType(QStringLiteral("clips"), "an array");
        const QJsonArray array = clips.toArray();
        for (qsizetype i = 0; i < array.size(); ++i) {
            context = QStringLiteral("clip %1").arg(i + 1);
            if (!array[i].isObject())
                return fail(QStringLiteral("is not an object"));
            ManifestClip clip;
            if (!readClip(array[i].toObject(), clip))
                return false;
            manifest.clips.push_back(std::move(clip));
        }
        context.clear();
        return true;
    }

    bool readClip(const QJsonObject &object, ManifestClip &clip) {
        ClipRecord &r = clip.record;
        if (!object.value(QStringLiteral("fileName")).isString())
            return fail(QStringLiteral("\"fileName\" is missing"));
        if (!readText(object, QStringLiteral("fileName"), r.fileName, std::numeric_limits<int>::max()))
            return false;
        context += QStringLiteral(" (%1)").arg(QString::fromStdString(r.fileName));
        if (!object.value(QStringLiteral("durationFrames")).isDouble())
            return fail(QStringLiteral("\"durationFrames\" is missing"));
        if (!readText(object, QStringLiteral("secondName"), r.secondName, std::numeric_limits<int>::max()) ||
            !readNumber(object, QStringLiteral("valid"), r.valid) ||
            !readNumber(object, QStringLiteral("durationFrames"), r.durationFrames) ||
            !readParsed(object, QStringLiteral("date1"), parseClipDateTime, r.date1) ||
            !readParsed(object, QStringLiteral("date2"), parseClipDateTime, r.date2) ||
            !readNumber(object, QStringLiteral("dropFrame"), r.dropFrame) ||
            !readParsed(object, QStringLiteral("startTimecode"), parseClipTimecode, r.startTimecode) ||
            !readNumber(object, QStringLiteral("rateIndex"), r.rateIndex) ||
            !readNumber(object, QStringLiteral("scan"), r.scan) ||
            !readNumber(object, QStringLiteral("size"), r.size) ||
            !readNumber(object, QStringLiteral("sampling"), r.sampling) ||
            !readNumber(object, QStringLiteral("bitDepth"), r.bitDepth) ||
            !readNumber(object, QStringLiteral("codec"), r.codec) ||
            !readNumber(object, QStringLiteral("stereo3D"), r.stereo3D) ||
            !readNumber(object, QStringLiteral("soundChannels"), r.soundChannels, kMaxSoundChannels) ||
            !readNumber(object, QStringLiteral("dataChannelMask"), r.dataChannelMask) ||
            !readNumber(object, QStringLiteral("emphasis"), r.emphasis) ||
            !readParsed(object, QStringLiteral("formatLetter"), parseFormatLetter, r.formatLetter) ||
            !readParsed(object, QStringLiteral("identifier"), parseClipIdentifier, r.identifier) ||
            !readBool(object, QStringLiteral("dataItems"), clip.essence.dataItems) ||
            !readFaults(object, clip.faults, &clip.playoutFaults))
            return false;
        return readEssenceFiles(object, clip) && readSound(object, clip);
    }

    // "sound": one object per channel, from channel 1, for generated sound; see ManifestReader.h.
    bool readSound(const QJsonObject &object, ManifestClip &clip) {
        const QJsonValue value = object.value(QStringLiteral("sound"));
        if (value.isUndefined())
            return true;
        if (!value.isArray())
            return wrongType(QStringLiteral("sound"), "an array of channel objects");
        if (!clip.essence.soundFiles.isEmpty())
            return fail(
                QStringLiteral("\"sound\" describes generated sound: it cannot go with \"soundFiles\""));
        const QJsonArray channels = value.toArray();
        if (channels.size() > clip.record.soundChannels)
            return fail(QStringLiteral("\"sound\" describes %1 channels, the clip has %2")
                            .arg(channels.size())
                            .arg(clip.record.soundChannels));
        const QString clipContext = context;
        for (qsizetype k = 0; k < channels.size(); ++k) {
            context = clipContext + QStringLiteral(": \"sound\" channel %1").arg(k + 1);
            if (!channels[k].isObject())
                return fail(QStringLiteral("is not an object"));
            ChannelSound channel;
            if (!readChannelSound(channels[k].toObject(), clip.record.durationFrames, channel))
                return false;
            clip.essence.sound.push_back(channel);
        }
        context = clipContext;
        return true;
    }

    bool readChannelSound(const QJsonObject &object, uint32_t durationFrames, ChannelSound &channel) {
        for (const QString &key : object.keys())
            if (key != QLatin1String("tone") && key != QLatin1String("silence") &&
                key != QLatin1String("silentFrom") && key != QLatin1String("silentFrames"))
                return fail(QStringLiteral("unknown key \"%1\"").arg(key));
        if (!readBool(object, QStringLiteral("silence"), channel.silence))
            return false;
        const QJsonValue tone = object.value(QStringLiteral("tone"));
        if (!tone.isUndefined()) {
            if (channel.silence)
                return fail(QStringLiteral("\"tone\" and \"silence\" exclude each other"));
            if (!tone.isObject())
                return wrongType(QStringLiteral("tone"), "an object with \"frequency\" and \"level\"");
            if (!readTone(tone.toObject(), channel.tone.emplace()))
                return false;
        }
        const bool from = object.contains(QStringLiteral("silentFrom"));
        if (from != object.contains(QStringLiteral("silentFrames")))
            return fail(QStringLiteral("\"silentFrom\" and \"silentFrames\" go together"));
        if (!from)
            return true;
        uint32_t first = 0;
        if (!readNumber(object, QStringLiteral("silentFrom"), first) ||
            !readNumber(object, QStringLiteral("silentFrames"), channel.silentFrames))
            return false;
        channel.silentFrom = first;
        if (channel.silentFrames == 0)
            return fail(QStringLiteral("\"silentFrames\" must be at least 1"));
        if (uint64_t(first) + channel.silentFrames > durationFrames)
            return fail(
                QStringLiteral("the silent stretch (frames %1 to %2) ends after the clip's last frame (%3)")
                    .arg(first)
                    .arg(uint64_t(first) + channel.silentFrames - 1)
                    .arg(int64_t(durationFrames) - 1));
        return true;
    }

    bool readTone(const QJsonObject &object, SoundTone &tone) {
        for (const QString &key : object.keys())
            if (key != QLatin1String("frequency") && key != QLatin1String("level"))
                return fail(QStringLiteral("unknown key \"tone.%1\"").arg(key));
        const QString frequency = QStringLiteral("tone.frequency"), level = QStringLiteral("tone.level");
        const QJsonValue hz = object.value(QStringLiteral("frequency"));
        const QJsonValue dbfs = object.value(QStringLiteral("level"));
        if (hz.isUndefined() || dbfs.isUndefined())
            return fail(QStringLiteral("\"tone\" needs \"frequency\" (Hz) and \"level\" (dBFS)"));
        const double number = hz.toDouble(-1);
        if (!hz.isDouble() || number < 1 || number > kHighestToneHz || number != double(int64_t(number)))
            return fail(QStringLiteral("\"%1\" must be a whole number of hertz from 1 to %2")
                            .arg(frequency)
                            .arg(kHighestToneHz));
        tone.frequencyHz = uint32_t(number);
        if (!dbfs.isDouble() || dbfs.toDouble() < kLowestToneDbfs || dbfs.toDouble() > kHighestToneDbfs)
            return fail(QStringLiteral("\"%1\" must be a number of dBFS from %2 to %3")
                            .arg(level)
                            .arg(kLowestToneDbfs)
                            .arg(kHighestToneDbfs));
        tone.levelDbfs = dbfs.toDouble();
        return true;
    }

    bool readEssenceFiles(const QJsonObject &object, ManifestClip &clip) {
        const ClipRecord &r = clip.record;
        const QJsonValue picture = object.value(QStringLiteral("pictureFile"));
        if (!picture.isUndefined()) {
            if (!picture.isString())
                return wrongType(QStringLiteral("pictureFile"), "a text");
            clip.essence.pictureFile = folder.absoluteFilePath(picture.toString());
            const uint64_t needed = uint64_t(r.durationFrames) * pictureFrameBytes(r);
            if (!checkFile(
                    clip.essence.pictureFile, needed,
                    QStringLiteral("%1 frames of %2 bytes").arg(r.durationFrames).arg(pictureFrameBytes(r))))
                return false;
        }
        const QJsonValue sound = object.value(QStringLiteral("soundFiles"));
        if (sound.isUndefined())
            return true;
        if (!sound.isArray())
            return wrongType(QStringLiteral("soundFiles"), "an array of file names");
        const QJsonArray files = sound.toArray();
        if (files.size() != r.soundChannels)
            return fail(QStringLiteral("\"soundFiles\" names %1 files for %2 sound channels")
                            .arg(files.size())
                            .arg(r.soundChannels));
        const uint64_t samples = soundSamplesBefore(r, r.durationFrames);
        for (const QJsonValue &name : files) {
            if (!name.isString())
                return wrongType(QStringLiteral("soundFiles"), "an array of file names");
            const QString path = folder.absoluteFilePath(name.toString());
            if (!checkFile(path, samples * kSoundSampleBytes,
                           QStringLiteral("%1 samples of %2 bytes").arg(samples).arg(kSoundSampleBytes)))
                return false;
            clip.essence.soundFiles.push_back(path);
        }
        return true;
    }

    bool checkFile(const QString &path, uint64_t neededBytes, const QString &content) {
        const QFileInfo info(path);
        if (!info.exists())
            return fail(QStringLiteral("essence file %1 does not exist").arg(path));
        if (!info.isFile() || !info.isReadable())
            return fail(QStringLiteral("essence file %1 cannot be read").arg(path));
        if (uint64_t(info.size()) < neededBytes)
            return fail(QStringLiteral("essence file %1 is too short: %2 bytes, the clip needs %3 (%4)")
                            .arg(path)
                            .arg(info.size())
                            .arg(neededBytes)
                            .arg(content));
        return true;
    }

    const QString manifestPath;
    const QDir folder;
    QString context; // the clip being read, for messages
    QString problem;
};

} // namespace

ManifestResult readManifest(const QString &path) {
    return Reader(path).read();
}

ManifestResult readConfiguredMedia() {
    const QString path = qEnvironmentVariable(kSimMediaVariable);
    if (path.isEmpty())
        return {demoManifest(), {}};
    return readManifest(path);
}
