#include "verify/TransferReport.h"

#include "mxf/DurableFile.h"
#include "verify/ClipRecordJson.h"
#include "verify/FileVerification.h"
#include "verify/Sidecars.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <variant>

namespace {

QString hex(uint64_t value) {
    return QString("%1").arg(value, 16, 16, QChar('0'));
}

std::optional<uint64_t> fromHex(const QJsonValue &value) {
    bool ok = false;
    const QString text = value.toString();
    const uint64_t number = text.toULongLong(&ok, 16);
    return ok && text.size() == 16 ? std::optional<uint64_t>(number) : std::nullopt;
}

// One frame's checksums as one line of the report's frameChecksums array.
QByteArray checksumLine(const FrameChecksum &checksum) {
    QByteArray line = "    {\"data\": \"" + hex(checksum.data).toLatin1() + "\", \"picture\": \"" +
                      hex(checksum.picture).toLatin1() + "\", \"sound\": [";
    for (size_t k = 0; k < checksum.sound.size(); ++k)
        line += (k == 0 ? "\"" : ", \"") + hex(checksum.sound[k]).toLatin1() + "\"";
    return line + "]}";
}

// A JSON value as text: a value is written as the only element of an array, whose brackets are dropped.
QByteArray jsonText(const QJsonValue &value) {
    const QByteArray array = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2);
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

void addIo(QJsonObject &json, const TransferIo &io) {
    json["io"] = io.directWrites ? "direct" : "buffered";
    json["readBack"] = io.directReadBack ? "direct" : "buffered";
    if (!io.fallback.isEmpty())
        json["ioFallback"] = io.fallback;
}

} // namespace

std::optional<QString> writeReport(const QString &path, const TransferReport &report) {
    const double seconds =
        report.clip.frameRate > 0 ? double(report.checksums.size()) / report.clip.frameRate : 0;
    const double wall = double(report.started.msecsTo(report.ended)) / 1000.0;
    QJsonArray drops, breaks;
    for (const DroppedPicture &drop : report.drops)
        drops.append(
            QJsonObject{{"frame", qint64(drop.frame)}, {"timeCode", drop.timeCode}, {"cause", drop.cause}});
    for (const TimecodeBreak &gap : report.breaks)
        breaks.append(
            QJsonObject{{"frame", qint64(gap.frame)}, {"expected", gap.expected}, {"found", gap.found}});
    // Every field but the checksums, which are streamed after them.
    QJsonObject fields{
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
        {"checksumAlgorithm", kFrameChecksumAlgorithm},
        {"verification", report.verified ? "verified" : "skipped (--no-verify)"},
        {"timeCodeBreaks", breaks},
        {"sha256", report.sha256},
        {"damagedFrames", damagedFramesJson(report.damagedFrames)},
        {"sound", soundJson(report.sound)},
        {"warnings", QJsonArray::fromStringList(report.warnings)},
        {"events", eventsJson(report.events)},
        {"conformance", !report.conformance ? QJsonValue()
                        : report.conformance->isEmpty()
                            ? QJsonValue("passed")
                            : QJsonValue(QJsonArray::fromStringList(*report.conformance))}};
    addIo(fields, report.io);
    QJsonObject metadata;
    for (const auto &[name, value] : report.metadata)
        metadata.insert(name, value);
    fields.insert("metadata", metadata);
    QJsonArray otherCopies;
    for (const OtherCopy &other : report.otherCopies)
        otherCopies.append(QJsonObject{{"file", other.file},
                                       {"outcome", other.finished ? "finished" : "failed"},
                                       {"reason", other.problem}});
    fields.insert("otherCopies", otherCopies);
    SyncedFileWriter file(path);
    file.write("{\n");
    for (auto field = fields.begin(); field != fields.end(); ++field)
        file.write("  " + jsonText(field.key()) + ": " + jsonText(field.value()) + ",\n");
    file.write("  \"frameChecksums\": [");
    for (size_t frame = 0; frame < report.checksums.size(); ++frame)
        file.write((frame == 0 ? "\n" : ",\n") + checksumLine(report.checksums[frame]));
    file.write("\n  ]\n}\n");
    if (std::optional<QString> problem = file.finish())
        return QString("cannot write the report %1: %2").arg(path, *problem);
    return std::nullopt;
}

namespace {

// The report beside `mxfPath`, parsed; or why it cannot be read.
std::variant<QJsonObject, QString> readReport(const QString &mxfPath) {
    const QString reportPath = reportPathOf(mxfPath);
    QFile file(reportPath);
    if (!file.open(QIODevice::ReadOnly))
        return QString("no report %1").arg(reportPath);
    QJsonParseError error;
    const QJsonObject report = QJsonDocument::fromJson(file.readAll(), &error).object();
    if (error.error != QJsonParseError::NoError)
        return QString("the report %1 cannot be read: %2").arg(reportPath, error.errorString());
    if (report["sha256"].toString().size() != 64)
        return QString("the report %1 lacks its checksums").arg(reportPath);
    return report;
}

} // namespace

std::optional<QString> auditFile(const QString &mxfPath) {
    const QString reportPath = reportPathOf(mxfPath);
    const auto read = readReport(mxfPath);
    if (const QString *problem = std::get_if<QString>(&read))
        return *problem;
    const QJsonObject &report = std::get<QJsonObject>(read);
    if (report["checksumAlgorithm"].toString() != kFrameChecksumAlgorithm ||
        !report["frameChecksums"].isArray())
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
    // One read of the file from the disk gives both the SHA-256 and the frames.
    const ReadBackResult readBackResult = readBack(mxfPath, &expected);
    if (!readBackResult.sha256)
        return QString("cannot read %1").arg(mxfPath);
    if (*readBackResult.sha256 != report["sha256"].toString())
        return QString("the SHA-256 of %1 differs from its report").arg(mxfPath);
    if (std::optional<QString> problem = sha256FileProblem(mxfPath, *readBackResult.sha256))
        return problem;
    if (readBackResult.problem)
        return readBackResult.problem;
    return frameMd5Problem(mxfPath);
}

std::optional<QString> finishedFileDisagreement(const QString &mxfPath) {
    const QFileInfo file(mxfPath);
    if (!file.isFile())
        return QString("%1 is missing").arg(mxfPath);
    const auto read = readReport(mxfPath);
    if (const QString *problem = std::get_if<QString>(&read))
        return *problem;
    const QJsonObject &report = std::get<QJsonObject>(read);
    if (QFileInfo(report["destination"].toString()).fileName() != file.fileName())
        return QString("the report %1 describes another file").arg(reportPathOf(mxfPath));
    if (report["fileSize"].toInteger(-1) != file.size())
        return QString("%1 holds %2 bytes, its report says %3")
            .arg(mxfPath)
            .arg(file.size())
            .arg(report["fileSize"].toInteger(-1));
    return sha256FileProblem(mxfPath, report["sha256"].toString());
}
