// The MXF file's output stream: large writes past the page cache with the header rewritten behind them,
// the buffered way where direct I/O is refused, the cause of a failed write kept so that a full disk can
// be named, and no staging buffer touched while a write from it is in flight.

#include "mxf/CopiesOutputStream.h"
#include "mxf/FileOutputStream.h"
#include "mxf/OutputStream.h"
#include "tests/support/Eventually.h"
#include "tests/support/PageCache.h"
#include "tests/support/RandomBytes.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>
#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <memory>
#include <numeric>
#include <thread>
#include <vector>

namespace {

// More than two staging buffers, so that one is written while the next fills.
constexpr size_t kLarge = 20'000'003;

std::vector<uint8_t> counting(size_t count, uint8_t first) {
    std::vector<uint8_t> bytes(count);
    std::iota(bytes.begin(), bytes.end(), first);
    return bytes;
}

QByteArray contentOf(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray bytesOf(const std::vector<uint8_t> &bytes) {
    return QByteArray(reinterpret_cast<const char *>(bytes.data()), qsizetype(bytes.size()));
}

// Small and large pieces, a field filled in far behind the put position (written direct by then), one
// filled in nearby (still staged), and the end found again: what the MXF writer does. Returns what the
// file must hold.
std::vector<uint8_t> writeLikeTheMxfWriter(std::ostream &stream) {
    const std::vector<uint8_t> large = randomBytes(kLarge, 7), small{1, 2, 3, 4, 5}, field{0xAA, 0xBB};
    util::writeChecked(stream, small);
    EXPECT_EQ(util::tellPosition(stream), 5u);
    util::writeChecked(stream, large);
    util::writeChecked(stream, small);
    const uint64_t end = 5 + kLarge + 5;
    EXPECT_EQ(util::tellPosition(stream), end);
    util::seekPosition(stream, 1);
    util::writeChecked(stream, field);
    util::seekPosition(stream, end - 3);
    util::writeChecked(stream, field);
    util::seekPosition(stream, end);
    util::writeChecked(stream, small);
    util::flushChecked(stream);
    EXPECT_FALSE(stream.seekp(std::streampos(std::streamoff(end + 6))).good()) << "never past the end";
    std::vector<uint8_t> expected = small;
    expected.insert(expected.end(), large.begin(), large.end());
    expected.insert(expected.end(), small.begin(), small.end());
    std::copy(field.begin(), field.end(), expected.begin() + 1);
    std::copy(field.begin(), field.end(), expected.end() - 3);
    expected.insert(expected.end(), small.begin(), small.end());
    return expected;
}

class OutputFile : public ::testing::Test {
protected:
    QString path() const { return folder.filePath("file.mxf.part"); }
    int buffered() { return openForWriting(QFile::encodeName(path()).constData()); }
    int direct() { return openForDirectWriting(QFile::encodeName(path()).constData()); }

    QTemporaryDir folder;
};

TEST_F(OutputFile, WritesPastThePageCacheSeeksBackAndOverwritesAsAFileStreamDoes) {
    const int first = buffered();
    FileOutputStream stream(first, direct());
    ASSERT_TRUE(stream.good());
    ASSERT_TRUE(stream.direct()) << "the temporary folder's file system takes direct I/O";
    const std::vector<uint8_t> expected = writeLikeTheMxfWriter(stream);
    EXPECT_TRUE(stream.close());
    const double resident = testsupport::residentShare(QFile::encodeName(path()).toStdString());
    EXPECT_GE(resident, 0);
    EXPECT_LE(resident, 0.02) << "nothing left in the page cache";
    EXPECT_EQ(stream.error(), 0);
    EXPECT_TRUE(stream.fallback().empty());
    EXPECT_TRUE(contentOf(path()) == bytesOf(expected));
}

TEST_F(OutputFile, WithoutADirectDescriptorWritesBufferedAndLeavesLittleInThePageCache) {
    FileOutputStream stream(buffered());
    EXPECT_FALSE(stream.direct());
    const std::vector<uint8_t> expected = writeLikeTheMxfWriter(stream);
    EXPECT_TRUE(stream.close());
    EXPECT_TRUE(stream.fallback().empty());
    const double resident = testsupport::residentShare(QFile::encodeName(path()).toStdString());
    EXPECT_GE(resident, 0);
    EXPECT_LE(resident, 0.02) << "synced and dropped behind the writer";
    EXPECT_TRUE(contentOf(path()) == bytesOf(expected));
}

// Stand-ins for the direct write, counting their calls.
std::atomic<int> directCalls{0};

ssize_t refusesAsMisaligned(int, const void *, size_t, off_t) {
    ++directCalls;
    errno = EINVAL;
    return -1;
}

ssize_t writesShort(int, const void *, size_t, off_t) {
    ++directCalls;
    return 100;
}

ssize_t findsTheDiskFull(int, const void *, size_t, off_t) {
    ++directCalls;
    errno = ENOSPC;
    return -1;
}

TEST_F(OutputFile, ADirectWriteTheFileSystemRefusesIsWrittenBufferedOnceAndSaidSo) {
    for (const auto refusal : {&refusesAsMisaligned, &writesShort}) {
        directCalls = 0;
        const int first = buffered();
        FileOutputStream stream(first, direct(), refusal);
        const std::vector<uint8_t> expected = writeLikeTheMxfWriter(stream);
        EXPECT_TRUE(stream.close());
        EXPECT_EQ(stream.error(), 0);
        EXPECT_EQ(directCalls.load(), 1) << "not tried again";
        EXPECT_FALSE(stream.direct());
        EXPECT_NE(stream.fallback().find("refused a direct write at byte 0"), std::string::npos)
            << stream.fallback();
        EXPECT_TRUE(contentOf(path()) == bytesOf(expected));
    }
}

TEST_F(OutputFile, AFullDiskOnTheDirectPathStaysAFullDisk) {
    directCalls = 0;
    const int first = buffered();
    FileOutputStream stream(first, direct(), findsTheDiskFull);
    const std::vector<uint8_t> bytes(kLarge, 1);
    EXPECT_THROW(util::writeChecked(stream, bytes), util::assertion_failure);
    EXPECT_EQ(stream.error(), ENOSPC);
    EXPECT_FALSE(stream.close());
    EXPECT_EQ(stream.error(), ENOSPC);
    EXPECT_TRUE(stream.direct()) << "no way round a full disk";
    EXPECT_EQ(QFile(path()).size(), 0) << "nothing written buffered instead";
}

TEST_F(OutputFile, AFullDeviceMakesTheStreamBadAndSaysTheDiskIsFull) {
    FileOutputStream stream(::open("/dev/full", O_WRONLY | O_CLOEXEC));
    ASSERT_TRUE(stream.good());
    // Bytes are staged, then written while the next buffer fills; the failure shows at the next hand-on.
    const std::vector<uint8_t> bytes(kLarge, 1);
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

// A direct write that reads its buffer twice, before and after the test has handed the stream two more
// pieces (or a while has passed): the stream must not have put them into the buffer in flight.
std::atomic<int> piecesWritten{0};
std::atomic<int> changedWhileInFlight{0};

ssize_t readsItsBufferTwice(int descriptor, const void *bytes, size_t count, off_t offset) {
    const QByteArray before(static_cast<const char *>(bytes), qsizetype(count));
    const int pieces = piecesWritten;
    testsupport::eventually([pieces] { return piecesWritten >= pieces + 2; }, std::chrono::milliseconds(200));
    if (QByteArray(static_cast<const char *>(bytes), qsizetype(count)) != before)
        ++changedWhileInFlight;
    return ::pwrite(descriptor, bytes, count, offset);
}

TEST_F(OutputFile, NoStagingBufferIsRefilledWhileAWriteFromItIsInFlight) {
    changedWhileInFlight = 0;
    const int first = buffered();
    FileOutputStream stream(first, direct(), readsItsBufferTwice);
    std::vector<uint8_t> expected;
    // Small pieces, as the writer hands on KLV items, each differing from the last.
    for (uint8_t piece = 0; expected.size() < 3 * kLarge; ++piece) {
        const std::vector<uint8_t> bytes = counting(65'539, uint8_t(piece * 37));
        util::writeChecked(stream, bytes);
        ++piecesWritten;
        expected.insert(expected.end(), bytes.begin(), bytes.end());
    }
    EXPECT_TRUE(stream.close());
    EXPECT_EQ(changedWhileInFlight.load(), 0);
    EXPECT_TRUE(contentOf(path()) == bytesOf(expected));
}

std::unique_ptr<FileOutputBuffer> copyTo(int buffered, int direct = -1) {
    return std::make_unique<FileOutputBuffer>(buffered, direct);
}

std::unique_ptr<FileOutputBuffer> copyToFullDisk() {
    return copyTo(::open("/dev/full", O_WRONLY | O_CLOEXEC));
}

// Copies side by side, as several destinations take one play-out: each gets every byte, seek and rewrite;
// one whose disk is full is set aside and the others finish.
TEST_F(OutputFile, CopiesTakeTheSameBytesAndAFailedCopyLeavesTheOthersWriting) {
    const QString second = folder.filePath("second.mxf.part");
    std::vector<std::unique_ptr<FileOutputBuffer>> copies;
    const int first = buffered();
    copies.push_back(copyTo(first, direct()));
    copies.push_back(copyToFullDisk());
    copies.push_back(copyTo(openForWriting(QFile::encodeName(second).constData())));
    CopiesOutputStream stream(std::move(copies));
    const std::vector<uint8_t> expected = writeLikeTheMxfWriter(stream);
    EXPECT_TRUE(stream.close());
    EXPECT_EQ(stream.error(), 0) << "copies are left";
    EXPECT_EQ(stream.error(0), 0);
    EXPECT_EQ(stream.error(1), ENOSPC);
    EXPECT_EQ(stream.error(2), 0);
    EXPECT_TRUE(stream.direct(0));
    EXPECT_TRUE(contentOf(path()) == bytesOf(expected));
    EXPECT_TRUE(contentOf(second) == bytesOf(expected));
}

TEST_F(OutputFile, CopiesFailOnlyOnceEveryCopyFailed) {
    std::vector<std::unique_ptr<FileOutputBuffer>> copies;
    copies.push_back(copyToFullDisk());
    copies.push_back(copyToFullDisk());
    CopiesOutputStream stream(std::move(copies));
    EXPECT_THROW(util::writeChecked(stream, std::vector<uint8_t>(kLarge, 1)), util::assertion_failure);
    EXPECT_TRUE(isDiskFull(stream.error()));
    EXPECT_FALSE(stream.close());

    std::vector<std::unique_ptr<FileOutputBuffer>> unopened;
    unopened.push_back(copyTo(-1));
    EXPECT_TRUE(CopiesOutputStream(std::move(unopened)).bad());
}

} // namespace
