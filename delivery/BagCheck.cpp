#include "delivery/BagCheck.h"

#include "delivery/BagTags.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QRegularExpression>
#include <optional>

namespace {

// Tag files are small; one larger than this is not read.
constexpr qint64 kMostTagFileBytes = 16 << 20;

struct Manifest {
    QString file;                            // its name in the bag
    QCryptographicHash::Algorithm algorithm; // of its digests
    QMap<QString, QString> digests;          // by path relative to the bag
};

std::optional<QCryptographicHash::Algorithm> algorithmNamed(const QString &name) {
    static const QMap<QString, QCryptographicHash::Algorithm> known{{"sha256", QCryptographicHash::Sha256},
                                                                    {"sha512", QCryptographicHash::Sha512},
                                                                    {"sha1", QCryptographicHash::Sha1},
                                                                    {"md5", QCryptographicHash::Md5}};
    if (!known.contains(name))
        return std::nullopt;
    return known.value(name);
}

class Checker {
public:
    explicit Checker(QString bag) : bag_(std::move(bag)) {}

    std::vector<BagProblem> run() {
        checkDeclaration();
        const std::vector<Manifest> payload = readManifests("manifest-", true);
        if (payload.empty())
            fail("manifest-missing", QString("%1 has no payload manifest of a known algorithm").arg(bag_));
        for (const Manifest &manifest : payload) {
            checkDigests(manifest);
            checkEveryPayloadFileListed(manifest);
        }
        checkOxum();
        for (const Manifest &manifest : readManifests("tagmanifest-", false))
            checkDigests(manifest);
        return problems_;
    }

private:
    void fail(const char *check, const QString &detail) { problems_.push_back({check, detail}); }

    QString pathOf(const QString &relative) const { return bag_ + "/" + relative; }

    std::optional<QByteArray> readTagFile(const QString &name, const char *check) {
        QFile file(pathOf(name));
        if (!file.open(QIODevice::ReadOnly)) {
            fail(check, QString("%1 cannot be read: %2").arg(file.fileName(), file.errorString()));
            return std::nullopt;
        }
        if (file.size() > kMostTagFileBytes) {
            fail(check, QString("%1 is larger than a tag file may be here").arg(file.fileName()));
            return std::nullopt;
        }
        return file.readAll();
    }

    void checkDeclaration() {
        const std::optional<QByteArray> text = readTagFile(kBagItFile, "bagit-txt");
        if (!text)
            return;
        static const QRegularExpression declaration(
            "^BagIt-Version: (1\\.0|0\\.97)\\r?\\nTag-File-Character-Encoding: UTF-8\\r?\\n?$");
        if (!declaration.match(QString::fromUtf8(*text)).hasMatch())
            fail("bagit-txt", QString("%1 is not the declaration of a BagIt 1.0 bag with UTF-8 tag files")
                                  .arg(pathOf(kBagItFile)));
    }

    // The manifests named PREFIX<algorithm>.txt; the lines of a payload manifest must lie under data/.
    std::vector<Manifest> readManifests(const QString &prefix, bool payload) {
        std::vector<Manifest> manifests;
        const QStringList names = QDir(bag_).entryList({prefix + "*.txt"}, QDir::Files, QDir::Name);
        for (const QString &name : names) {
            const QString algorithm = name.mid(prefix.size(), name.size() - prefix.size() - 4);
            const auto known = algorithmNamed(algorithm);
            if (!known)
                continue;
            const std::optional<QByteArray> text = readTagFile(name, "manifest-line");
            if (!text)
                continue;
            Manifest &manifest = manifests.emplace_back(Manifest{name, *known, {}});
            const QStringList lines = QString::fromUtf8(*text).split(QRegularExpression("\\r?\\n|\\r"));
            for (qsizetype n = 0; n < lines.size(); ++n)
                if (!lines[n].isEmpty())
                    readLine(manifest, lines[n], int(n + 1), payload);
        }
        return manifests;
    }

    void readLine(Manifest &manifest, const QString &line, int number, bool payload) {
        static const QRegularExpression split("^([0-9A-Fa-f]+)[ \\t]+(.+)$");
        const QRegularExpressionMatch match = split.match(line);
        const std::optional<QString> path =
            match.hasMatch() ? decodeManifestPath(match.captured(2)) : std::nullopt;
        const QString where = QString("%1 line %2").arg(pathOf(manifest.file)).arg(number);
        if (!path) {
            fail("manifest-line", QString("%1 is not a digest and a path").arg(where));
            return;
        }
        const QStringList parts = path->split('/');
        if (path->startsWith('/') || parts.contains("..") || parts.contains(".") || parts.contains("") ||
            path->contains('\\') || (payload && parts.first() != kBagPayloadFolder)) {
            fail("manifest-line", QString("%1: the path %2 is not %3")
                                      .arg(where, *path, payload ? "under data/ in the bag" : "in the bag"));
            return;
        }
        if (manifest.digests.contains(*path)) {
            fail("manifest-line", QString("%1: %2 is listed twice").arg(where, *path));
            return;
        }
        manifest.digests.insert(*path, match.captured(1).toLower());
    }

    void checkDigests(const Manifest &manifest) {
        for (auto entry = manifest.digests.cbegin(); entry != manifest.digests.cend(); ++entry) {
            QFile file(pathOf(entry.key()));
            if (!QFileInfo(file.fileName()).isFile() || !file.open(QIODevice::ReadOnly)) {
                fail("file-missing",
                     QString("%1 lists %2, which is not there").arg(pathOf(manifest.file), file.fileName()));
                continue;
            }
            QCryptographicHash hash(manifest.algorithm);
            if (!hash.addData(&file)) {
                fail("file-missing",
                     QString("%1 cannot be read: %2").arg(file.fileName(), file.errorString()));
                continue;
            }
            const QString digest = QString::fromLatin1(hash.result().toHex());
            if (digest != entry.value())
                fail("digest-mismatch", QString("%1: %2 gives %3, the file's is %4")
                                            .arg(file.fileName(), manifest.file, entry.value(), digest));
        }
    }

    // Every file under data/, relative to the bag; also its total size.
    QStringList payloadFiles(uint64_t &bytes) const {
        QStringList found;
        bytes = 0;
        QDirIterator walk(pathOf(kBagPayloadFolder), QDir::Files | QDir::Hidden | QDir::System,
                          QDirIterator::Subdirectories);
        while (walk.hasNext()) {
            walk.next();
            found << QDir(bag_).relativeFilePath(walk.filePath());
            bytes += uint64_t(walk.fileInfo().size());
        }
        found.sort();
        return found;
    }

    void checkEveryPayloadFileListed(const Manifest &manifest) {
        uint64_t bytes = 0;
        for (const QString &file : payloadFiles(bytes))
            if (!manifest.digests.contains(file))
                fail("payload-unlisted", QString("%1 is not in %2").arg(pathOf(file), manifest.file));
    }

    void checkOxum() {
        if (!QFileInfo::exists(pathOf(kBagInfoFile)))
            return;
        const std::optional<QByteArray> text = readTagFile(kBagInfoFile, "bag-info");
        if (!text)
            return;
        QString oxum;
        static const QRegularExpression field("^([^:\\s][^:]*):\\s*(.*)$");
        const QStringList lines = QString::fromUtf8(*text).split(QRegularExpression("\\r?\\n|\\r"));
        for (qsizetype n = 0; n < lines.size(); ++n) {
            const QString &line = lines[n];
            if (line.isEmpty() || line.front().isSpace())
                continue; // a continuation line (or the end)
            const QRegularExpressionMatch match = field.match(line);
            if (!match.hasMatch()) {
                fail("bag-info",
                     QString("%1 line %2 is not \"Label: value\"").arg(pathOf(kBagInfoFile)).arg(n + 1));
                continue;
            }
            if (match.captured(1).trimmed() == "Payload-Oxum")
                oxum = match.captured(2).trimmed();
        }
        if (oxum.isNull())
            return;
        static const QRegularExpression shape("^(\\d{1,19})\\.(\\d{1,19})$");
        const QRegularExpressionMatch parts = shape.match(oxum);
        uint64_t bytes = 0;
        const qsizetype files = payloadFiles(bytes).size();
        if (!parts.hasMatch())
            fail("payload-oxum",
                 QString("%1: Payload-Oxum \"%2\" is not BYTES.FILES").arg(pathOf(kBagInfoFile), oxum));
        else if (parts.captured(1).toULongLong() != bytes ||
                 parts.captured(2).toULongLong() != uint64_t(files))
            fail("payload-oxum", QString("%1: Payload-Oxum is %2, data/ holds %3.%4")
                                     .arg(pathOf(kBagInfoFile), oxum)
                                     .arg(bytes)
                                     .arg(files));
    }

    QString bag_;
    std::vector<BagProblem> problems_;
};

} // namespace

std::vector<BagProblem> validateBag(const QString &bag) {
    return Checker(QDir::cleanPath(bag)).run();
}
