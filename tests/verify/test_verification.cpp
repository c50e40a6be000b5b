// The re-read of a finished file against the checksums of what was written: an untouched file verifies;
// a changed picture byte, a changed sound sample, a changed data item or time code, a frame too few or an
// unfinished or damaged file does not; a stop gives the re-read up; the same one read gives the whole file's
// SHA-256, past the page cache where the file system allows it.

#include "mxf/SMDKFooterPartitionOffsetRewriter.h"
#include "mxf/SMDKLibrary.h"
#include "tests/support/ClipSource.h"
#include "verify/FileDigest.h"
#include "verify/FileVerification.h"

#include <QCryptographicHash>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <boost/make_shared.hpp>
#include <fstream>
#include <gtest/gtest.h>

namespace {

class VerificationTest : public ::testing::Test {
protected:
    static constexpr int kFrames = 3;
    static constexpr int kChannels = 2;

    void SetUp() override {
        ASSERT_TRUE(directory.isValid());
        for (int i = 0; i < kFrames; ++i) {
            pictures.emplace_back(300, uint8_t(0x50 + i));
            sound.emplace_back();
            for (int k = 0; k < kChannels; ++k)
                sound.back().emplace_back(5760, uint8_t(0x10 * (i + 1) + k));
        }
        data = std::vector<uint8_t>(36, 0x77);
    }

    // Writes the frames (finished unless told), and returns what each frame should read back as.
    std::vector<FrameChecksum> write(bool finish = true) {
        auto metadata = boost::make_shared<ClipMetadata>();
        metadata->channels = kChannels;
        metadata->frames = kFrames;
        auto source = boost::make_shared<ClipSource>(metadata);
        auto stream = boost::make_shared<std::ofstream>(path().toStdString(), std::ios::binary);
        auto driver = createSMDKDriver(source);
        driver->attachWriter(
            boost::make_shared<SMDKFooterPartitionOffsetRewriter>(stream, createSMDKWriter(stream)));
        std::vector<FrameChecksum> expected;
        for (int i = 0; i < kFrames; ++i) {
            std::vector<std::span<const uint8_t>> channels(sound[i].begin(), sound[i].end());
            // Frame 1 goes without a data item.
            const std::span<const uint8_t> item = i == 1 ? std::span<const uint8_t>() : data;
            // A time code stamp of its own for each frame: eight bytes 0xC0 + i after the type.
            SMDKUserTimestamp stamp{0x81};
            std::fill_n(stamp.begin() + 1, 8, uint8_t(0xC0 + i));
            source->setEditUnit(pictures[i], channels, item, stamp);
            driver->processFrame();
            FrameChecksum checksum;
            checksum.picture = checksumOf(pictures[i]);
            for (const auto &channel : channels)
                checksum.sound.push_back(checksumOf(channel));
            checksum.data = checksumOf(item.empty() ? std::span<const uint8_t>(kEmptyDataElement) : item);
            checksum.timeStamp = checksumOf(stamp);
            expected.push_back(checksum);
        }
        if (finish)
            driver->finish();
        stream->close();
        return expected;
    }

    QString path() const { return directory.filePath("clip.mxf"); }

    // Changes the first byte of the file equal to `value` found after a run of `run` such bytes.
    void changeFirstRunOf(uint8_t value, size_t run) {
        QFile file(path());
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        QByteArray bytes = file.readAll();
        const QByteArray pattern = QByteArray(qsizetype(run), char(value));
        const qsizetype at = bytes.indexOf(pattern);
        ASSERT_GE(at, 0);
        bytes[at + 1] = char(value ^ 0x01);
        file.seek(0);
        file.write(bytes);
    }

    QTemporaryDir directory;
    std::vector<std::vector<uint8_t>> pictures;
    std::vector<std::vector<std::vector<uint8_t>>> sound;
    std::vector<uint8_t> data;
};

TEST_F(VerificationTest, AnUntouchedFileVerifiesAndAStopGivesUpItsReadBackAndDigest) {
    const auto expected = write();
    EXPECT_EQ(verifyFile(path(), expected), std::nullopt);
    EXPECT_TRUE(sha256OfFile(path()).has_value());
    std::stop_source stop;
    stop.request_stop();
    EXPECT_EQ(verifyFile(path(), expected, stop.get_token()), "the re-read was stopped at frame 0");
    EXPECT_EQ(sha256OfFile(path(), stop.get_token()), std::nullopt);
}

TEST_F(VerificationTest, OneReadGivesTheVerdictAndTheSha256OfTheWholeFile) {
    // Pictures larger than the read's window, so that the reader's look at the file's end comes first and
    // the frames span windows.
    for (std::vector<uint8_t> &picture : pictures)
        picture.assign(6'000'000, picture.front());
    const auto expected = write();
    QFile file(path());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString independent =
        QString::fromLatin1(QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex());
    for (const bool direct : {true, false}) {
        const ReadBackResult result = readBack(path(), &expected, {}, direct);
        EXPECT_EQ(result.problem, std::nullopt);
        EXPECT_EQ(result.sha256.value_or(""), independent) << "direct " << direct;
        EXPECT_EQ(result.bypassedCache, direct);
    }
    EXPECT_EQ(sha256OfFile(path()).value_or(""), independent) << "without the frames, the same digest";
}

TEST_F(VerificationTest, CatchesAChangedPictureSoundDataOrTimeCodeByteAndNamesTheFrame) {
    const auto expected = write();
    changeFirstRunOf(0x51, 300);
    EXPECT_EQ(verifyFile(path(), expected).value_or(""), "frame 1 differs: picture");

    write();
    changeFirstRunOf(0x31, 5760);
    EXPECT_EQ(verifyFile(path(), expected).value_or(""), "frame 2 differs: sound channel 2");

    write();
    changeFirstRunOf(0x77, 36);
    EXPECT_EQ(verifyFile(path(), expected).value_or(""), "frame 0 differs: data item");

    // The frame's time code, in its system item rather than in an essence element.
    write();
    changeFirstRunOf(0xC1, 8);
    EXPECT_EQ(verifyFile(path(), expected).value_or(""), "frame 1 differs: time code");
}

TEST_F(VerificationTest, CatchesAFrameLeftOutOrWrittenWithoutItsItems) {
    auto expected = write();
    expected.push_back(expected.back());
    EXPECT_EQ(verifyFile(path(), expected).value_or(""), "the file holds 3 frames, 4 were written");

    expected.pop_back();
    expected[1].sound.pop_back();
    EXPECT_EQ(verifyFile(path(), expected).value_or(""), "frame 1 differs: 2 sound channels instead of 1");
    expected = write();
    expected[1].data = checksumOf(data);
    EXPECT_EQ(verifyFile(path(), expected).value_or(""), "frame 1 differs: data item")
        << "a frame without a data item reads back as an empty element";
}

TEST_F(VerificationTest, RefusesAnUnfinishedTruncatedOrMissingFile) {
    const auto expected = write(false);
    EXPECT_TRUE(verifyFile(path(), expected).value_or("").startsWith("the file cannot be read back"));

    write();
    const qint64 size = QFile(path()).size();
    for (qint64 cut : {qint64(1), qint64(4), qint64(40), size / 2, size - 1}) {
        ASSERT_TRUE(QFile::resize(path(), size - cut));
        EXPECT_NE(verifyFile(path(), expected), std::nullopt) << "cut " << cut;
        write();
    }
    EXPECT_NE(verifyFile(directory.filePath("missing.mxf"), expected), std::nullopt);
}

} // namespace
