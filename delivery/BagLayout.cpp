#include "delivery/BagLayout.h"

#include "verify/FileVerification.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <functional>

namespace {

constexpr char kBagInProgressSuffix[] = ".bag.part";
constexpr char kBagAsideSuffix[] = ".bag-old.part";
constexpr char kFileSuffix[] = ".mxf";

// The same names in another folder.
OutputPath movedTo(const OutputPath &path, const QString &folder) {
    const auto inFolder = [&folder](const QString &file) {
        return folder + "/" + QFileInfo(file).fileName();
    };
    OutputPath moved = path;
    moved.folder = folder;
    moved.file = inFolder(path.file);
    moved.partFile = inFolder(path.partFile);
    moved.reportFile = inFolder(path.reportFile);
    moved.checksumFile = inFolder(path.checksumFile);
    moved.frameMd5File = inFolder(path.frameMd5File);
    return moved;
}

// Removes a folder and all below it, or a file of that name.
std::optional<QString> removeTree(const QString &path) {
    const QFileInfo info(path);
    if (info.isDir() && !info.isSymLink() ? !QDir(path).removeRecursively()
                                          : (info.exists() || info.isSymLink()) && !QFile::remove(path))
        return QString("cannot remove %1").arg(path);
    return std::nullopt;
}

// A companion in data/ as the manifests list it, hashed as it is on the disk (the read the hash list makes of
// companions, see RunHistory.h).
std::optional<PayloadFile> hashed(const QString &path, const QString &name, bool md5) {
    const ReadBackResult read = readBack(path, nullptr, {}, true, md5);
    if (!read.sha256 || (md5 && !read.md5))
        return std::nullopt;
    return PayloadFile{name, uint64_t(QFileInfo(path).size()), *read.sha256, read.md5.value_or(QString())};
}

// The steps of commitBag, each nothing on success.
class BagAssembly {
public:
    BagAssembly(const BagPaths &paths, const BagPayload &payload) : paths_(paths), payload_(payload) {}

    std::optional<QString> fillData() {
        for (const PendingFile &companion : payload_.renamed)
            if (std::optional<QString> problem = renameOver(companion.inProgress, companion.final))
                return problem;
        if (std::optional<QString> problem = renameOver(payload_.file, paths_.staged.file))
            return problem;
        return syncFolder(QFileInfo(paths_.bag).absolutePath());
    }

    std::optional<QString> listPayload(std::vector<PayloadFile> &payload) {
        const bool md5 = !payload_.digests.md5.isEmpty();
        const QString mxfName = QFileInfo(paths_.staged.file).fileName();
        payload.push_back({mxfName, uint64_t(QFileInfo(paths_.staged.file).size()), payload_.digests.sha256,
                           payload_.digests.md5});
        const QStringList names =
            QDir(paths_.staged.folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
        for (const QString &name : names) {
            if (name == mxfName)
                continue;
            const std::optional<PayloadFile> file = hashed(paths_.staged.folder + "/" + name, name, md5);
            if (!file)
                return QString("cannot read %1 back for the bag's manifest")
                    .arg(paths_.staged.folder + "/" + name);
            payload.push_back(*file);
            companions_ << QString(kBagPayloadFolder) + "/" + name;
        }
        return std::nullopt;
    }

    std::optional<QString> writeTags(const std::vector<PayloadFile> &payload, const BagInfo &info) {
        QStringList tags;
        if (std::optional<QString> problem = writeBagTags(paths_.inProgress, payload, info, tags))
            return problem;
        companions_ << tags;
        if (std::optional<QString> problem = syncFolder(paths_.staged.folder))
            return problem;
        return syncFolder(paths_.inProgress);
    }

    // The old bag aside, the new one in, the old one gone; the folder synced between.
    std::optional<QString> swapIn() {
        const QString folder = QFileInfo(paths_.bag).absolutePath();
        if (std::optional<QString> problem = removeTree(paths_.aside))
            return problem;
        const bool replacing = QFileInfo::exists(paths_.bag);
        if (replacing)
            if (std::optional<QString> problem = renameOver(paths_.bag, paths_.aside))
                return problem;
        if (std::optional<QString> problem = renameOver(paths_.inProgress, paths_.bag)) {
            // The older bag goes back under its name, so that a failed copy leaves what was there.
            if (replacing)
                renameOver(paths_.aside, paths_.bag);
            return problem;
        }
        if (replacing) {
            if (std::optional<QString> problem = syncFolder(folder))
                return problem;
            return removeTree(paths_.aside);
        }
        return std::nullopt;
    }

    QStringList files() const {
        QStringList files;
        for (const QString &name : companions_)
            files << paths_.bag + "/" + name;
        return files;
    }

private:
    const BagPaths &paths_;
    const BagPayload &payload_;
    QStringList companions_; // relative to the bag
};

} // namespace

BagPaths bagPathsOf(const OutputPath &path) {
    BagPaths paths;
    QString bag = path.file;
    if (bag.endsWith(kFileSuffix))
        bag.chop(qsizetype(sizeof kFileSuffix - 1));
    paths.bag = bag;
    paths.inProgress = bag + kBagInProgressSuffix;
    paths.aside = bag + kBagAsideSuffix;
    paths.payload = movedTo(path, bag + "/" + kBagPayloadFolder);
    paths.staged = movedTo(path, paths.inProgress + "/" + kBagPayloadFolder);
    return paths;
}

std::optional<QString> startBag(const BagPaths &paths) {
    if (std::optional<QString> problem = removeTree(paths.inProgress))
        return problem;
    return makeFolders(paths.staged.folder);
}

BagResult commitBag(const BagPaths &paths, const BagPayload &payload, BagInfo info, std::stop_token stop) {
    BagAssembly assembly(paths, payload);
    std::vector<PayloadFile> files;
    const std::function<std::optional<QString>()> steps[] = {
        [&] { return assembly.fillData(); },
        [&] { return assembly.listPayload(files); },
        [&] { return assembly.writeTags(files, info); },
        [&] { return assembly.swapIn(); },
    };
    for (const auto &step : steps) {
        if (stop.stop_requested())
            return {false, QString("stopped before %1 was put in place").arg(paths.bag), {}};
        if (std::optional<QString> problem = step())
            return {false, problem, {}};
    }
    BagResult result{true, std::nullopt, assembly.files()};
    if (std::optional<QString> problem = syncFolder(QFileInfo(paths.bag).absolutePath()))
        result.problem =
            QString("finished, but the folder could not be synced: %1: %2").arg(paths.bag, *problem);
    return result;
}
