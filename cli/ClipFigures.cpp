#include "cli/ClipFigures.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

std::optional<ClipFigures> clipFiguresOf(const QString &mxfFile) {
    const QFileInfo info(mxfFile);
    QFile file(info.dir().filePath(info.completeBaseName() + ".json"));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QJsonObject report = QJsonDocument::fromJson(file.readAll()).object();
    const QDateTime started = QDateTime::fromString(report["started"].toString(), Qt::ISODateWithMs);
    const QDateTime ended = QDateTime::fromString(report["ended"].toString(), Qt::ISODateWithMs);
    if (report.isEmpty() || !started.isValid() || !ended.isValid())
        return std::nullopt;
    ClipFigures figures;
    figures.materialSeconds = report["durationSeconds"].toDouble();
    figures.wallSeconds = double(started.msecsTo(ended)) / 1000.0;
    figures.fileBytes = uint64_t(std::max<qint64>(report["fileSize"].toInteger(), 0));
    figures.directWrites = report["io"].toString() == "direct";
    figures.directReadBack = report["readBack"].toString() == "direct";
    figures.fallback = report["ioFallback"].toString();
    return figures;
}

QString clipFiguresLine(const QString &name, const ClipFigures &figures) {
    const double wall = std::max(figures.wallSeconds, 0.001);
    return QString("%1: %2 s of material in %3 s, %4 times real time, %5 MB/s written; %6")
        .arg(name)
        .arg(figures.materialSeconds, 0, 'f', 1)
        .arg(figures.wallSeconds, 0, 'f', 1)
        .arg(figures.materialSeconds / wall, 0, 'f', 1)
        .arg(double(figures.fileBytes) / 1e6 / wall, 0, 'f', 1)
        .arg(figures.directReadBack ? "read back past the page cache"
                                    : "read back through the page cache (its pages dropped)");
}

QString writePathLine(const ClipFigures &figures) {
    if (figures.directWrites)
        return "writing past the page cache (O_DIRECT)";
    if (!figures.fallback.isEmpty())
        return "writing buffered: " + figures.fallback;
    return "writing buffered: the destination's file system refuses direct I/O (O_DIRECT)";
}
