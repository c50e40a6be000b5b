// The files beside a finished MXF file checked against it: the SHA-256 file's line (name and digest) and
// the framemd5 list, built by the transfer's own list writer from the elements handed to the library and
// read back against the file's elements, with the line that disagrees named.

#include "mxf/SMDKFooterPartitionOffsetRewriter.h"
#include "mxf/SMDKLibrary.h"
#include "tests/support/ClipSource.h"
#include "verify/FileDigest.h"
#include "verify/FrameMd5.h"
#include "verify/Sidecars.h"

#include <QFile>
#include <QTemporaryDir>
#include <boost/make_shared.hpp>
#include <fstream>
#include <gtest/gtest.h>

namespace {

class SidecarTest : public ::testing::Test {
protected:
    static constexpr int kFrames = 3;
    static constexpr int kChannels = 2;
    static constexpr size_t kSoundBytes = 5760; // 1,920 samples of 3 bytes: one frame at 25 frames a second

    void SetUp() override {
        ASSERT_TRUE(directory.isValid());
        auto metadata = boost::make_shared<ClipMetadata>();
        metadata->channels = kChannels;
        metadata->frames = kFrames;
        auto source = boost::make_shared<ClipSource>(metadata);
        auto stream = boost::make_shared<std::ofstream>(file().toStdString(), std::ios::binary);
        auto driver = createSMDKDriver(source);
        driver->attachWriter(
            boost::make_shared<SMDKFooterPartitionOffsetRewriter>(stream, createSMDKWriter(stream)));
        FrameMd5Layout layout;
        layout.editRateNumerator = 25;
        layout.width = 1920;
        layout.height = 1080;
        layout.aspectNumerator = 16;
        layout.aspectDenominator = 9;
        layout.soundChannels = kChannels;
        // A second copy's list, as a transfer to two destinations writes it.
        FrameMd5List list({listPath(), directory.filePath("copy.framemd5")}, layout);
        for (int i = 0; i < kFrames; ++i) {
            const std::vector<uint8_t> picture(300 + i, uint8_t(0x50 + i));
            std::vector<std::vector<uint8_t>> sound;
            for (int k = 0; k < kChannels; ++k)
                sound.emplace_back(kSoundBytes, uint8_t(0x10 * (i + 1) + k));
            const std::vector<uint8_t> data(36, uint8_t(0x70 + i));
            const std::vector<std::span<const uint8_t>> channels(sound.begin(), sound.end());
            source->setEditUnit(picture, channels, data, {0x81});
            driver->processFrame();
            list.addEditUnit(picture, channels, data);
        }
        driver->finish();
        stream->close();
        ASSERT_EQ(list.commit(), std::vector<std::optional<QString>>(2));
    }

    QString file() const { return directory.filePath("clip.mxf"); }
    QString listPath() const { return directory.filePath("clip.framemd5"); }

    QByteArrayList listLines() {
        QFile list(listPath());
        EXPECT_TRUE(list.open(QIODevice::ReadOnly));
        return list.readAll().split('\n');
    }
    void writeList(const QByteArrayList &lines) {
        QFile list(listPath());
        ASSERT_TRUE(list.open(QIODevice::WriteOnly | QIODevice::Truncate));
        list.write(lines.join('\n'));
    }
    // The number (from 1) of the first line of `stream` at time stamp `dts`.
    qsizetype lineOf(const QByteArrayList &lines, const QByteArray &stream, const QByteArray &dts) {
        for (qsizetype k = 0; k < lines.size(); ++k) {
            const QByteArrayList fields = lines[k].split(',');
            if (!lines[k].startsWith('#') && fields.size() == 6 && fields[0].trimmed() == stream &&
                fields[1].trimmed() == dts)
                return k + 1;
        }
        return -1;
    }

    QTemporaryDir directory;
};

TEST_F(SidecarTest, TheSha256FileMustNameTheFileWithItsDigest) {
    const QString digest = *sha256OfFile(file());
    const auto withLine = [this](const QByteArray &line) {
        QFile sums(file() + ".sha256");
        EXPECT_TRUE(sums.open(QIODevice::WriteOnly | QIODevice::Truncate));
        sums.write(line);
    };
    EXPECT_TRUE(sha256FileProblem(file(), digest).value_or("").startsWith("no SHA-256 file"));
    withLine(sha256sumLine(digest, file()).toUtf8());
    EXPECT_EQ(sha256FileProblem(file(), digest), std::nullopt);
    withLine(digest.toUpper().toLatin1() + " *clip.mxf\n");
    EXPECT_EQ(sha256FileProblem(file(), digest), std::nullopt) << "sha256sum's binary mode";
    withLine(sha256sumLine(digest, directory.filePath("other.mxf")).toUtf8());
    EXPECT_TRUE(sha256FileProblem(file(), digest).value_or("").contains("names other.mxf, not clip.mxf"));
    withLine(sha256sumLine(QString(64, '0'), file()).toUtf8());
    EXPECT_TRUE(sha256FileProblem(file(), digest).value_or("").contains("another digest"));
    withLine("not a line");
    EXPECT_TRUE(sha256FileProblem(file(), digest).value_or("").contains("not a line of sha256sum"));
}

TEST_F(SidecarTest, AFrameMd5ListAgreesWithTheFileItWasWrittenFor) {
    EXPECT_EQ(frameMd5Problem(file()), std::nullopt);
    QFile list(listPath()), copy(directory.filePath("copy.framemd5"));
    ASSERT_TRUE(list.open(QIODevice::ReadOnly) && copy.open(QIODevice::ReadOnly));
    EXPECT_EQ(list.readAll(), copy.readAll()) << "each copy's list the same";
    QFile::remove(listPath());
    EXPECT_EQ(frameMd5Problem(file()), std::nullopt) << "a file without a list";
}

// A changed hash, a changed size, a line moved to another time stamp, a missing last line, a line that is not
// a line of the list: each is named.
TEST_F(SidecarTest, TheLineThatDisagreesWithTheFileIsNamed) {
    const QByteArrayList lines = listLines();
    const qsizetype sound = lineOf(lines, "1", "1920");
    ASSERT_GT(sound, 0) << lines.join('\n').toStdString();
    const auto problemWith = [&](qsizetype line, const std::function<QByteArray(QByteArray)> &change) {
        QByteArrayList changed = lines;
        changed[line - 1] = change(changed[line - 1]);
        writeList(changed);
        return frameMd5Problem(file()).value_or("").toStdString();
    };
    const std::string where = "line " + std::to_string(sound) + " of the framemd5 list";
    EXPECT_NE(
        problemWith(sound, [](QByteArray line) { return line.replace(line.size() - 1, 1, "x"); })
            .find(where + " " + listPath().toStdString() + " disagrees with the file: stream 1 of frame 1"),
        std::string::npos);
    EXPECT_NE(problemWith(sound, [](QByteArray line) { return line.replace("5760", "5761"); }).find(where),
              std::string::npos);
    EXPECT_NE(problemWith(sound, [](QByteArray line) { return line.replace(" 1920,", " 1921,"); })
                  .find("does not hold at that place (stream 1, time stamp 1921)"),
              std::string::npos);
    EXPECT_NE(problemWith(sound, [](QByteArray) { return QByteArray("1, x"); }).find(where + " "),
              std::string::npos);
    const qsizetype last = lineOf(lines, "3", "2");
    ASSERT_GT(last, 0);
    EXPECT_NE(problemWith(last, [](QByteArray) { return QByteArray(); })
                  .find("lists 2 of the file's 3 frames for stream 3"),
              std::string::npos);
}

} // namespace
