// The MXF file's output stream: buffered writes, seeks back to fill in a field, and the cause of a failed
// write kept so that a full disk can be named.

#include "mxf/FileOutputStream.h"
#include "mxf/OutputStream.h"

#include <QFile>
#include <QTemporaryDir>
#include <cerrno>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <numeric>
#include <vector>

namespace {

TEST(FileOutputStream, WritesSeeksBackAndOverwritesAsAFileStreamDoes) {
    QTemporaryDir folder;
    const QString path = folder.filePath("file.mxf.part");
    // Larger than the stream's buffer, in small and large pieces, with a field filled in afterwards.
    std::vector<uint8_t> large(3'000'000);
    std::iota(large.begin(), large.end(), uint8_t(7));
    const std::vector<uint8_t> small{1, 2, 3, 4, 5};
    const std::vector<uint8_t> field{0xAA, 0xBB};
    {
        FileOutputStream stream(openForWriting(QFile::encodeName(path).constData()));
        ASSERT_TRUE(stream.good());
        util::writeChecked(stream, small);
        EXPECT_EQ(util::tellPosition(stream), 5u);
        util::writeChecked(stream, large);
        util::writeChecked(stream, small);
        EXPECT_EQ(util::tellPosition(stream), 3'000'010u);
        util::seekPosition(stream, 1);
        util::writeChecked(stream, field);
        util::seekPosition(stream, 3'000'010);
        util::writeChecked(stream, small);
        util::flushChecked(stream);
        EXPECT_TRUE(stream.close());
        EXPECT_EQ(stream.error(), 0);
    }
    std::vector<uint8_t> expected = small;
    expected.insert(expected.end(), large.begin(), large.end());
    expected.insert(expected.end(), small.begin(), small.end());
    expected.insert(expected.end(), small.begin(), small.end());
    std::copy(field.begin(), field.end(), expected.begin() + 1);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll() ==
                QByteArray(reinterpret_cast<const char *>(expected.data()), qsizetype(expected.size())));
}

TEST(FileOutputStream, AFullDeviceMakesTheStreamBadAndSaysTheDiskIsFull) {
    FileOutputStream stream(::open("/dev/full", O_WRONLY | O_CLOEXEC));
    ASSERT_TRUE(stream.good());
    // Small writes are held until the buffer is handed on; then the failure shows.
    const std::vector<uint8_t> bytes(4'000'000, 1);
    EXPECT_THROW(util::writeChecked(stream, bytes), util::assertion_failure);
    EXPECT_EQ(stream.error(), ENOSPC);
    EXPECT_TRUE(isDiskFull(stream.error()));
    EXPECT_FALSE(stream.close());
    EXPECT_EQ(stream.error(), ENOSPC) << "the first cause is kept";

    FileOutputStream held(::open("/dev/full", O_WRONLY | O_CLOEXEC));
    held.write("x", 1);
    EXPECT_TRUE(held.good());
    EXPECT_FALSE(held.close());
    EXPECT_TRUE(isDiskFull(held.error())) << "bytes still held are written on close";

    FileOutputStream unopened(-1);
    EXPECT_TRUE(unopened.bad());
    EXPECT_FALSE(isDiskFull(unopened.error()));
}

} // namespace
