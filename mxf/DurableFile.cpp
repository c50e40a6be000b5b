#include "mxf/DurableFile.h"

#include "mxf/FileOutputStream.h"
#include "mxf/OutputPath.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr qsizetype kWriteBufferBytes = qsizetype(1) << 20;

DurabilityCalls systemCalls;
std::atomic<DurabilityCalls *> installedCalls{&systemCalls};

DurabilityCalls &calls() {
    return *installedCalls.load();
}

QByteArray native(const QString &path) {
    return QFile::encodeName(path);
}

QString reason(int cause) {
    return QString::fromLocal8Bit(std::strerror(cause));
}

// 0, or the errno of the open, fsync or close that failed.
int syncPath(const QString &path, int flags) {
    const int descriptor = ::open(native(path).constData(), flags | O_CLOEXEC);
    if (descriptor < 0)
        return errno;
    const int synced = calls().fsync(descriptor, path) == 0 ? 0 : errno;
    const int closed = ::close(descriptor) == 0 ? 0 : errno;
    return synced != 0 ? synced : closed;
}

} // namespace

std::optional<QString> renameOver(const QString &from, const QString &to) {
    if (calls().rename(from, to) != 0)
        return QString("cannot rename %1 to %2: %3").arg(from, to, reason(errno));
    return std::nullopt;
}

ssize_t DurabilityCalls::write(int descriptor, const void *bytes, size_t count, const QString &) {
    return ::write(descriptor, bytes, count);
}

int DurabilityCalls::fsync(int descriptor, const QString &) {
    return ::fsync(descriptor);
}

int DurabilityCalls::rename(const QString &from, const QString &to) {
    return std::rename(native(from).constData(), native(to).constData());
}

int DurabilityCalls::remove(const QString &path) {
    return ::unlink(native(path).constData());
}

DurabilityCalls *setDurabilityCalls(DurabilityCalls *replacement) {
    DurabilityCalls *previous = installedCalls.exchange(replacement ? replacement : &systemCalls);
    return previous == &systemCalls ? nullptr : previous;
}

QString syncProblem(const QString &path, int cause) {
    if (isDiskFull(cause))
        return QString("disk full: %1 could not be written to disk (%2)").arg(path, reason(cause));
    return QString("%1 could not be flushed to disk: %2").arg(path, reason(cause));
}

std::optional<QString> syncFile(const QString &path) {
    if (const int cause = syncPath(path, O_RDONLY))
        return syncProblem(path, cause);
    return std::nullopt;
}

std::optional<QString> syncFolder(const QString &folder) {
    const int cause = syncPath(folder, O_RDONLY | O_DIRECTORY);
    if (cause == 0 || cause == EINVAL)
        return std::nullopt;
    return syncProblem(folder, cause);
}

bool folderSyncSupported(const QString &folder) {
    return syncPath(folder, O_RDONLY | O_DIRECTORY) != EINVAL;
}

std::optional<QString> makeFolders(const QString &folder) {
    const QFileInfo info(folder);
    if (info.isDir())
        return std::nullopt;
    const QString parent = info.absolutePath();
    if (parent != info.absoluteFilePath())
        if (std::optional<QString> problem = makeFolders(parent))
            return problem;
    if (::mkdir(native(folder).constData(), 0777) != 0 && errno != EEXIST)
        return QString("cannot create the folder %1: %2").arg(folder, reason(errno));
    return syncFolder(parent);
}

SyncedFileWriter::SyncedFileWriter(QString path) : target(std::move(path)) {
    descriptor = ::open(native(target).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (descriptor < 0)
        fail("cannot create");
    buffer.reserve(kWriteBufferBytes);
}

SyncedFileWriter::~SyncedFileWriter() {
    if (descriptor >= 0)
        ::close(descriptor);
}

void SyncedFileWriter::fail(const char *what) {
    const int cause = errno;
    if (!problem)
        problem = isDiskFull(cause) ? syncProblem(target, cause)
                                    : QString("%1 %2: %3").arg(what, target, reason(cause));
}

void SyncedFileWriter::write(const QByteArray &bytes) {
    buffer += bytes;
    if (buffer.size() >= kWriteBufferBytes)
        flush();
}

void SyncedFileWriter::flush() {
    if (descriptor >= 0 && !problem)
        for (qsizetype done = 0; done < buffer.size();) {
            const ssize_t written =
                calls().write(descriptor, buffer.constData() + done, size_t(buffer.size() - done), target);
            if (written < 0 && errno == EINTR)
                continue;
            if (written <= 0) {
                if (written == 0)
                    errno = ENOSPC;
                fail("cannot write");
                break;
            }
            done += written;
        }
    buffer.clear();
}

std::optional<QString> SyncedFileWriter::finish() {
    flush();
    if (descriptor >= 0) {
        if (!problem && calls().fsync(descriptor, target) != 0)
            problem = syncProblem(target, errno);
        if (::close(descriptor) != 0)
            fail("cannot close");
        descriptor = -1;
    }
    return problem;
}

std::vector<CommitStep> commitStepsWithCompanions(const PendingFile &file,
                                                  const std::vector<PendingFile> &companions,
                                                  const QStringList &companionNames) {
    std::vector<CommitStep> steps;
    steps.emplace_back([file, companionNames]() -> std::optional<QString> {
        for (const QString &name : QStringList{file.final} + companionNames)
            if (QFileInfo::exists(name) && calls().remove(name) != 0)
                return QString("cannot remove %1 to replace it: %2").arg(name, reason(errno));
        return syncFolder(QFileInfo(file.final).absolutePath());
    });
    for (const PendingFile &companion : companions)
        steps.emplace_back([companion]() -> std::optional<QString> {
            if (std::optional<QString> problem = renameOver(companion.inProgress, companion.final))
                return problem;
            return syncFolder(QFileInfo(companion.final).absolutePath());
        });
    steps.emplace_back([file] { return renameOver(file.inProgress, file.final); });
    return steps;
}

CommitResult commitWithCompanions(const PendingFile &file, const std::vector<PendingFile> &companions,
                                  const QStringList &companionNames, std::stop_token stop) {
    for (const CommitStep &step : commitStepsWithCompanions(file, companions, companionNames)) {
        if (stop.stop_requested())
            return {false, QString("stopped before %1 was put in place").arg(file.final)};
        if (std::optional<QString> problem = step())
            return {false, problem};
    }
    if (std::optional<QString> problem = syncFolder(QFileInfo(file.final).absolutePath()))
        return {true,
                QString("finished, but the folder could not be synced: %1: %2").arg(file.final, *problem)};
    return {true, std::nullopt};
}

QStringList inProgressFiles(const QString &destination) {
    QStringList found;
    QDirIterator walk(destination, {"*" + QString(kInProgressSuffix)},
                      QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden,
                      QDirIterator::Subdirectories);
    while (walk.hasNext())
        found << walk.next();
    found.sort();
    return found;
}
