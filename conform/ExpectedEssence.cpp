#include "conform/ExpectedEssence.h"

#include "recorder/SoundFormat.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

namespace conform {

namespace {

constexpr int32_t kFullChromaSampling = 1;
constexpr uint32_t kWidth1080 = 1920, kHeight1080 = 1080, kWidth720 = 1280, kHeight720 = 720;
constexpr uint8_t kFullFrame = 0, kSeparateFields = 1;

struct PictureFormat {
    bool is720 = false, interlaced = false;
    int32_t sampling = 0;
    uint32_t bitDepth = 0;
};

ExpectedEssence expected(const PictureFormat &picture, int32_t rateNumerator, int32_t rateDenominator,
                         uint32_t soundChannels) {
    ExpectedEssence essence;
    essence.width = picture.is720 ? kWidth720 : kWidth1080;
    const uint32_t frameHeight = picture.is720 ? kHeight720 : kHeight1080;
    essence.height = picture.interlaced ? frameHeight / 2 : frameHeight;
    essence.frameLayout = picture.interlaced ? kSeparateFields : kFullFrame;
    essence.rateNumerator = rateNumerator;
    essence.rateDenominator = rateDenominator;
    // 4:4:4 is not subsampled; 4:2:2 and the XYZ code are described with half-width chroma.
    essence.horizontalSubsampling = picture.sampling == kFullChromaSampling ? 1 : 2;
    essence.componentDepth = picture.bitDepth;
    essence.soundChannels = soundChannels;
    essence.soundSamplingRate = kSoundSamplingRate;
    essence.soundBits = uint32_t(kSoundBitsPerSample);
    return essence;
}

} // namespace

ExpectedEssence expectedEssenceOf(const SRFileInfo &clip) {
    return expected(
        PictureFormat{clip.is720 != 0, clip.interlaced != 0, clip.sampling, uint32_t(clip.bitDepth)},
        clip.rateNumerator, clip.rateDenominator, clip.rawTail[kRawTailSoundChannels]);
}

std::optional<ExpectedEssence> expectedEssenceFromReport(const QString &mxfPath, QString &why) {
    const QFileInfo info(mxfPath);
    const QString reportPath = info.dir().filePath(info.completeBaseName() + ".json");
    QFile file(reportPath);
    if (!file.open(QIODevice::ReadOnly)) {
        why = QString("no report %1 beside the file").arg(reportPath);
        return std::nullopt;
    }
    const QJsonObject clip = QJsonDocument::fromJson(file.readAll()).object()["clip"].toObject();
    const QByteArray rawTail = QByteArray::fromHex(clip["rawTail"].toString().toLatin1());
    for (const char *field :
         {"is720", "interlaced", "sampling", "bitDepth", "rateNumerator", "rateDenominator"})
        if (!clip[field].isDouble() && !clip[field].isBool()) {
            why = QString("the report %1 gives no clip field %2").arg(reportPath, field);
            return std::nullopt;
        }
    if (rawTail.size() <= qsizetype(kRawTailSoundChannels)) {
        why = QString("the report %1 gives no clip sound channels").arg(reportPath);
        return std::nullopt;
    }
    const auto number = [&clip](const char *field) {
        return clip[field].toInt(clip[field].toBool() ? 1 : 0);
    };
    return expected(PictureFormat{number("is720") != 0, number("interlaced") != 0, number("sampling"),
                                  uint32_t(number("bitDepth"))},
                    number("rateNumerator"), number("rateDenominator"),
                    uint8_t(rawTail[qsizetype(kRawTailSoundChannels)]));
}

} // namespace conform
