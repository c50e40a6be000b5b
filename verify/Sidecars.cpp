#include "verify/Sidecars.h"

#include "mxf/SMDKReader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <array>
#include <map>
#include <memory>
#include <openssl/evp.h>
#include <vector>

namespace {

QString frameMd5PathOf(const QString &mxfPath) {
    const QFileInfo info(mxfPath);
    return info.dir().filePath(info.completeBaseName() + ".framemd5");
}

// The size and MD5 (hex) of each element of one edit unit, by framemd5 stream: picture, sound channels,
// data.
struct UnitElements {
    std::vector<std::pair<qint64, QByteArray>> streams;
};

UnitElements elementsOf(const SMDKEditUnit &unit) {
    UnitElements elements;
    const auto add = [&elements](std::span<const uint8_t> bytes) {
        std::array<uint8_t, 16> digest{};
        unsigned int length = 0;
        EVP_Digest(bytes.data(), bytes.size(), digest.data(), &length, EVP_md5(), nullptr);
        elements.streams.emplace_back(
            qint64(bytes.size()),
            QByteArray(reinterpret_cast<const char *>(digest.data()), qsizetype(digest.size())).toHex());
    };
    add(unit.picture);
    for (const std::span<const uint8_t> channel : unit.sound)
        add(channel);
    add(unit.data);
    return elements;
}

// Where each stream's next line must point: the edit unit holding it and its time stamp.
struct StreamCursor {
    int64_t unit = 0;
    qint64 dts = 0;
};

} // namespace

std::optional<QString> sha256FileProblem(const QString &mxfPath, const QString &sha256) {
    const QString path = mxfPath + ".sha256";
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString("no SHA-256 file %1").arg(path);
    const QByteArray line = file.read(4096).trimmed();
    if (line.contains('\n'))
        return QString("the SHA-256 file %1 holds more than one line").arg(path);
    if (line.size() < 67 || line[64] != ' ' || (line[65] != ' ' && line[65] != '*'))
        return QString("the SHA-256 file %1 is not a line of sha256sum").arg(path);
    const QString name = QString::fromUtf8(line.mid(66));
    if (name != QFileInfo(mxfPath).fileName())
        return QString("the SHA-256 file %1 names %2, not %3").arg(path, name, QFileInfo(mxfPath).fileName());
    if (QString::fromLatin1(line.left(64)).toLower() != sha256)
        return QString("the SHA-256 file %1 gives another digest than the file's").arg(path);
    return std::nullopt;
}

std::optional<QString> frameMd5Problem(const QString &mxfPath) {
    const QString path = frameMd5PathOf(mxfPath);
    QFile list(path);
    if (!list.exists())
        return std::nullopt;
    if (!list.open(QIODevice::ReadOnly))
        return QString("the framemd5 list %1 cannot be read").arg(path);
    try {
        const std::unique_ptr<SMDKReader> reader = openSMDKReader(QFile::encodeName(mxfPath).toStdString());
        const int64_t units = reader->editUnitCount();
        // The edit units some stream's cursor still points at, read once each.
        std::map<int64_t, UnitElements> read;
        std::vector<StreamCursor> cursors;
        const auto elementsAt = [&](int64_t unit) -> const UnitElements & {
            auto found = read.find(unit);
            if (found == read.end())
                found = read.emplace(unit, elementsOf(reader->readEditUnit(unit))).first;
            return found->second;
        };
        if (units > 0)
            cursors.resize(elementsAt(0).streams.size());
        for (qint64 number = 1; !list.atEnd(); ++number) {
            const QByteArray line = list.readLine(1024).trimmed();
            if (line.isEmpty() || line.startsWith('#'))
                continue;
            const auto where = QString("line %1 of the framemd5 list %2").arg(number).arg(path);
            const QList<QByteArray> fields = line.split(',');
            bool ok[4] = {};
            const qint64 stream = fields.size() == 6 ? fields[0].trimmed().toLongLong(&ok[0]) : -1;
            const qint64 dts = fields.size() == 6 ? fields[1].trimmed().toLongLong(&ok[1]) : 0;
            const qint64 duration = fields.size() == 6 ? fields[3].trimmed().toLongLong(&ok[2]) : 0;
            const qint64 size = fields.size() == 6 ? fields[4].trimmed().toLongLong(&ok[3]) : 0;
            if (!ok[0] || !ok[1] || !ok[2] || !ok[3] || stream < 0 || size_t(stream) >= cursors.size())
                return QString("%1 cannot be read").arg(where);
            StreamCursor &cursor = cursors[size_t(stream)];
            if (cursor.unit >= units || dts != cursor.dts)
                return QString("%1 names an element the file does not hold at that place (stream %2, time "
                               "stamp %3)")
                    .arg(where)
                    .arg(stream)
                    .arg(dts);
            const auto &[elementSize, md5] = elementsAt(cursor.unit).streams.at(size_t(stream));
            if (size != elementSize || fields[5].trimmed() != md5)
                return QString("%1 disagrees with the file: stream %2 of frame %3")
                    .arg(where)
                    .arg(stream)
                    .arg(cursor.unit);
            ++cursor.unit;
            cursor.dts += duration;
            const int64_t oldest =
                std::min_element(cursors.begin(), cursors.end(), [](const auto &a, const auto &b) {
                    return a.unit < b.unit;
                })->unit;
            read.erase(read.begin(), read.lower_bound(oldest));
        }
        for (size_t stream = 0; stream < cursors.size(); ++stream)
            if (cursors[stream].unit != units)
                return QString("the framemd5 list %1 lists %2 of the file's %3 frames for stream %4")
                    .arg(path)
                    .arg(cursors[stream].unit)
                    .arg(units)
                    .arg(stream);
    } catch (const std::exception &error) {
        return QString("the file cannot be read back for its framemd5 list: %1").arg(error.what());
    }
    return std::nullopt;
}
