#include "mxf/DurableFile.h"

#include "mxf/OutputPath.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

bool syncPath(const QString &path, int flags) {
    const int descriptor = ::open(QFile::encodeName(path).constData(), flags | O_CLOEXEC);
    if (descriptor < 0)
        return false;
    const bool synced = ::fsync(descriptor) == 0;
    return ::close(descriptor) == 0 && synced;
}

} // namespace

bool syncFile(const QString &path) {
    return syncPath(path, O_RDONLY);
}

bool syncFolder(const QString &folder) {
    return syncPath(folder, O_RDONLY | O_DIRECTORY);
}

std::optional<QString> commitFile(const QString &from, const QString &to) {
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0)
        return QString("cannot rename %1 to %2: %3")
            .arg(from, to, QString::fromLocal8Bit(std::strerror(errno)));
    if (!syncFolder(QFileInfo(to).absolutePath()))
        return QString("cannot flush the folder of %1 to disk").arg(to);
    return std::nullopt;
}

std::vector<CommitStep> commitStepsWithCompanions(const PendingFile &file,
                                                  const std::vector<PendingFile> &companions) {
    std::vector<CommitStep> steps;
    steps.emplace_back([file]() -> std::optional<QString> {
        if (!QFileInfo::exists(file.final))
            return std::nullopt;
        if (!QFile::remove(file.final))
            return QString("cannot remove %1 to replace it").arg(file.final);
        if (!syncFolder(QFileInfo(file.final).absolutePath()))
            return QString("cannot flush the folder of %1 to disk").arg(file.final);
        return std::nullopt;
    });
    for (const PendingFile &companion : companions)
        steps.emplace_back([companion] { return commitFile(companion.inProgress, companion.final); });
    steps.emplace_back([file] { return commitFile(file.inProgress, file.final); });
    return steps;
}

std::optional<QString> commitWithCompanions(const PendingFile &file,
                                            const std::vector<PendingFile> &companions) {
    for (const CommitStep &step : commitStepsWithCompanions(file, companions))
        if (std::optional<QString> problem = step())
            return problem;
    return std::nullopt;
}

QStringList inProgressFiles(const QString &destination) {
    QStringList found;
    const QDir top(destination);
    for (const QString &folder :
         top.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name)) {
        const QDir below(top.filePath(folder));
        for (const QString &name :
             below.entryList({"*" + QString(kInProgressSuffix)}, QDir::Files | QDir::Hidden, QDir::Name))
            found << below.filePath(name);
    }
    return found;
}
