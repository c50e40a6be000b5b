#include "mhl/History.h"

#include "mhl/C4Id.h"
#include "mhl/Chain.h"
#include "mxf/DurableFile.h"
#include "mxf/OutputPath.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>

namespace mhl {

namespace {

constexpr char kManifestSuffix[] = ".mhl";
// Larger than any manifest of a copied folder (about 400 bytes a file); a bigger file is no manifest.
constexpr qint64 kMaxFileBytes = qint64(1) << 30;

// The generation number in a manifest's file name, NNNN with four digits or more; -1 when the name has
// another form.
int generationNumber(const QString &fileName) {
    static const QRegularExpression pattern(R"(^(\d{4,})(?:_(.+))?$)");
    if (!fileName.endsWith(kManifestSuffix))
        return -1;
    const QRegularExpressionMatch match = pattern.match(fileName.chopped(int(qstrlen(kManifestSuffix))));
    bool ok = false;
    const int number = match.hasMatch() ? match.captured(1).toInt(&ok) : 0;
    return ok && number > 0 ? number : -1;
}

QString manifestFileName(int number, const QString &root, const QDateTime &created) {
    const QString rootName = QFileInfo(QDir::cleanPath(QDir(root).absolutePath())).fileName();
    return QString("%1_%2_%3Z%4")
        .arg(number, 4, 10, QChar('0'))
        .arg(rootName, created.toUTC().toString("yyyy-MM-dd_HHmmss"), kManifestSuffix);
}

std::optional<QByteArray> readWhole(const QString &path, QString &error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QString("%1 cannot be read: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    if (file.size() > kMaxFileBytes) {
        error = QString("%1 is %2 bytes long, too long for an ASC MHL file").arg(path).arg(file.size());
        return std::nullopt;
    }
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        error = QString("%1 cannot be read: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    return bytes;
}

// The chain file's entries; none when there is no chain file; nothing, with `error`, when it cannot be read.
std::optional<std::vector<ChainEntry>> loadChain(const QDir &folder, QString &error) {
    const QString path = folder.filePath(kChainFile);
    if (!QFileInfo::exists(path))
        return std::vector<ChainEntry>{};
    const std::optional<QByteArray> bytes = readWhole(path, error);
    if (!bytes)
        return std::nullopt;
    std::optional<std::vector<ChainEntry>> entries = readChain(*bytes, error);
    if (!entries)
        error = QString("%1: %2").arg(path, error);
    return entries;
}

QStringList manifestNames(const QDir &folder) {
    return folder.entryList({QString("*") + kManifestSuffix}, QDir::Files | QDir::Hidden, QDir::Name);
}

} // namespace

QStringList readerIgnorePatterns() {
    return {".DS_Store", kFolder, QString(kFolder) + "/"};
}

QStringList defaultIgnorePatterns() {
    return readerIgnorePatterns() << QString("*") + kInProgressSuffix;
}

History loadHistory(const QString &root) {
    History history;
    const QDir folder(QDir(root).filePath(kFolder));
    if (!folder.exists())
        return history;
    const QStringList names = manifestNames(folder);
    QString error;
    const std::optional<std::vector<ChainEntry>> chain = loadChain(folder, error);
    if (!chain)
        history.problems << error;
    else if (chain->empty() && !names.isEmpty())
        history.problems << QString("%1 is missing: the manifests cannot be checked against it")
                                .arg(folder.filePath(kChainFile));

    for (const QString &name : names) {
        const QString path = folder.filePath(name);
        const int number = generationNumber(name);
        if (number < 0) {
            history.problems
                << QString("%1 is not named as a generation's manifest (NNNN_NAME.mhl)").arg(path);
            continue;
        }
        const std::optional<QByteArray> bytes = readWhole(path, error);
        if (!bytes) {
            history.problems << error;
            continue;
        }
        if (chain && !chain->empty()) {
            const auto listed = std::find_if(chain->begin(), chain->end(),
                                             [&](const ChainEntry &entry) { return entry.path == name; });
            const QString c4 = c4Id(*bytes);
            if (listed == chain->end())
                history.problems << QString("%1 is not listed in %2").arg(path, kChainFile);
            else if (listed->c4 != c4)
                history.problems << QString(
                                        "%1 was changed after it was written: its C4 id is %2, %3 lists %4")
                                        .arg(path, c4, kChainFile, listed->c4);
            else if (listed->sequence != number)
                history.problems << QString("%1 is listed in %2 as generation %3")
                                        .arg(path, kChainFile)
                                        .arg(listed->sequence);
        }
        std::optional<Generation> generation = readManifest(*bytes, error);
        if (!generation) {
            history.problems << QString("%1: %2").arg(path, error);
            continue;
        }
        history.generations.push_back({number, name, std::move(*generation)});
    }
    if (chain)
        for (const ChainEntry &entry : *chain)
            if (!QFileInfo(folder.filePath(entry.path)).isFile())
                history.problems << QString("%1 is listed in %2 as generation %3, but is missing")
                                        .arg(folder.filePath(entry.path), kChainFile)
                                        .arg(entry.sequence);
    std::stable_sort(
        history.generations.begin(), history.generations.end(),
        [](const LoadedGeneration &a, const LoadedGeneration &b) { return a.number < b.number; });
    for (size_t k = 1; k < history.generations.size(); ++k)
        if (history.generations[k].number == history.generations[k - 1].number)
            history.problems << QString("%1 and %2 are both generation %3")
                                    .arg(history.generations[k - 1].fileName, history.generations[k].fileName)
                                    .arg(history.generations[k].number);
    return history;
}

std::optional<QString> appendGeneration(const QString &root, const Generation &generation, QString &error) {
    if (!generation.created.isValid()) {
        error = QString("the generation for %1 has no creation date").arg(root);
        return std::nullopt;
    }
    const QString folderPath = QDir(root).filePath(kFolder);
    if (const std::optional<QString> problem = makeFolders(folderPath)) {
        error = *problem;
        return std::nullopt;
    }
    const QDir folder(folderPath);
    std::optional<std::vector<ChainEntry>> chain = loadChain(folder, error);
    if (!chain) {
        error = QString("no generation was added: %1").arg(error);
        return std::nullopt;
    }
    // Past every generation listed and every manifest there, listed or not.
    int last = 0;
    for (const ChainEntry &entry : *chain)
        last = std::max(last, entry.sequence);
    for (const QString &name : manifestNames(folder))
        last = std::max(last, generationNumber(name));
    if (last == std::numeric_limits<int>::max()) {
        error = QString("no generation was added: %1 has the last number there can be").arg(folderPath);
        return std::nullopt;
    }

    const QString name = manifestFileName(last + 1, root, generation.created);
    const QString manifestPath = folder.filePath(name);
    const QByteArray manifest = manifestXml(generation);
    SyncedFileWriter manifestWriter(manifestPath);
    manifestWriter.write(manifest);
    if (std::optional<QString> problem = manifestWriter.finish()) {
        QFile::remove(manifestPath);
        error = *problem;
        return std::nullopt;
    }

    chain->push_back({last + 1, name, c4Id(manifest)});
    const QString chainPath = folder.filePath(kChainFile);
    const QString pendingChain = chainPath + kInProgressSuffix;
    SyncedFileWriter chainWriter(pendingChain);
    chainWriter.write(chainXml(*chain));
    std::optional<QString> problem = chainWriter.finish();
    if (!problem && std::rename(QFile::encodeName(pendingChain).constData(),
                                QFile::encodeName(chainPath).constData()) != 0)
        problem = QString("cannot rename %1 to %2: %3").arg(pendingChain, chainPath, std::strerror(errno));
    if (problem) {
        // The generation was not added: leave no manifest the chain does not list.
        QFile::remove(pendingChain);
        QFile::remove(manifestPath);
        error = *problem;
        return std::nullopt;
    }
    if (std::optional<QString> synced = syncFolder(folderPath)) {
        error = QString("%1 was added, but the folder could not be synced: %2").arg(manifestPath, *synced);
        return std::nullopt;
    }
    return manifestPath;
}

} // namespace mhl
