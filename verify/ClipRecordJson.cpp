#include "verify/ClipRecordJson.h"

namespace {

QString text(const std::string &bytes) {
    return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
}

QJsonObject dateTimeJson(const SRDateTime &dateTime) {
    return {{"year", dateTime.year},          {"month", dateTime.month},   {"day", dateTime.day},
            {"hour", dateTime.hour},          {"minute", dateTime.minute}, {"second", dateTime.second},
            {"subSecond", dateTime.subSecond}};
}

} // namespace

QJsonObject clipRecordJson(const SRFileInfo &clip) {
    return {{"sourcePath", clip.sourcePath},
            {"fileName", text(clip.fileName)},
            {"secondName", text(clip.secondName)},
            {"startText", text(clip.startText)},
            {"startFrame", qint64(clip.startFrame)},
            {"durationFrames", qint64(clip.durationFrames)},
            {"durationText", text(clip.durationText)},
            {"formatText", text(clip.formatText)},
            {"dateTime1", dateTimeJson(clip.dateTime1)},
            {"dateText1", text(clip.dateText1)},
            {"dateTime2", dateTimeJson(clip.dateTime2)},
            {"dateText2", text(clip.dateText2)},
            {"interlaced", clip.interlaced},
            {"psf", clip.psf},
            {"stereo3D", clip.stereo3D},
            {"dropFrame", clip.dropFrame},
            {"is720", clip.is720},
            {"sampling", clip.sampling},
            {"codec", clip.codec},
            {"bitDepth", clip.bitDepth},
            {"frameRate", clip.frameRate},
            {"rateNumerator", clip.rateNumerator},
            {"rateDenominator", clip.rateDenominator},
            {"rawTail", QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(clip.rawTail.data()),
                                                       qsizetype(clip.rawTail.size()))
                                                .toHex())},
            {"fileValid", clip.fileValid}};
}
