#include "verify/TransferReport.h"

#include "verify/ClipRecordJson.h"
#include "verify/FileDigest.h"
#include "verify/FileVerification.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

namespace {

constexpr char kChecksumAlgorithm[] = "XXH3-64";

QString hex(uint64_t value) {
    return QString("%1").arg(value, 16, 16, QChar('0'));
}

std::optional<uint64_t> fromHex(const QJsonValue &value) {
    bool ok = false;
    const QString text = value.toString();
    const uint64_t number = text.toULongLong(&ok, 16);
    return ok && text.size() == 16 ? std::optional<uint64_t>(number) : std::nullopt;
}

QJsonObject checksumJson(const FrameChecksum &checksum) {
    QJsonArray sound;
    for (const uint64_t channel : checksum.sound)
        sound.append(hex(channel));
    return {{"picture", hex(checksum.picture)}, {"sound", sound}, {"data", hex(checksum.data)}};
}

std::optional<FrameChecksum> checksumFromJson(const QJsonValue &value) {
    const QJsonObject object = value.toObject();
    FrameChecksum checksum;
    const auto picture = fromHex(object["picture"]), data = fromHex(object["data"]);
    if (!picture || !data || !object["sound"].isArray())
        return std::nullopt;
    checksum.picture = *picture;
    checksum.data = *data;
    for (const QJsonValue &channel : object["sound"].toArray()) {
        const auto sound = fromHex(channel);
        if (!sound)
            return std::nullopt;
        checksum.sound.push_back(*sound);
    }
    return checksum;
}

QString reportPathOf(const QString &mxfPath) {
    const QFileInfo info(mxfPath);
    return info.dir().filePath(info.completeBaseName() + ".json");
}

} // namespace

std::optional<QString> writeReport(const QString &path, const TransferReport &report) {
    const double seconds =
        report.clip.frameRate > 0 ? double(report.checksums.size()) / report.clip.frameRate : 0;
    const double wall = double(report.started.msecsTo(report.ended)) / 1000.0;
    QJsonArray drops, breaks, checksums;
    for (const DroppedPicture &drop : report.drops)
        drops.append(QJsonObject{{"frame", qint64(drop.frame)}, {"timeCode", drop.timeCode}});
    for (const TimecodeBreak &gap : report.breaks)
        breaks.append(
            QJsonObject{{"frame", qint64(gap.frame)}, {"expected", gap.expected}, {"found", gap.found}});
    for (const FrameChecksum &checksum : report.checksums)
        checksums.append(checksumJson(checksum));
    const QJsonObject json{
        {"toolVersion", report.toolVersion},
        {"clip", clipRecordJson(report.clip)},
        {"destination", report.file},
        {"started", report.started.toUTC().toString(Qt::ISODateWithMs)},
        {"ended", report.ended.toUTC().toString(Qt::ISODateWithMs)},
        {"frames", qint64(report.checksums.size())},
        {"durationSeconds", seconds},
        {"startTimeCode", report.startTimecode},
        {"endTimeCode", report.endTimecode},
        {"droppedPictures", drops},
        {"restarts", report.restarts},
        {"throughput", QJsonObject{{"framesPerSecond", wall > 0 ? double(report.checksums.size()) / wall : 0},
                                   {"timesRealTime", wall > 0 ? seconds / wall : 0}}},
        {"fileSize", qint64(report.fileSize)},
        {"checksumAlgorithm", kChecksumAlgorithm},
        {"frameChecksums", checksums},
        {"verification", report.verified ? "verified" : "skipped (--no-verify)"},
        {"timeCodeBreaks", breaks},
        {"sha256", report.sha256},
        {"conformance", !report.conformance ? QJsonValue()
                        : report.conformance->isEmpty()
                            ? QJsonValue("passed")
                            : QJsonValue(QJsonArray::fromStringList(*report.conformance))}};
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(json).toJson()) < 0 || !file.commit())
        return QString("cannot write the report %1: %2").arg(path, file.errorString());
    return std::nullopt;
}

std::optional<QString> auditFile(const QString &mxfPath) {
    const QString reportPath = reportPathOf(mxfPath);
    QFile file(reportPath);
    if (!file.open(QIODevice::ReadOnly))
        return QString("no report %1").arg(reportPath);
    QJsonParseError error;
    const QJsonObject report = QJsonDocument::fromJson(file.readAll(), &error).object();
    if (error.error != QJsonParseError::NoError)
        return QString("the report %1 cannot be read: %2").arg(reportPath, error.errorString());
    if (report["checksumAlgorithm"].toString() != kChecksumAlgorithm || !report["frameChecksums"].isArray() ||
        report["sha256"].toString().size() != 64)
        return QString("the report %1 lacks its checksums").arg(reportPath);
    std::vector<FrameChecksum> expected;
    for (const QJsonValue &value : report["frameChecksums"].toArray()) {
        const auto checksum = checksumFromJson(value);
        if (!checksum)
            return QString("the report %1 holds a damaged frame checksum").arg(reportPath);
        expected.push_back(*checksum);
    }
    if (report["frames"].toInteger(-1) != qint64(expected.size()))
        return QString("the report %1 does not agree with itself on the frame count").arg(reportPath);
    const std::optional<QString> sha256 = sha256OfFile(mxfPath);
    if (!sha256)
        return QString("cannot read %1").arg(mxfPath);
    if (*sha256 != report["sha256"].toString())
        return QString("the SHA-256 of %1 differs from its report").arg(mxfPath);
    return verifyFile(mxfPath, expected);
}
