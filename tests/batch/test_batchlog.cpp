// The batch log: its name, its lines, and a folder where it cannot be written.

#include "batch/BatchLog.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

TEST(BatchLogTest, IsNamedAfterItsStartAndAppendsWhenTwoBatchesShareTheSecond) {
    const QDateTime at(QDate(2026, 12, 7), QTime(23, 15, 0));
    EXPECT_EQ(BatchLog::fileNameFor(at), "vantrel-20261207-231500.log");
    QTemporaryDir folder;
    {
        BatchLog first(folder.path(), at);
        EXPECT_EQ(first.path(), folder.filePath("vantrel-20261207-231500.log"));
        first.batchStarted(2, folder.path());
        BatchLog second(folder.path(), at);
        second.clipSkipped("SHOT01", "stopped");
        second.batchEnded(0, 1, "stopped by the user");
    }
    QFile log(folder.filePath("vantrel-20261207-231500.log"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(log.readAll()).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3);
    EXPECT_TRUE(lines[0].endsWith(" batch started: 2 clip(s) into " + folder.path()));
    EXPECT_TRUE(lines[1].endsWith(" SHOT01: skipped: stopped"));
    EXPECT_TRUE(lines[2].endsWith(" batch ended: 0 of 1 clip(s) finished; stopped by the user"));
}

TEST(BatchLogTest, AFolderThatCannotTakeItWritesNothing) {
    BatchLog missing("/nonexistent/folder");
    EXPECT_TRUE(missing.path().isEmpty());
    missing.clipFailed("SHOT01", "a reason");
    BatchLog none{QString()};
    EXPECT_TRUE(none.path().isEmpty());
    EXPECT_FALSE(QFile::exists(BatchLog::fileNameFor(QDateTime::currentDateTime())));
}

} // namespace
