#include "delivery/BagTags.h"

#include "mxf/DurableFile.h"

#include <QCryptographicHash>

namespace {

constexpr char kBagItText[] = "BagIt-Version: 1.0\nTag-File-Character-Encoding: UTF-8\n";
constexpr char kContinuation[] = "  ";

// A value on one line: each control character (a line break included) becomes a space.
QString oneLine(const QString &value) {
    QString line = value;
    for (QChar &c : line)
        if (c.category() == QChar::Other_Control)
            c = ' ';
    return line.trimmed();
}

// "Label: value", folded at spaces so that each line keeps to kBagInfoLineLength where a word allows.
QString foldedLine(const QString &label, const QString &value) {
    QString text = label + ":";
    qsizetype lineStart = 0;
    bool wordOnLine = false; // a word too long for any line stays whole on a line of its own
    for (const QString &word : oneLine(value).split(' ', Qt::SkipEmptyParts)) {
        if (wordOnLine && text.size() - lineStart + 1 + word.size() > kBagInfoLineLength) {
            text += "\n";
            lineStart = text.size();
            text += kContinuation + word;
        } else {
            text += " " + word;
        }
        wordOnLine = true;
    }
    return text + "\n";
}

QByteArray manifestText(const std::vector<std::pair<QString, QString>> &lines) {
    QByteArray text;
    for (const auto &[digest, path] : lines)
        text += (digest + "  " + encodeManifestPath(path) + "\n").toUtf8();
    return text;
}

std::optional<QString> writeSynced(const QString &path, const QByteArray &bytes) {
    SyncedFileWriter file(path);
    file.write(bytes);
    return file.finish();
}

QString hexDigest(const QByteArray &bytes, QCryptographicHash::Algorithm algorithm) {
    return QString::fromLatin1(QCryptographicHash::hash(bytes, algorithm).toHex());
}

} // namespace

QString encodeManifestPath(const QString &path) {
    QString encoded;
    for (const QChar c : path)
        encoded += c == '%'    ? QString("%25")
                   : c == '\r' ? QString("%0D")
                   : c == '\n' ? QString("%0A")
                               : QString(c);
    return encoded;
}

std::optional<QString> decodeManifestPath(const QString &encoded) {
    QString path;
    for (qsizetype i = 0; i < encoded.size(); ++i) {
        if (encoded[i] != '%') {
            path += encoded[i];
            continue;
        }
        bool ok = false;
        const uint code = i + 2 < encoded.size() ? encoded.mid(i + 1, 2).toUInt(&ok, 16) : 0;
        if (!ok)
            return std::nullopt;
        path += QChar(code);
        i += 2;
    }
    return path;
}

QString payloadOxum(const std::vector<PayloadFile> &payload) {
    uint64_t bytes = 0;
    for (const PayloadFile &file : payload)
        bytes += file.size;
    return QString("%1.%2").arg(bytes).arg(payload.size());
}

QByteArray bagInfoText(const BagInfo &info, const std::vector<PayloadFile> &payload) {
    const std::pair<const char *, QString> fields[] = {
        {"Bag-Software-Agent", info.softwareAgent},
        {"Bagging-Date", info.baggingDate.isValid() ? info.baggingDate.toString(Qt::ISODate) : QString()},
        {"External-Identifier", info.externalIdentifier},
        {"Internal-Sender-Description", info.senderDescription},
        {"Internal-Sender-Identifier", info.senderIdentifier},
        {"Payload-Oxum", payloadOxum(payload)},
        {"Source-Organization", info.sourceOrganization},
    };
    QString text;
    for (const auto &[label, value] : fields)
        if (!oneLine(value).isEmpty())
            text += foldedLine(label, value);
    return text.toUtf8();
}

std::optional<QString> writeBagTags(const QString &bag, const std::vector<PayloadFile> &payload,
                                    const BagInfo &info, QStringList &written) {
    const bool md5 = !payload.empty() && !payload.front().md5.isEmpty();
    std::vector<std::pair<QString, QByteArray>> tags{{kBagItFile, kBagItText}};
    std::vector<std::pair<QString, QString>> sha256Lines, md5Lines;
    for (const PayloadFile &file : payload) {
        const QString path = QString(kBagPayloadFolder) + "/" + file.path;
        sha256Lines.emplace_back(file.sha256, path);
        md5Lines.emplace_back(file.md5, path);
    }
    tags.emplace_back("manifest-sha256.txt", manifestText(sha256Lines));
    if (md5)
        tags.emplace_back("manifest-md5.txt", manifestText(md5Lines));
    tags.emplace_back(kBagInfoFile, bagInfoText(info, payload));
    std::vector<std::pair<QString, QString>> tagLines;
    for (const auto &[name, bytes] : tags) {
        if (std::optional<QString> problem = writeSynced(bag + "/" + name, bytes))
            return problem;
        written << name;
        tagLines.emplace_back(hexDigest(bytes, QCryptographicHash::Sha256), name);
    }
    const QString tagManifest = "tagmanifest-sha256.txt";
    if (std::optional<QString> problem = writeSynced(bag + "/" + tagManifest, manifestText(tagLines)))
        return problem;
    written << tagManifest;
    return std::nullopt;
}
