#include "delivery/RunHistory.h"

#include "mhl/History.h"
#include "mhl/XmlShared.h"
#include "verify/FileVerification.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSysInfo>

using mhl::wholeSecondsUtc;

mhl::Generation generationOfThisTool(const QString &process, const QString &author,
                                     const QStringList &ignore) {
    mhl::Generation generation;
    generation.created = wholeSecondsUtc(QDateTime::currentDateTimeUtc());
    generation.hostname = QSysInfo::machineHostName();
    generation.tool = QCoreApplication::applicationName();
    generation.toolVersion = QCoreApplication::applicationVersion();
    // XML has no place for control characters: a name typed with one loses it.
    generation.author = author;
    generation.author.removeIf([](QChar c) { return c.category() == QChar::Other_Control; });
    generation.process = process;
    generation.ignore = mhl::defaultIgnorePatterns() + ignore;
    return generation;
}

RunHistory::RunHistory(QString root, HashListOptions options)
    : root(QFileInfo(root).absoluteFilePath()), options(std::move(options)),
      generation(generationOfThisTool(mhl::kTransferProcess, this->options.author, this->options.ignore)) {}

std::optional<QString> RunHistory::add(const QString &file, const QString &xxh128, const QString &md5) {
    const QFileInfo about(file);
    const QString path = QDir(root).relativeFilePath(about.absoluteFilePath());
    if (path.startsWith("../") || QDir::isAbsolutePath(path))
        return QString("%1 is not below %2").arg(file, root);
    mhl::FileHash entry{path, about.size(), wholeSecondsUtc(about.lastModified()), {}};
    const QDateTime now = wholeSecondsUtc(QDateTime::currentDateTimeUtc());
    // The schema's order: md5 before xxh128.
    if (options.md5)
        entry.hashes.push_back({mhl::kMd5, md5, mhl::kOriginal, now});
    entry.hashes.push_back({mhl::kXxh128, xxh128, mhl::kOriginal, now});
    generation.files.push_back(std::move(entry));
    return std::nullopt;
}

std::optional<QString> RunHistory::addFinished(const QString &file, const FileDigests &digests,
                                               const QStringList &companions) {
    if (digests.xxh128.isEmpty() || (options.md5 && digests.md5.isEmpty()))
        return QString("the read-back of %1 took no digest for the hash list").arg(file);
    if (std::optional<QString> problem = add(file, digests.xxh128, digests.md5))
        return problem;
    for (const QString &companion : companions) {
        if (!QFileInfo::exists(companion))
            continue;
        const ReadBackResult read = readBack(companion, nullptr, {}, true, options.md5);
        if (!read.xxh128 || (options.md5 && !read.md5))
            return QString("cannot hash %1 for the hash list: %2")
                .arg(companion, read.problem.value_or("it could not be read"));
        if (std::optional<QString> problem = add(companion, *read.xxh128, read.md5.value_or(QString())))
            return problem;
    }
    return std::nullopt;
}

std::optional<QString> RunHistory::record() {
    if (generation.files.empty())
        return std::nullopt;
    generation.created = wholeSecondsUtc(QDateTime::currentDateTimeUtc());
    QString error;
    const std::optional<QString> manifest = mhl::appendGeneration(root, generation, error);
    if (!manifest)
        return QString("the ASC MHL history of %1 was not written: %2").arg(root, error);
    written = *manifest;
    return std::nullopt;
}
