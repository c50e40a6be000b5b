// vantrel-transfer run as a user runs it, on test clips that cover every compression quality, edit rate,
// sound layout and time code counting, and on the demo clips. Each file must land where it belongs, be read
// by ffprobe and MediaInfo with the right streams, duration and start time code, pass the delivery policy
// under MediaConch, and give back the recorder's pictures, sound, data items and lead-in time codes byte for
// byte.

#include "platform/srmodule/DemoMedia.h"
#include "platform/srmodule/EssenceSource.h"
#include "platform/srmodule/ManifestReader.h"
#include "tests/cli/TransferTool.h"
#include "tests/support/FfprobeCheck.h"
#include "tests/support/GstMxfCheck.h"
#include "tests/support/MxfContentPackages.h"
#include "tests/support/TempManifest.h"
#include "tests/support/TestPictureReader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <algorithm>
#include <gtest/gtest.h>

namespace {

using clitest::transferTool;

// What a transferred clip must look like: where it lands (below the destination) and its edit rate.
struct Expected {
    QString file;
    int numerator;
    int denominator;
};

struct TimeCode {
    int hours, minutes, seconds, frames;
};

// The next frame's time code: frames count to the rounded rate; drop-frame counting skips the first
// fps / 15 frame numbers of every minute but each tenth.
TimeCode next(TimeCode code, int fps, bool drop) {
    if (++code.frames < fps)
        return code;
    code.frames = 0;
    if (++code.seconds < 60)
        return code;
    code.seconds = 0;
    if (++code.minutes == 60) {
        code.minutes = 0;
        code.hours = (code.hours + 1) % 24;
    }
    if (drop && code.minutes % 10 != 0)
        code.frames = fps / 15;
    return code;
}

QString text(const TimeCode &code, bool drop) {
    return QString::asprintf("%02d:%02d:%02d%c%02d", code.hours, code.minutes, code.seconds, drop ? ';' : ':',
                             code.frames);
}

uint8_t bcd(int value) {
    return uint8_t(value / 10 << 4 | value % 10);
}

// The system item's user stamp of a frame: SMPTE 12M type, then the lead-in time code's frames, seconds,
// minutes and hours as BCD, the rest zero.
std::vector<uint8_t> userStamp(const TimeCode &code) {
    std::vector<uint8_t> stamp(mxftest::kUserStampBytes, 0);
    stamp[0] = 0x81;
    stamp[1] = bcd(code.frames);
    stamp[2] = bcd(code.seconds);
    stamp[3] = bcd(code.minutes);
    stamp[4] = bcd(code.hours);
    return stamp;
}

void expectReadersAccept(const QString &path, const ClipRecord &clip, const Expected &expected,
                         const QString &start) {
    const uint32_t frames = clip.durationFrames;
    const testsupport::FfprobeResult probed = testsupport::ffprobe(path.toStdString());
    ASSERT_TRUE(probed.ran);
    // The recorder's pictures are real MPEG-4 pictures: neither the reader nor the decoder may complain.
    EXPECT_EQ(probed.complaints, std::vector<std::string>{});
    const QJsonObject &probe = probed.json;
    EXPECT_EQ(probe["format"]["tags"]["timecode"].toString(), start);
    const QJsonArray streams = probe["streams"].toArray();
    int pictures = 0, sounds = 0, data = 0;
    const qint64 samples = (qint64(frames) * 48000 * expected.denominator * 2 + expected.numerator) /
                           (2 * qint64(expected.numerator));
    for (const QJsonValue &value : streams) {
        const QJsonObject stream = value.toObject();
        const QString type = stream["codec_type"].toString();
        if (type == "video") {
            ++pictures;
            EXPECT_EQ(stream["codec_name"].toString(), "mpeg4");
            EXPECT_EQ(stream["width"].toInt(), clip.size == 0 ? 1280 : 1920);
            EXPECT_EQ(stream["height"].toInt(), clip.size == 0 ? 720 : 1080);
            EXPECT_EQ(stream["r_frame_rate"].toString(),
                      QString("%1/%2").arg(expected.numerator).arg(expected.denominator));
            EXPECT_EQ(stream["duration_ts"].toInteger(), frames);
        } else if (type == "audio") {
            ++sounds;
            EXPECT_EQ(stream["codec_name"].toString(), "pcm_s24le");
            EXPECT_EQ(stream["sample_rate"].toString(), "48000");
            EXPECT_EQ(stream["channels"].toInt(), 1);
            EXPECT_EQ(stream["duration_ts"].toInteger(), samples);
        } else if (type == "data") {
            ++data;
        }
    }
    EXPECT_EQ(pictures, 1);
    EXPECT_EQ(sounds, clip.soundChannels);
    EXPECT_LE(data, 1);

    const QJsonArray tracks =
        clitest::jsonOf("mediainfo", {"--Output=JSON", path})["media"]["track"].toArray();
    int soundTracks = 0, timeCodes = 0;
    for (const QJsonValue &value : tracks) {
        const QJsonObject track = value.toObject();
        const QString type = track["@type"].toString();
        if (type == "General") {
            EXPECT_EQ(track["Format"].toString(), "MXF");
            EXPECT_EQ(track["FrameCount"].toString().toUInt(), frames);
        } else if (type == "Video") {
            EXPECT_EQ(track["Format"].toString(), "MPEG-4 Visual");
            EXPECT_EQ(track["FrameCount"].toString().toUInt(), frames);
            EXPECT_EQ(track["Width"].toString(), clip.size == 0 ? "1280" : "1920");
            EXPECT_EQ(track["Height"].toString(), clip.size == 0 ? "720" : "1080");
        } else if (type == "Audio") {
            ++soundTracks;
            EXPECT_EQ(track["Format"].toString(), "PCM");
        } else if (track["Format"].toString() == "MXF TC") {
            // The packages' time code tracks. The system items' time code (MediaInfo's "SMPTE TC") is the
            // recorder's lead-in as it comes, checked byte for byte with the essence.
            ++timeCodes;
            EXPECT_EQ(track["TimeCode_FirstFrame"].toString(), start);
        }
    }
    EXPECT_EQ(soundTracks, clip.soundChannels);
    EXPECT_GE(timeCodes, 1);
    EXPECT_EQ(clitest::policyOutcome(path), "pass");
}

// The events of a report: a failed capture for each restart, then the capture that wrote the file and the
// checks of the read-back, in time order; the capture names the software, board, volume and operator.
void expectEvents(const QJsonArray &events, int restarts) {
    QStringList outcomes;
    QString previous;
    for (const QJsonValue &value : events) {
        const QJsonObject event = value.toObject();
        outcomes << event["type"].toString() + ": " + event["outcome"].toString();
        EXPECT_FALSE(event["dateTime"].toString().isEmpty());
        EXPECT_GE(event["dateTime"].toString(), previous);
        previous = event["dateTime"].toString();
        QStringList roles;
        for (const QJsonValue &agent : event["agents"].toArray())
            roles << agent["role"].toString();
        const bool capture = event["type"] == "capture";
        EXPECT_EQ(roles, capture ? QStringList({"software", "capture board", "recorder volume", "operator"})
                                 : QStringList({"software", "operator"}));
        EXPECT_EQ(event["agents"].toArray().last()["name"].toString(), "Ann Ö");
    }
    QStringList expected(restarts, "capture: failure");
    expected << "capture: success"
             << "message digest calculation: success"
             << "fixity check: success"
             << "validation: success";
    EXPECT_EQ(outcomes, expected);
}

// The delivery policy refuses a copy of a delivered file that lost its second half.
void expectPolicyRefusesTruncation(const QString &path) {
    QTemporaryDir folder;
    const QString copy = folder.filePath("truncated.mxf");
    ASSERT_TRUE(QFile::copy(path, copy));
    ASSERT_TRUE(QFile::resize(copy, QFileInfo(path).size() / 2));
    EXPECT_EQ(clitest::policyOutcome(copy), "fail");
}

// The conformance check names the failure of a copy that lost its second half, and checks a copy without
// its report beside it with the descriptor comparison skipped.
void expectCheckNamesDamage(const QString &path) {
    QTemporaryDir folder;
    const QString copy = folder.filePath("copy.mxf");
    ASSERT_TRUE(QFile::copy(path, copy));
    const clitest::Run alone = transferTool({"check", copy});
    EXPECT_EQ(alone.status, 0) << alone.out.toStdString();
    EXPECT_TRUE(alone.err.contains("descriptor comparison skipped")) << alone.err.toStdString();
    ASSERT_TRUE(QFile::resize(copy, QFileInfo(path).size() / 2));
    const clitest::Run cut = transferTool({"check", copy});
    EXPECT_EQ(cut.status, 1);
    EXPECT_TRUE(cut.out.startsWith(copy + ": file-truncated: ")) << cut.out.toStdString();
}

// The file's essence against the recorder's, frame by frame; stops at the first frame that differs.
void expectEssence(const QString &path, const ManifestClip &clip, const Expected &expected, bool drop) {
    mxftest::MappedFile file(path);
    const auto packages = mxftest::contentPackages(file.bytes());
    ASSERT_TRUE(packages) << "not an MXF file of content packages";
    ASSERT_EQ(packages->size(), clip.record.durationFrames);
    EssenceSource essence(clip);
    std::vector<uint8_t> picture(essence.pictureBytes());
    std::vector<uint8_t> sound;
    const int fps = (expected.numerator + expected.denominator / 2) / expected.denominator;
    const ClipTimecode &start = clip.record.startTimecode;
    TimeCode code{start.hours, start.minutes, start.seconds, start.frames};
    const PlayoutFaults &faults = clip.playoutFaults;
    for (uint64_t n = 0; n < packages->size(); ++n, code = next(code, fps, drop)) {
        for (uint32_t k = 0; faults.timecodeJumpAt == n && k < faults.timecodeJumpFrames; ++k)
            code = next(code, fps, drop);
        const mxftest::ContentPackage &package = (*packages)[n];
        const auto same = [](std::span<const uint8_t> a, std::span<const uint8_t> b) {
            return std::ranges::equal(a, b);
        };
        ASSERT_TRUE(same(package.userStamp, userStamp(code))) << "time stamp of frame " << n;
        essence.picture(n, picture);
        ASSERT_TRUE(same(package.picture, picture)) << "picture of frame " << n;
        ASSERT_EQ(package.sound.size(), essence.soundChannels()) << "frame " << n;
        uint32_t channel = 0;
        for (const auto &[number, element] : package.sound) {
            sound.clear();
            essence.sound(channel, n, 1, sound);
            ASSERT_TRUE(same(element, sound))
                << "channel " << channel << " (element " << int(number) << ") of frame " << n;
            ++channel;
        }
        if (essence.hasDataItems())
            ASSERT_TRUE(package.data && same(*package.data, essence.dataItem(n))) << "data of frame " << n;
        else
            // Without data items a declared data track carries empty ANC elements: a packet count of 0.
            ASSERT_TRUE(!package.data || same(*package.data, std::vector<uint8_t>{0, 0}))
                << "data of frame " << n;
    }
}

// GStreamer's demuxer reads the file to its end without a complaint and hands out every picture and sound
// channel as the recorder played them (tracks: picture 2, then one per sound channel).
void expectGstreamerHandsOutEverything(const QString &path, const ManifestClip &clip) {
    EssenceSource essence(clip);
    const uint64_t bytes = essence.pictureBytes();
    std::vector<uint8_t> pictures(bytes * essence.frameCount());
    for (uint32_t n = 0; n < essence.frameCount(); ++n)
        essence.picture(n, std::span(pictures).subspan(n * bytes, bytes));
    std::vector<uint32_t> tracks{2};
    for (uint32_t k = 0; k < essence.soundChannels(); ++k)
        tracks.push_back(3 + k);
    const testsupport::GstDemuxed demuxed = testsupport::demuxWithGstreamer(path.toStdString(), tracks);
    EXPECT_TRUE(demuxed.reachedEnd) << demuxed.output;
    EXPECT_EQ(demuxed.complaints, std::vector<std::string>{});
    EXPECT_TRUE(demuxed.tracks.at(2) == pictures) << "GStreamer's pictures";
    std::vector<uint8_t> sound;
    for (uint32_t k = 0; k < essence.soundChannels(); ++k) {
        sound.clear();
        essence.sound(k, 0, essence.frameCount(), sound);
        EXPECT_TRUE(demuxed.tracks.at(3 + k) == sound) << "GStreamer's channel " << k;
    }
}

// Every clip's file, and nothing else, below the destination; each checked in full.
void expectTransferred(const QTemporaryDir &destination, const std::vector<ManifestClip> &clips,
                       const std::vector<Expected> &expected, const QString &printed, bool withGstreamer) {
    QStringList files;
    for (size_t i = 0; i < clips.size(); ++i) {
        const QString path = destination.filePath(expected[i].file);
        files << path;
        SCOPED_TRACE(path.toStdString());
        const ClipRecord &record = clips[i].record;
        const bool drop = record.dropFrame != 0 && expected[i].denominator == 1001;
        const ClipTimecode &start = record.startTimecode;
        expectReadersAccept(path, record, expected[i],
                            text({start.hours, start.minutes, start.seconds, start.frames}, drop));
        expectEssence(path, clips[i], expected[i], drop);
        const clitest::Run checked = transferTool({"check", path});
        EXPECT_EQ(checked.out, path + ": conforms\n") << checked.err.toStdString();
        EXPECT_EQ(checked.status, 0);
        if (withGstreamer)
            expectGstreamerHandsOutEverything(path, clips[i]);
    }
    EXPECT_EQ(printed.split('\n', Qt::SkipEmptyParts), files);
}

QJsonObject reportOf(const QString &mxfPath) {
    QFile file(mxfPath.chopped(3) + "json");
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << file.fileName().toStdString();
    return QJsonDocument::fromJson(file.readAll()).object();
}

void rewrite(const QString &path, const QByteArray &bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

// `vantrel-transfer verify` passes each untouched file, and sha256sum agrees in the file's folder; then
// fails, naming the file and the fault, on a file changed on disk, a missing report, a report that is not
// JSON and a report whose frame checksum was altered (one fault in each of the first four files).
void expectVerifyCatchesDamage(const QStringList &files) {
    ASSERT_GE(files.size(), 4);
    for (const QString &file : files) {
        const clitest::Run verified = transferTool({"verify", file});
        EXPECT_EQ(verified.status, 0) << verified.err.toStdString();
        EXPECT_EQ(verified.out, file + ": verified\n");
        EXPECT_EQ(reportOf(file)["conformance"].toString(), "passed");
        const QFileInfo info(file);
        const clitest::Run sha256sum = clitest::run("sha256sum", {"-c", info.fileName() + ".sha256"},
                                                    std::chrono::seconds(60), info.absolutePath());
        EXPECT_EQ(sha256sum.status, 0) << sha256sum.out.toStdString() << sha256sum.err.toStdString();
    }

    {
        QFile mxf(files[0]);
        ASSERT_TRUE(mxf.open(QIODevice::ReadWrite));
        ASSERT_TRUE(mxf.seek(mxf.size() / 2));
        const char byte = mxf.peek(1).at(0);
        ASSERT_EQ(mxf.write(QByteArray(1, char(byte ^ 0x01))), 1);
    }
    const QString report1 = files[1].chopped(3) + "json";
    ASSERT_TRUE(QFile::remove(report1));
    const QString report2 = files[2].chopped(3) + "json";
    rewrite(report2, "{\"frames\": ");
    QJsonObject altered = reportOf(files[3]);
    QJsonArray checksums = altered["frameChecksums"].toArray();
    QJsonObject second = checksums[1].toObject();
    second["picture"] =
        QString("%1").arg(second["picture"].toString().toULongLong(nullptr, 16) ^ 1, 16, 16, QChar('0'));
    checksums[1] = second;
    altered["frameChecksums"] = checksums;
    rewrite(files[3].chopped(3) + "json", QJsonDocument(altered).toJson());

    const QStringList faults{"differs from its report", "no report " + report1,
                             "the report " + report2 + " cannot be read", "frame 1 differs: picture"};
    for (qsizetype i = 0; i < faults.size(); ++i) {
        const clitest::Run failed = transferTool({"verify", files[i]});
        EXPECT_EQ(failed.status, 1) << files[i].toStdString();
        EXPECT_TRUE(failed.err.contains(files[i] + ": not verified: ")) << failed.err.toStdString();
        EXPECT_TRUE(failed.err.contains(faults[i])) << failed.err.toStdString();
    }
}

QJsonObject clip(const QString &name, const QString &folder, int frames, const QJsonObject &keys) {
    QJsonObject object = testsupport::clipJson(name, frames);
    object["secondName"] = folder;
    for (auto it = keys.begin(); it != keys.end(); ++it)
        object[it.key()] = it.value();
    return object;
}

TEST(TransferE2e, TestClipsOfEveryQualityRateAndSoundLayoutComeBackByteExact) {
    // HQ, SQ and Lite; 29.97 and 59.94 drop frame across a dropping minute, 23.98 across midnight, 25 and
    // 50; 0, 2, 8 and 16 sound channels; data items on and off; unsafe names; a drop in the middle.
    const QJsonArray clips{
        clip("HQ2997DF", "REEL01", 14,
             {{"codec", 0},
              {"rateIndex", 3},
              {"dropFrame", 1},
              {"startTimecode", "00:00:59;20"},
              {"soundChannels", 8},
              {"dataItems", true},
              {"faults", QJsonObject{{"dropsPicture", 9}}}}),
        clip("a/b", "..", 8,
             {{"codec", 1},
              {"rateIndex", 0},
              {"dropFrame", 0},
              {"startTimecode", "23:59:59:20"},
              {"soundChannels", 2},
              {"dataItems", false}}),
        clip("LITE25", "REEL02", 6,
             {{"codec", 2},
              {"size", 0},
              {"rateIndex", 2},
              {"dropFrame", 0},
              {"startTimecode", "10:00:00:00"},
              {"soundChannels", 16},
              {"dataItems", true}}),
        clip("HQ50", "REEL02", 30,
             {{"codec", 0},
              {"scan", 1},
              {"rateIndex", 7},
              {"dropFrame", 0},
              {"startTimecode", "01:02:03:24"},
              {"soundChannels", 0},
              {"dataItems", true},
              {"faults", QJsonObject{{"timecodeJumpAt", 12}, {"timecodeJumpFrames", 25}}}}),
        clip("SQ5994DF", "REEL02", 30,
             {{"codec", 1},
              {"scan", 1},
              {"rateIndex", 8},
              {"dropFrame", 1},
              {"startTimecode", "00:00:59;38"},
              {"soundChannels", 8},
              {"dataItems", false}}),
    };
    const std::vector<Expected> expected{{"REEL01/HQ2997DF.mxf", 30000, 1001},
                                         {"__/a_b.mxf", 24000, 1001},
                                         {"REEL02/LITE25.mxf", 25, 1},
                                         {"REEL02/HQ50.mxf", 50, 1},
                                         {"REEL02/SQ5994DF.mxf", 60000, 1001}};
    const testsupport::TempManifest manifest(testsupport::manifestWith(clips));
    const ManifestResult media = readManifest(manifest.path());
    ASSERT_TRUE(media.manifest) << media.error.toStdString();
    QTemporaryDir destination;

    const clitest::Run run = transferTool(
        {"transfer", "--dest", destination.path(), "--all", "--operator", "Ann Ö"}, manifest.path());
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("HQ2997DF: a frame was dropped; restart 1 of 3")) << run.err.toStdString();
    // How the files went to the disk, said once; each clip's figures at its end.
    EXPECT_EQ(run.err.count("writing past the page cache (O_DIRECT)"), 1) << run.err.toStdString();
    EXPECT_EQ(
        run.err.count(QRegularExpression(": [0-9.]+ s of material in [0-9.]+ s, [0-9.]+ times real time, "
                                         "[0-9.]+ MB/s written; read back past the page cache\n")),
        qsizetype(expected.size()))
        << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(QRegularExpression("LITE25: 0.2 s of material in ")));
    // Each clip is read back and checked while the next one plays: the next starts before it ends.
    for (const auto &[checked, next] : {std::pair{"LITE25", "HQ50"}, std::pair{"HQ50", "SQ5994DF"}}) {
        const qsizetype started = run.err.indexOf(QString("%1: transferring").arg(next));
        const qsizetype verifying = run.err.indexOf(QString("%1: verifying").arg(checked));
        const qsizetype ended =
            run.err.indexOf(QRegularExpression(QString("%1: [0-9.]+ s of material").arg(checked)));
        EXPECT_TRUE(started >= 0 && started < verifying && verifying < ended)
            << checked << run.err.toStdString();
    }
    EXPECT_EQ(QDir(destination.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name),
              QStringList({"REEL01", "REEL02", "__", "ascmhl"}));
    expectTransferred(destination, media.manifest->clips, expected, run.out, true);

    // The reports: every frame, the one time code break of HQ50 (none across the dropping minute or
    // midnight), and the drop and restart of HQ2997DF's first try, where its time code stood.
    QStringList files;
    for (size_t i = 0; i < expected.size(); ++i) {
        files << destination.filePath(expected[i].file);
        SCOPED_TRACE(files.back().toStdString());
        const QJsonObject report = reportOf(files.back());
        EXPECT_EQ(report["frames"].toInteger(), clips[qsizetype(i)]["durationFrames"].toInteger());
        const QJsonArray breaks = report["timeCodeBreaks"].toArray();
        const QJsonObject jump{{"frame", 12}, {"expected", "01:02:03:36"}, {"found", "01:02:04:11"}};
        EXPECT_EQ(breaks, expected[i].file == "REEL02/HQ50.mxf" ? QJsonArray({jump}) : QJsonArray());
        const QJsonArray drops = report["droppedPictures"].toArray();
        expectEvents(report["events"].toArray(), i == 0 ? 1 : 0);
        if (i != 0) {
            EXPECT_EQ(drops, QJsonArray());
            EXPECT_EQ(report["restarts"].toInt(), 0);
            continue;
        }
        EXPECT_EQ(report["restarts"].toInt(), 1);
        ASSERT_EQ(drops.size(), 1);
        const qint64 frame = drops[0]["frame"].toInteger(-1);
        ASSERT_GE(frame, 0);
        ASSERT_LT(frame, 14);
        TimeCode code{0, 0, 59, 20};
        for (qint64 n = 1; n < frame; ++n)
            code = next(code, 30, true);
        EXPECT_EQ(drops[0]["timeCode"].toString(), frame == 0 ? QString() : text(code, true));
    }
    expectPolicyRefusesTruncation(files[0]);
    expectCheckNamesDamage(files[0]);
    expectVerifyCatchesDamage(files);
}

TEST(TransferE2e, EveryListedDemoClipComesBackByteExact) {
    QTemporaryDir destination;
    const clitest::Run run =
        transferTool({"transfer", "--dest", destination.path(), "--all"}, {}, std::chrono::seconds(150));
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    std::vector<ManifestClip> clips = demoManifest().clips;
    ASSERT_EQ(clips.back().record.fileName, "B001C001"); // progressive: not listed, not transferred
    clips.pop_back();
    expectTransferred(destination, clips,
                      {{"REEL01/A001C001.mxf", 30000, 1001},
                       {"REEL01/A001C002.mxf", 25, 1},
                       {"REEL02/A002C001.mxf", 25, 1},
                       {"REEL02/A002C002.mxf", 24000, 1001}},
                      run.out, false);

    // FFmpeg decodes every picture of the 720-line demo clip without a complaint, and frame N shows N.
    StudioFormat format;
    format.width = 1280;
    format.height = 720;
    QProcess ffmpeg;
    ffmpeg.start("ffmpeg", {"-v", "error", "-i", QDir(destination.path()).filePath("REEL02/A002C001.mxf"),
                            "-map", "0:v", "-f", "rawvideo", "-pix_fmt", "gray", "-"});
    ASSERT_TRUE(ffmpeg.waitForFinished(120000));
    EXPECT_EQ(ffmpeg.readAllStandardError(), QByteArray());
    const QByteArray pictures = ffmpeg.readAllStandardOutput();
    const qsizetype pictureBytes = qsizetype(format.width) * format.height;
    const uint32_t frames = clips[2].record.durationFrames;
    ASSERT_EQ(pictures.size(), pictureBytes * frames);
    for (uint32_t n = 0; n < frames; ++n) {
        const auto *luma = reinterpret_cast<const uint8_t *>(pictures.constData() + pictureBytes * n);
        const auto shown = testsupport::readFrameNumber(
            format, [&](uint32_t x, uint32_t y) { return double(luma[y * format.width + x]) / 255.0; });
        EXPECT_EQ(shown, n);
    }
}

TEST(TransferE2e, FrameMd5ListsEveryElementAsFfmpegDoes) {
    // 29.97 drop frame with its five-frame sound cadence, 8 channels and data items; an unsafe name.
    const QJsonArray clips{
        clip("a/b", "..", 17,
             {{"codec", 0}, {"rateIndex", 3}, {"dropFrame", 1}, {"soundChannels", 8}, {"dataItems", true}})};
    const testsupport::TempManifest manifest(testsupport::manifestWith(clips));
    QTemporaryDir destination;
    const clitest::Run run =
        transferTool({"transfer", "--dest", destination.path(), "--framemd5", "--all"}, manifest.path());
    ASSERT_EQ(run.status, 0) << run.err.toStdString();

    QFile written(destination.filePath("__/a_b.framemd5"));
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    QProcess ffmpeg;
    ffmpeg.start("ffmpeg", {"-v", "error", "-i", destination.filePath("__/a_b.mxf"), "-map", "0", "-c",
                            "copy", "-f", "framemd5", "-"});
    ASSERT_TRUE(ffmpeg.waitForFinished(120000));
    ASSERT_EQ(ffmpeg.readAllStandardError(), QByteArray());
    // Every line alike but the one naming the program that wrote the list.
    const auto lines = [](const QByteArray &text) {
        QList<QByteArray> kept = text.split('\n');
        kept.removeIf([](const QByteArray &line) { return line.startsWith("#software: "); });
        return kept;
    };
    const QList<QByteArray> ours = lines(written.readAll()), theirs = lines(ffmpeg.readAllStandardOutput());
    EXPECT_EQ(std::count_if(theirs.begin(), theirs.end(),
                            [](const QByteArray &line) { return !line.isEmpty() && !line.startsWith('#'); }),
              17 * (1 + 8 + 1));
    ASSERT_EQ(ours.size(), theirs.size());
    for (qsizetype i = 0; i < ours.size(); ++i)
        EXPECT_EQ(ours[i].toStdString(), theirs[i].toStdString()) << "line " << i;
}

} // namespace
