#include "mhl/RootCheck.h"

#include "mhl/IgnorePatterns.h"
#include "mhl/XmlShared.h"
#include "verify/ReadBackBuffer.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <cstring>

namespace mhl {

namespace {

// What a file is checked against: the newest generation's hash of it in a format this tool computes.
struct Expected {
    qint64 size = -1; // -1: not given
    Hash hash;        // format empty: no generation has one this tool computes
};

// The hash of `file` to check against: xxh128 before md5; a hash recorded as failed describes a damaged
// copy and is never the reference.
const Hash *checkableHash(const FileHash &file) {
    const Hash *found = nullptr;
    for (const Hash &hash : file.hashes) {
        if (hash.action == QLatin1String(kFailed))
            continue;
        if (hash.format == QLatin1String(kXxh128))
            return &hash;
        if (hash.format == QLatin1String(kMd5) && !found)
            found = &hash;
    }
    return found;
}

// Every referenced path, with what to check it against.
QHash<QString, Expected> expectedFiles(const History &history) {
    QHash<QString, Expected> expected;
    for (auto generation = history.generations.rbegin(); generation != history.generations.rend();
         ++generation)
        for (const FileHash &file : generation->generation.files) {
            Expected &entry = expected[file.path];
            if (!entry.hash.format.isEmpty())
                continue; // a newer generation gave it already
            if (const Hash *hash = checkableHash(file)) {
                entry.hash = *hash;
                entry.size = file.size;
            }
        }
    return expected;
}

IgnorePatterns ignorePatterns(const History &history) {
    QStringList patterns = readerIgnorePatterns();
    for (const LoadedGeneration &generation : history.generations)
        patterns << generation.generation.ignore;
    return IgnorePatterns(patterns);
}

// The files under `root` (relative paths, sorted) that no pattern skips; symbolic links to folders are not
// followed, so a loop of links cannot trap the walk.
QStringList presentFiles(const QString &root, const IgnorePatterns &ignore) {
    const QDir base(root);
    QStringList files;
    QDirIterator walk(root, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (walk.hasNext()) {
        const QString path = base.relativeFilePath(walk.next());
        if (!ignore.matches(path))
            files << path;
    }
    files.sort();
    return files;
}

enum class Outcome { Agrees, Differs, Unreadable, Stopped };

// Reads the file once, past the page cache, into the one digest its expected hash needs.
Outcome compareFile(const QString &root, const QString &path, const Expected &expected, std::stop_token stop,
                    RootCheck &check) {
    const QFileInfo info(QDir(root).filePath(path));
    if (expected.size >= 0 && info.size() != expected.size) {
        check.changed
            << QString("%1: the size was %2 bytes, is %3").arg(path).arg(expected.size).arg(info.size());
        return Outcome::Differs;
    }
    ReadBackBuffer buffer(info.filePath());
    if (!buffer.isOpen()) {
        check.unreadable << QString("%1: %2").arg(path, std::strerror(buffer.error()));
        return Outcome::Unreadable;
    }
    const bool xxh128 = expected.hash.format == QLatin1String(kXxh128);
    const std::unique_ptr<WholeFileDigest> digest = xxh128 ? xxh128Digest() : md5Digest();
    buffer.addDigest(*digest);
    if (!buffer.finish(stop)) {
        if (stop.stop_requested())
            return Outcome::Stopped;
        check.unreadable << QString("%1: %2").arg(path, std::strerror(buffer.error()));
        return Outcome::Unreadable;
    }
    const std::optional<QString> found = digest->result();
    if (!found) {
        check.unreadable << QString("%1: the %2 could not be computed").arg(path, expected.hash.format);
        return Outcome::Unreadable;
    }
    if (*found != expected.hash.value) {
        check.changed
            << QString("%1: %2 was %3, is %4").arg(path, expected.hash.format, expected.hash.value, *found);
        return Outcome::Differs;
    }
    const QDateTime now = wholeSecondsUtc(QDateTime::currentDateTimeUtc());
    check.verified.push_back({path,
                              info.size(),
                              wholeSecondsUtc(info.lastModified()),
                              {{expected.hash.format, *found, kVerified, now}}});
    return Outcome::Agrees;
}

} // namespace

bool RootCheck::passed() const {
    return !stopped && historyProblems.isEmpty() && missing.isEmpty() && changed.isEmpty() &&
           unreferenced.isEmpty() && unreadable.isEmpty();
}

RootCheck checkRoot(const QString &root, std::stop_token stop,
                    const std::function<void(const QString &path)> &progress) {
    RootCheck check;
    const History history = loadHistory(root);
    check.historyProblems = history.problems;
    if (history.generations.empty() && history.problems.isEmpty())
        check.historyProblems
            << QString("%1 has no ASC MHL history (no %2 folder with manifests)").arg(root, kFolder);

    const QHash<QString, Expected> expected = expectedFiles(history);
    const QStringList present = presentFiles(root, ignorePatterns(history));
    for (const QString &path : present) {
        const auto entry = expected.constFind(path);
        if (entry == expected.constEnd()) {
            check.unreferenced << path;
            continue;
        }
        if (entry->hash.format.isEmpty()) {
            check.unreadable
                << QString("%1: no generation has an %2 or %3 hash of it").arg(path, kXxh128, kMd5);
            continue;
        }
        if (stop.stop_requested()) {
            check.stopped = true;
            return check;
        }
        if (progress)
            progress(path);
        if (compareFile(root, path, *entry, stop, check) == Outcome::Stopped) {
            check.stopped = true;
            return check;
        }
    }

    const QSet<QString> found(present.begin(), present.end());
    for (auto entry = expected.constBegin(); entry != expected.constEnd(); ++entry)
        if (!found.contains(entry.key()) && !QFileInfo(QDir(root).filePath(entry.key())).isFile())
            check.missing << entry.key();
    check.missing.sort();
    return check;
}

Generation verifiedGeneration(const RootCheck &check, Generation about) {
    about.process = kInPlaceProcess;
    about.files = check.verified;
    return about;
}

} // namespace mhl
