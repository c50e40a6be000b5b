// A clip written the way the writer thread writes it: through the transfer source (views pushed in edit
// unit by edit unit, sample counts from the source, markEnd and a last advance before finish), the driver,
// the footer rewriter and the writer. The identification and package identifiers reach the file, which
// ffprobe reads without a complaint, and two transfers of the same clip carry the same package UMIDs.

#include "mxf/SMDKFooterPartitionOffsetRewriter.h"
#include "mxf/SMDKLibrary.h"
#include "source/QIROSRTransferSource.h"
#include "tests/support/FfprobeCheck.h"
#include "tests/support/MxfFileReader.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>
#include <boost/make_shared.hpp>
#include <fstream>
#include <gtest/gtest.h>

namespace {

constexpr uint32_t kFrames = 8;
constexpr uint32_t kChannels = 2;

SRFileInfo clipInfo() {
    SRFileInfo clip;
    clip.sourcePath = "/clips/A001";
    clip.durationFrames = kFrames;
    clip.bitDepth = 10;
    clip.codec = 1;
    clip.frameRate = 29.97;
    clip.rateNumerator = 30000;
    clip.rateDenominator = 1001;
    clip.dropFrame = 1;
    clip.startFrame = 107892;
    clip.rawTail[kRawTailSoundChannels] = kChannels;
    clip.rawTail[kRawTailFormatLetter] = '1';
    for (size_t i = 0; i < kClipIdentifierLength; ++i)
        clip.rawTail[kRawTailIdentifier + i] = uint8_t(0x40 + i);
    return clip;
}

IdentificationRecord identification() {
    IdentificationRecord record;
    record.companyName = u"Vero";
    record.productName = u"DUDOVIDE";
    record.productVersion = {1, 0, 0, 0, 1};
    record.versionString = u"1.0";
    return record;
}

struct Transfer {
    std::vector<std::vector<uint8_t>> pictures;
    std::vector<uint8_t> sound = std::vector<uint8_t>(kChannels * 3 * 1602 * kFrames);
    std::vector<uint8_t> data = std::vector<uint8_t>(36 * kFrames);
    UMID packageUmid;
    UMID materialUmid;

    Transfer() {
        for (uint32_t i = 0; i < kFrames; ++i)
            pictures.emplace_back(2000 + i, uint8_t(0xA0 + i));
        for (size_t j = 0; j < sound.size(); ++j)
            sound[j] = uint8_t(j * 7);
        for (size_t j = 0; j < data.size(); ++j)
            data[j] = uint8_t(j);
    }

    void write(const std::string &path) {
        auto stream = boost::make_shared<std::ofstream>(path, std::ios::binary | std::ios::trunc);
        auto writer = createSMDKWriter(stream);
        auto source = boost::make_shared<QIROSRTransferSource>(identification(), clipInfo());
        source->initialize();
        materialUmid = source->packageMetadata()->firstPackageUmid();
        auto rewriter = boost::make_shared<SMDKFooterPartitionOffsetRewriter>(stream, writer);
        auto driver = createSMDKDriver(source);
        driver->attachWriter(rewriter);
        size_t soundOffset = 0;
        for (uint32_t i = 0; i < kFrames; ++i) {
            source->setPictureData(pictures[i].data(), uint32_t(pictures[i].size()));
            const uint32_t bytes = 3u * source->soundSamplesForEditUnit();
            for (uint32_t k = 0; k < kChannels; ++k)
                source->setSoundData(k, sound.data() + k * sound.size() / kChannels + soundOffset, bytes);
            soundOffset += bytes;
            source->setTimestamp(0x01000000u + i);
            source->setDataItem(data.data() + 36 * i, 36);
            source->advance();
            driver->processFrame();
        }
        source->markEnd(kFrames);
        source->advance();
        driver->finish();
        packageUmid = source->packageUmid();
    }
};

QJsonObject probe(const std::string &path) {
    const testsupport::FfprobeResult result = testsupport::ffprobe(path);
    // The test pictures are not MPEG-4 Visual, so only its decoder may complain.
    const std::vector<std::string> complaints = testsupport::withoutDecoder(result.complaints, "mpeg4");
    EXPECT_TRUE(result.ran);
    EXPECT_TRUE(complaints.empty()) << complaints.front();
    return result.json;
}

QString hexOf(const UMID &umid) {
    QString text = "0x";
    for (uint8_t byte : umid.bytes)
        text += QString("%1").arg(byte, 2, 16, QChar('0')).toUpper();
    return text;
}

TEST(MxfFileTransfer, CarriesTheSourcesIdentificationIdentifiersAndEssence) {
    QTemporaryDir directory;
    const std::string path = directory.filePath("A001.mxf").toStdString();
    Transfer transfer;
    transfer.write(path);

    const QJsonObject result = probe(path);
    const QJsonObject tags = result["format"].toObject()["tags"].toObject();
    EXPECT_EQ(tags["company_name"].toString(), "Vero");
    EXPECT_EQ(tags["product_name"].toString(), "DUDOVIDE");
    EXPECT_EQ(tags["product_version_num"].toString(), "1.0.0.0.1");
    EXPECT_EQ(tags["material_package_name"].toString(), "/clips/A001");
    EXPECT_EQ(tags["timecode"].toString(), "01:00:00;00");
    EXPECT_EQ(tags["material_package_umid"].toString(), hexOf(transfer.materialUmid));
    const QJsonArray streams = result["streams"].toArray();
    ASSERT_EQ(streams.size(), 4); // picture, two sound channels, ANC data
    EXPECT_EQ(streams[0].toObject()["duration_ts"].toInteger(), kFrames);

    // Every element back byte-exact, each system item naming the source package.
    const std::vector<uint8_t> file = mxftest::readFile(path);
    const auto items = mxftest::splitKlv(file);
    ASSERT_TRUE(items);
    uint32_t frame = 0;
    size_t soundOffset[kChannels] = {};
    for (const mxftest::Klv &klv : *items) {
        const std::vector<uint8_t> value(file.begin() + ptrdiff_t(klv.valueOffset),
                                         file.begin() + ptrdiff_t(klv.end()));
        if (klv.key[12] == 0x04 && klv.key[13] == 0x01 && klv.key[14] == 0x02) {
            ASSERT_EQ(value.size(), 35u);
            EXPECT_TRUE(std::equal(transfer.packageUmid.bytes.begin(), transfer.packageUmid.bytes.end(),
                                   value.begin() + 3));
        } else if (klv.key[12] == 0x15) {
            ASSERT_LT(frame, kFrames);
            EXPECT_EQ(value, transfer.pictures[frame]) << "picture " << frame;
        } else if (klv.key[12] == 0x16) {
            const uint8_t k = klv.key[15];
            ASSERT_LT(k, kChannels);
            const auto begin =
                transfer.sound.begin() + ptrdiff_t(k * transfer.sound.size() / kChannels + soundOffset[k]);
            EXPECT_TRUE(std::equal(value.begin(), value.end(), begin))
                << "channel " << int(k) << " frame " << frame;
            soundOffset[k] += value.size();
        } else if (klv.key[12] == 0x17) {
            EXPECT_TRUE(std::equal(value.begin(), value.end(), transfer.data.begin() + 36 * frame));
            ++frame;
        }
    }
    EXPECT_EQ(frame, kFrames);
    EXPECT_EQ(soundOffset[0], 3u * (1602 + 1601 + 1602 + 1601 + 1602 + 1602 + 1601 + 1602));
}

TEST(MxfFileTransfer, TwoTransfersOfAClipCarryTheSamePackageUmids) {
    QTemporaryDir directory;
    Transfer first, second;
    first.write(directory.filePath("first.mxf").toStdString());
    second.write(directory.filePath("second.mxf").toStdString());
    EXPECT_EQ(first.packageUmid, second.packageUmid);
    const QJsonObject a = probe(directory.filePath("first.mxf").toStdString());
    const QJsonObject b = probe(directory.filePath("second.mxf").toStdString());
    EXPECT_EQ(a["format"].toObject()["tags"].toObject()["material_package_umid"],
              b["format"].toObject()["tags"].toObject()["material_package_umid"]);
    EXPECT_EQ(a["streams"].toArray()[0].toObject()["tags"].toObject()["file_package_umid"],
              b["streams"].toArray()[0].toObject()["tags"].toObject()["file_package_umid"]);
}

} // namespace
