// Whole files written through the library: the essence comes back byte-exact through an independent KLV
// reader, the partitions, index and Random Index Pack agree with the file; readers we did not write
// (ffprobe, MediaInfo, FFmpeg and GStreamer's demuxer) read the streams, rates, durations and time code the
// clip describes without a complaint, and hand every picture and sound channel out byte-exact.

#include "mxf/SMDKFooterPartitionOffsetRewriter.h"
#include "mxf/SMDKLibrary.h"
#include "tests/support/ClipSource.h"
#include "tests/support/FfprobeCheck.h"
#include "tests/support/GstMxfCheck.h"
#include "tests/support/MxfFileReader.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <boost/make_shared.hpp>
#include <fstream>
#include <gtest/gtest.h>

namespace {

using mxftest::Klv;

struct ClipCase {
    const char *name;
    SMDKRational rate;
    int32_t channels;
    bool data;
    bool dropFrame;
    bool progressive;
    int frames;
    int64_t startTimecode;
    const char *timecode;
};

void PrintTo(const ClipCase &clip, std::ostream *out) {
    *out << clip.name;
}

// Samples of edit unit p at 48 kHz: the rounded cumulative count, so nothing drifts.
uint32_t samplesOf(SMDKRational rate, int64_t p) {
    const auto total = [&](int64_t q) {
        return (q * 48000 * rate.denominator + rate.numerator / 2) / rate.numerator;
    };
    return uint32_t(total(p + 1) - total(p));
}

// The essence of one clip, made up so that every edit unit, channel and byte differs.
struct ClipEssence {
    std::vector<std::vector<uint8_t>> pictures;
    std::vector<std::vector<std::vector<uint8_t>>> sound; // [edit unit][channel]
    std::vector<std::vector<uint8_t>> data;
    std::vector<SMDKUserTimestamp> timestamps;

    explicit ClipEssence(const ClipCase &clip) {
        for (int i = 0; i < clip.frames; ++i) {
            std::vector<uint8_t> picture(3000 + 17 * size_t(i % 64));
            for (size_t j = 0; j < picture.size(); ++j)
                picture[j] = uint8_t(i * 31 + j * 7);
            pictures.push_back(picture);
            std::vector<std::vector<uint8_t>> channels;
            for (int32_t k = 0; k < clip.channels; ++k) {
                std::vector<uint8_t> samples(3 * size_t(samplesOf(clip.rate, i)));
                for (size_t j = 0; j < samples.size(); ++j)
                    samples[j] = uint8_t(k * 13 + i * 3 + j);
                channels.push_back(samples);
            }
            sound.push_back(channels);
            // One ST 436 ANC packet: line 9, VANC frame, 8-bit luma, 20 samples.
            std::vector<uint8_t> anc{0x00, 0x01, 0x00, 0x09, 0x01, 0x04, 0x00, 0x14,
                                     0x00, 0x00, 0x00, 0x14, 0x00, 0x00, 0x00, 0x01};
            for (int j = 0; j < 20; ++j)
                anc.push_back(uint8_t(i + j));
            data.push_back(clip.data ? anc : std::vector<uint8_t>{});
            timestamps.push_back({0x81, uint8_t(i), 0x00, 0x00, 0x10});
        }
    }
};

// Writes the clip through source, driver, footer rewriter and writer, as the writer thread does.
void writeClip(const std::string &path, const ClipCase &clip, const ClipEssence &essence, bool finish) {
    auto metadata = boost::make_shared<ClipMetadata>();
    metadata->rate = clip.rate;
    metadata->channels = clip.channels;
    metadata->dropFrame = clip.dropFrame;
    metadata->progressive = clip.progressive;
    metadata->start = clip.startTimecode;
    metadata->frames = clip.frames;
    auto source = boost::make_shared<ClipSource>(metadata);
    auto stream = boost::make_shared<std::ofstream>(path, std::ios::binary | std::ios::trunc);
    auto writer = createSMDKWriter(stream);
    auto rewriter = boost::make_shared<SMDKFooterPartitionOffsetRewriter>(stream, writer);
    auto driver = createSMDKDriver(source);
    driver->attachWriter(rewriter);
    for (int i = 0; i < clip.frames; ++i) {
        std::vector<std::span<const uint8_t>> sound(essence.sound[size_t(i)].begin(),
                                                    essence.sound[size_t(i)].end());
        source->setEditUnit(essence.pictures[size_t(i)], sound, essence.data[size_t(i)],
                            essence.timestamps[size_t(i)]);
        driver->processFrame();
    }
    if (finish)
        driver->finish();
}

QJsonObject runJsonTool(const QString &program, const QStringList &arguments) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitCode() != 0) {
        ADD_FAILURE() << program.toStdString() << " failed: " << process.readAllStandardError().toStdString();
        return {};
    }
    return QJsonDocument::fromJson(process.readAllStandardOutput()).object();
}

class MxfFileTest : public ::testing::TestWithParam<ClipCase> {
protected:
    QTemporaryDir directory;
    std::string path() const { return directory.filePath("clip.mxf").toStdString(); }
};

TEST_P(MxfFileTest, EssenceAndStructureReadBackExactly) {
    const ClipCase clip = GetParam();
    const ClipEssence essence(clip);
    writeClip(path(), clip, essence, true);
    const std::vector<uint8_t> file = mxftest::readFile(path());
    const auto items = mxftest::splitKlv(file);
    ASSERT_TRUE(items) << "the file is a sequence of whole KLV items";

    std::vector<mxftest::PartitionPack> packs;
    std::vector<uint64_t> packEnds;
    for (const Klv &klv : *items)
        if (mxftest::isPartitionPack(klv.key)) {
            const auto pack = mxftest::decodePartitionPack(file, klv);
            ASSERT_TRUE(pack);
            packs.push_back(*pack);
            packEnds.push_back(klv.end());
        }
    ASSERT_EQ(packs.size(), 3u);
    const uint64_t footer = packs.back().offset;
    EXPECT_EQ(packs[0].kind, 0x02);
    EXPECT_EQ(packs[0].status, 0x04) << "header closed and complete";
    EXPECT_EQ(packs[1].kind, 0x03);
    EXPECT_EQ(packs[2].kind, 0x04);
    for (size_t p = 0; p < packs.size(); ++p) {
        EXPECT_EQ(packs[p].thisPartition, packs[p].offset);
        EXPECT_EQ(packs[p].previousPartition, p == 0 ? 0 : packs[p - 1].offset);
        EXPECT_EQ(mxftest::u64At(file, packs[p].offset + 44), footer) << "FooterPartition of pack " << p;
    }

    // Random Index Pack: the last item, listing every pack, ending with its own length.
    const Klv &last = items->back();
    ASSERT_TRUE(mxftest::keyStartsWith(last.key, {0x06, 0x0E, 0x2B, 0x34, 0x02, 0x05, 0x01, 0x01, 0x0D, 0x01,
                                                  0x02, 0x01, 0x01, 0x11, 0x01, 0x00}));
    const auto rip = mxftest::decodeRip(file, last);
    ASSERT_TRUE(rip);
    EXPECT_EQ(rip->first,
              (std::vector<mxftest::RipEntry>{{0, packs[0].offset}, {1, packs[1].offset}, {0, footer}}));
    EXPECT_EQ(rip->second, file.size() - last.offset);

    // Content packages between the body pack and the footer pack, each opened by a system metadata pack.
    const mxftest::Key systemPack{0x06, 0x0E, 0x2B, 0x34, 0x02, 0x05, 0x01, 0x01,
                                  0x0D, 0x01, 0x03, 0x01, 0x04, 0x01, 0x01, 0x00};
    std::vector<std::vector<Klv>> packages;
    std::vector<uint64_t> packageOffsets;
    uint64_t essenceStart = 0;
    for (const Klv &klv : *items) {
        if (klv.offset == packs[1].offset)
            essenceStart = klv.end();
        if (klv.offset <= packs[1].offset || klv.offset >= footer)
            continue;
        if (klv.key == systemPack) {
            packages.emplace_back();
            packageOffsets.push_back(klv.offset);
        }
        ASSERT_FALSE(packages.empty()) << "essence before the first system item";
        packages.back().push_back(klv);
    }
    ASSERT_EQ(packages.size(), size_t(clip.frames));
    const auto value = [&](const Klv &klv) {
        return std::vector<uint8_t>(file.begin() + ptrdiff_t(klv.valueOffset),
                                    file.begin() + ptrdiff_t(klv.end()));
    };
    const std::vector<uint8_t> noAncPackets{0x00, 0x00};
    for (size_t i = 0; i < packages.size(); ++i) {
        const std::vector<Klv> &cp = packages[i];
        ASSERT_EQ(cp.size(), 4 + size_t(clip.channels)) << "edit unit " << i;
        const std::vector<uint8_t> pack = value(cp[0]);
        ASSERT_EQ(pack.size(), 57u);
        EXPECT_EQ(pack[0] & 0x02, 0x02) << "the bitmap announces the data element";
        EXPECT_EQ(pack[5] << 8 | pack[6], int(i)) << "continuity count";
        EXPECT_TRUE(std::equal(pack.begin() + 40, pack.end(), essence.timestamps[i].begin())) << "user stamp";
        EXPECT_EQ(cp[2].key[12], 0x15);
        EXPECT_EQ(value(cp[2]), essence.pictures[i]) << "picture of edit unit " << i;
        for (int32_t k = 0; k < clip.channels; ++k) {
            const Klv &sound = cp[3 + size_t(k)];
            EXPECT_EQ(sound.key[12], 0x16);
            EXPECT_EQ(sound.key[13], clip.channels);
            EXPECT_EQ(sound.key[15], k);
            EXPECT_EQ(value(sound), essence.sound[i][size_t(k)]) << "channel " << k << " of edit unit " << i;
        }
        // The declared data track has its element in every package: without a data item, no ANC packets.
        EXPECT_EQ(cp.back().key[12], 0x17);
        EXPECT_EQ(value(cp.back()), clip.data ? essence.data[i] : noAncPackets) << "data of edit unit " << i;
    }

    // Header metadata spans, whose sets hold no empty item (readers reject one), and the footer's index
    // locating every content package.
    EXPECT_EQ(packs[0].headerByteCount, packs[1].offset - packEnds[0]);
    for (const Klv &klv : *items)
        if (mxftest::keyStartsWith(klv.key, {0x06, 0x0E, 0x2B, 0x34, 0x02, 0x53, 0x01, 0x01, 0x0D, 0x01, 0x01,
                                             0x01, 0x01, 0x01})) {
            const auto set = mxftest::decodeLocalSet(file, klv);
            ASSERT_TRUE(set);
            for (const auto &[tag, item] : *set)
                EXPECT_FALSE(item.empty()) << "item " << std::hex << tag << " of set " << int(klv.key[14]);
        }
    std::vector<uint64_t> indexed;
    uint64_t indexBytes = 0;
    for (const Klv &klv : *items)
        if (mxftest::keyStartsWith(klv.key, {0x06, 0x0E, 0x2B, 0x34, 0x02, 0x53, 0x01, 0x01, 0x0D, 0x01, 0x02,
                                             0x01, 0x01, 0x10, 0x01, 0x00})) {
            EXPECT_GT(klv.offset, footer);
            const auto entries = mxftest::decodeIndexEntries(file, klv);
            ASSERT_TRUE(entries);
            indexed.insert(indexed.end(), entries->begin(), entries->end());
            indexBytes += klv.end() - klv.offset;
        }
    EXPECT_EQ(indexBytes, packs[2].indexByteCount);
    EXPECT_EQ(packs[2].headerByteCount + packs[2].indexByteCount, last.offset - packEnds[2]);
    ASSERT_EQ(indexed.size(), packageOffsets.size());
    for (size_t i = 0; i < indexed.size(); ++i)
        EXPECT_EQ(essenceStart + indexed[i], packageOffsets[i]) << "index entry " << i;
}

// Slow: each case launches ffprobe, MediaInfo, ffmpeg and gst-launch-1.0.
class MxfFileE2e : public MxfFileTest {};

std::string linesOf(const std::vector<std::string> &lines) {
    std::string text;
    for (const std::string &line : lines)
        text += "\n  " + line;
    return text;
}

TEST_P(MxfFileE2e, FfprobeAndMediaInfoReadTheClipWithoutComplaint) {
    const ClipCase clip = GetParam();
    const ClipEssence essence(clip);
    writeClip(path(), clip, essence, true);

    const testsupport::FfprobeResult result = testsupport::ffprobe(path());
    ASSERT_TRUE(result.ran) << linesOf(result.complaints);
    // The test pictures are not MPEG-4 Visual, so only its decoder may complain.
    const std::vector<std::string> complaints = testsupport::withoutDecoder(result.complaints, "mpeg4");
    EXPECT_TRUE(complaints.empty()) << linesOf(complaints);
    const QJsonObject &probe = result.json;
    const QJsonArray streams = probe["streams"].toArray();
    ASSERT_FALSE(streams.isEmpty());
    const QJsonObject video = streams[0].toObject();
    EXPECT_EQ(video["codec_type"].toString(), "video");
    EXPECT_EQ(video["codec_name"].toString(), "mpeg4");
    EXPECT_EQ(video["width"].toInt(), 1920);
    EXPECT_EQ(video["height"].toInt(), 1080);
    EXPECT_EQ(video["time_base"].toString().toStdString(),
              std::to_string(clip.rate.denominator) + "/" + std::to_string(clip.rate.numerator));
    EXPECT_EQ(video["duration_ts"].toInteger(), clip.frames);
    EXPECT_EQ(video["nb_read_packets"].toString().toInt(), clip.frames);
    EXPECT_EQ(probe["format"].toObject()["tags"].toObject()["timecode"].toString().toStdString(),
              clip.timecode);
    int audio = 0;
    for (const QJsonValue &stream : streams) {
        const QJsonObject s = stream.toObject();
        if (s["codec_type"].toString() != "audio")
            continue;
        ++audio;
        EXPECT_EQ(s["codec_name"].toString(), "pcm_s24le");
        EXPECT_EQ(s["sample_rate"].toString(), "48000");
        EXPECT_EQ(s["bits_per_sample"].toInt(), 24);
        EXPECT_EQ(s["channels"].toInt(), 1);
    }
    EXPECT_EQ(audio, clip.channels);

    const QJsonObject info = runJsonTool("mediainfo", {"--Output=JSON", QString::fromStdString(path())});
    const QJsonObject general = info["media"].toObject()["track"].toArray()[0].toObject();
    EXPECT_EQ(general["Format"].toString(), "MXF");
    EXPECT_EQ(general["Format_Profile"].toString(), "OP-1a");
    EXPECT_EQ(general["Format_Settings"].toString(), "Closed / Complete");
    const double seconds = double(clip.frames) * clip.rate.denominator / clip.rate.numerator;
    EXPECT_NEAR(general["Duration"].toString().toDouble(), seconds, 0.002);
    int mediaInfoAudio = 0;
    for (const QJsonValue &track : info["media"].toObject()["track"].toArray()) {
        const QJsonObject t = track.toObject();
        if (t["@type"].toString() == "Video") {
            EXPECT_EQ(t["Format"].toString(), "MPEG-4 Visual");
            EXPECT_EQ(t["Format_Profile"].toString(), "Simple Studio");
            EXPECT_EQ(t["Format_Level"].toString(), "2");
            EXPECT_EQ(t["Width"].toString(), "1920");
            EXPECT_EQ(t["BitDepth"].toString(), "10");
        } else if (t["@type"].toString() == "Audio") {
            ++mediaInfoAudio;
            EXPECT_EQ(t["SamplingRate"].toString(), "48000");
            EXPECT_EQ(t["BitDepth"].toString(), "24");
        }
    }
    EXPECT_EQ(mediaInfoAudio, clip.channels);
}

// What one ffmpeg run copies out of the file: the picture (every packet, key frame or not), then each sound
// channel.
std::vector<std::vector<uint8_t>> ffmpegCopies(const std::string &path, int32_t channels) {
    QTemporaryDir directory;
    QStringList arguments{"-v", "error", "-i", QString::fromStdString(path)};
    std::vector<QString> outputs{directory.filePath("picture.bin")};
    arguments += {"-map", "0:v:0", "-c", "copy", "-copyinkf", "-f", "data", outputs[0]};
    for (int32_t k = 0; k < channels; ++k) {
        outputs.push_back(directory.filePath(QString("sound%1.raw").arg(k)));
        arguments += {"-map", QString("0:a:%1").arg(k), "-c", "copy", "-f", "s24le", outputs.back()};
    }
    QProcess process;
    process.start("ffmpeg", arguments);
    if (!process.waitForFinished(120000) || process.exitCode() != 0)
        ADD_FAILURE() << "ffmpeg failed: " << process.readAllStandardError().toStdString();
    std::vector<std::vector<uint8_t>> copies;
    for (const QString &output : outputs)
        copies.push_back(mxftest::readFile(output.toStdString()));
    return copies;
}

TEST_P(MxfFileE2e, FfmpegAndGstreamerHandOutEveryPictureAndChannelByteExact) {
    const ClipCase clip = GetParam();
    const ClipEssence essence(clip);
    writeClip(path(), clip, essence, true);
    std::vector<uint8_t> pictures;
    for (const auto &picture : essence.pictures)
        pictures.insert(pictures.end(), picture.begin(), picture.end());
    std::vector<std::vector<uint8_t>> channels(size_t(clip.channels));
    for (const auto &unit : essence.sound)
        for (size_t k = 0; k < channels.size(); ++k)
            channels[k].insert(channels[k].end(), unit[k].begin(), unit[k].end());

    const std::vector<std::vector<uint8_t>> copies = ffmpegCopies(path(), clip.channels);
    EXPECT_EQ(copies[0], pictures) << "ffmpeg's picture";
    for (size_t k = 0; k < channels.size(); ++k)
        EXPECT_EQ(copies[1 + k], channels[k]) << "ffmpeg's channel " << k;

    // The material package's tracks: picture 2, then one per sound channel.
    std::vector<uint32_t> tracks{2};
    for (uint32_t k = 0; k < channels.size(); ++k)
        tracks.push_back(3 + k);
    const testsupport::GstDemuxed demuxed = testsupport::demuxWithGstreamer(path(), tracks);
    EXPECT_TRUE(demuxed.reachedEnd) << demuxed.output;
    EXPECT_TRUE(demuxed.complaints.empty()) << linesOf(demuxed.complaints);
    EXPECT_EQ(demuxed.tracks.at(2), pictures) << "GStreamer's picture";
    for (uint32_t k = 0; k < channels.size(); ++k)
        EXPECT_EQ(demuxed.tracks.at(3 + k), channels[k]) << "GStreamer's channel " << k;
}

const ClipCase clips[] = {
    {"Pal2ChannelsData", {25, 1}, 2, true, false, true, 6, 900000, "10:00:00:00"},
    {"Ntsc4ChannelsInterlacedDropFrame", {30000, 1001}, 4, false, true, false, 11, 107892, "01:00:00;00"},
    {"P5994NoSoundDataDropFrame", {60000, 1001}, 0, true, true, true, 7, 215784, "01:00:00;00"},
    {"Film16Channels", {24000, 1001}, 16, false, false, true, 3, 0, "00:00:00:00"},
    // More edit units than one index table segment holds.
    {"Pal6000Frames", {25, 1}, 0, false, false, true, 6000, 0, "00:00:00:00"},
};
const auto clipName = [](const auto &info) { return std::string(info.param.name); };
INSTANTIATE_TEST_SUITE_P(Clips, MxfFileTest, ::testing::ValuesIn(clips), clipName);
INSTANTIATE_TEST_SUITE_P(Clips, MxfFileE2e, ::testing::ValuesIn(clips), clipName);

TEST(MxfFileStoppedEarly, KeepsItsHeaderOpenAndIncompleteAndStillOpens) {
    QTemporaryDir directory;
    const std::string path = directory.filePath("stopped.mxf").toStdString();
    const ClipCase clip{"stopped", {25, 1}, 2, false, false, true, 4, 0, ""};
    writeClip(path, clip, ClipEssence(clip), false);

    const std::vector<uint8_t> file = mxftest::readFile(path);
    const auto items = mxftest::splitKlv(file);
    ASSERT_TRUE(items);
    ASSERT_TRUE(mxftest::isPartitionPack(items->front().key));
    EXPECT_EQ(items->front().key[14], 0x01) << "open and incomplete";
    size_t packs = 0;
    for (const Klv &klv : *items)
        packs += mxftest::isPartitionPack(klv.key) ? 1 : 0;
    EXPECT_EQ(packs, 2u) << "no footer";
    EXPECT_EQ(items->back().key[12], 0x17) << "the file ends with the last element written";

    const QJsonArray streams = testsupport::ffprobe(path).json["streams"].toArray();
    ASSERT_GE(streams.size(), 3);
    EXPECT_EQ(streams[0].toObject()["codec_name"].toString(), "mpeg4");
    EXPECT_EQ(streams[1].toObject()["codec_name"].toString(), "pcm_s24le");
    EXPECT_EQ(streams[2].toObject()["codec_name"].toString(), "pcm_s24le");
}

} // namespace
