#include "platform/srmodule/DemoMedia.h"
#include "platform/srmodule/EssenceSizes.h"
#include "platform/srmodule/ManifestReader.h"
#include "tests/support/TempManifest.h"

#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <set>

using testsupport::clipJson;
using testsupport::manifestWith;
using testsupport::TempManifest;

namespace {

// The error of reading a manifest that is expected to fail.
QString errorOf(const TempManifest &manifest) {
    const ManifestResult result = readManifest(manifest.path());
    EXPECT_FALSE(result.manifest.has_value());
    return result.error;
}

} // namespace

TEST(ClipManifest, ReadsEveryKeyOfAClip) {
    QJsonObject clip = clipJson("A001C001", 300);
    clip["startTimecode"] = "01:02:03;04";
    clip["rateIndex"] = 200;
    clip["scan"] = 7;
    clip["size"] = 5;
    clip["sampling"] = 2;
    clip["bitDepth"] = 3;
    clip["codec"] = 2;
    clip["stereo3D"] = 1;
    clip["soundChannels"] = 6;
    clip["dataChannelMask"] = 0x8421;
    clip["emphasis"] = 0x87654321LL;
    clip["formatLetter"] = "A";
    clip["valid"] = 0;
    clip["dataItems"] = true;
    clip["faults"] = QJsonObject{{"badChecksum", true}, {"staysBusy", true}};
    TempManifest file(QJsonObject{{"volume", "DISK001"},
                                  {"folder", "SHOOT/DAY1"},
                                  {"boardName", "Bench card"},
                                  {"boardPresent", false},
                                  {"sdiConnected", false},
                                  {"faults", QJsonObject{{"acknowledgeOnly", true}}},
                                  {"clips", QJsonArray{clip}}});

    const ManifestResult result = readManifest(file.path());
    ASSERT_TRUE(result.manifest) << result.error.toStdString();
    const ClipManifest &m = *result.manifest;
    EXPECT_EQ(m.volume, "DISK001");
    EXPECT_EQ(m.folder, "SHOOT/DAY1");
    EXPECT_EQ(m.boardName, "Bench card");
    EXPECT_FALSE(m.boardPresent);
    EXPECT_FALSE(m.sdiConnected);
    EXPECT_EQ(m.faults, (RecorderFaults{false, true, false, false}));
    ASSERT_EQ(m.clips.size(), 1u);
    const ClipRecord &r = m.clips[0].record;
    EXPECT_EQ(r.fileName, "A001C001");
    EXPECT_EQ(r.secondName, "REEL01");
    EXPECT_EQ(r.valid, 0);
    EXPECT_EQ(r.durationFrames, 300u);
    EXPECT_EQ(r.date1, (ClipDateTime{2012, 7, 15, 9, 30, 0, 0}));
    EXPECT_EQ(r.date2, (ClipDateTime{2012, 7, 15, 9, 41, 10, 0}));
    EXPECT_EQ(r.dropFrame, 1);
    EXPECT_EQ(r.startTimecode, (ClipTimecode{1, 2, 3, 4}));
    EXPECT_EQ(r.rateIndex, 200);
    EXPECT_EQ(r.scan, 7);
    EXPECT_EQ(r.size, 5);
    EXPECT_EQ(r.sampling, 2);
    EXPECT_EQ(r.bitDepth, 3);
    EXPECT_EQ(r.codec, 2);
    EXPECT_EQ(r.stereo3D, 1);
    EXPECT_EQ(r.soundChannels, 6);
    EXPECT_EQ(r.dataChannelMask, 0x8421);
    EXPECT_EQ(r.emphasis, 0x87654321u);
    EXPECT_EQ(r.formatLetter, 'A');
    EXPECT_EQ(r.identifier[0], 0x01);
    EXPECT_EQ(r.identifier[23], 0xFF);
    EXPECT_TRUE(m.clips[0].essence.dataItems);
    EXPECT_TRUE(m.clips[0].essence.pictureFile.isEmpty());
    EXPECT_EQ(m.clips[0].faults, (RecorderFaults{true, false, false, true}));
}

TEST(ClipManifest, AcceptsEssenceFilesThatHoldTheWholeClipAndResolvesThemBesideTheManifest) {
    QJsonObject clip = clipJson("A001", 4);
    clip["codec"] = 2; // 937,500-byte pictures
    clip["soundChannels"] = 2;
    clip["rateIndex"] = 2; // 25 fps: 4 frames are 7,680 samples
    clip["pictureFile"] = "a001.pic";
    clip["soundFiles"] = QJsonArray{"a001.ch1", "sound/a001.ch2"};
    TempManifest file(manifestWith(QJsonArray{clip}));
    file.sizedFile("a001.pic", 4 * 937500);
    file.sizedFile("a001.ch1", 7680 * 3);
    QDir().mkpath(QFileInfo(file.filePath("sound/a001.ch2")).path());
    file.sizedFile("sound/a001.ch2", 7680 * 3 + 5);

    const ManifestResult result = readManifest(file.path());
    ASSERT_TRUE(result.manifest) << result.error.toStdString();
    const ClipEssence &essence = result.manifest->clips[0].essence;
    EXPECT_EQ(essence.pictureFile, file.filePath("a001.pic"));
    EXPECT_EQ(essence.soundFiles, (QStringList{file.filePath("a001.ch1"), file.filePath("sound/a001.ch2")}));
}

TEST(ClipManifest, ReportsEssenceFilesThatAreMissingOrTooShort) {
    QJsonObject clip = clipJson("A001", 4);
    clip["codec"] = 2;
    clip["pictureFile"] = "a001.pic";
    TempManifest file(manifestWith(QJsonArray{clip}));

    QString error = errorOf(file);
    EXPECT_TRUE(error.contains(file.filePath("a001.pic"))) << error.toStdString();
    EXPECT_TRUE(error.contains("does not exist")) << error.toStdString();
    EXPECT_TRUE(error.contains("A001")) << error.toStdString();

    file.sizedFile("a001.pic", 4 * 937500 - 1);
    error = errorOf(file);
    EXPECT_TRUE(error.contains(file.filePath("a001.pic"))) << error.toStdString();
    EXPECT_TRUE(error.contains("too short")) << error.toStdString();
    EXPECT_TRUE(error.contains("3749999")) << error.toStdString();

    clip.remove("pictureFile");
    clip["soundChannels"] = 1;
    clip["rateIndex"] = 2;
    clip["soundFiles"] = QJsonArray{"a001.ch1"};
    file.rewrite(manifestWith(QJsonArray{clip}));
    file.sizedFile("a001.ch1", 7680 * 3 - 3);
    error = errorOf(file);
    EXPECT_TRUE(error.contains(file.filePath("a001.ch1")) && error.contains("too short"))
        << error.toStdString();
}

TEST(ClipManifest, ReportsManifestsThatCannotBeReadWithTheFileAndTheProblem) {
    TempManifest file(manifestWith({}));
    const QString missing = file.filePath("nowhere.json");
    const ManifestResult unreadable = readManifest(missing);
    EXPECT_FALSE(unreadable.manifest);
    EXPECT_TRUE(unreadable.error.contains(missing) && unreadable.error.contains("cannot be read"))
        << unreadable.error.toStdString();

    file.writeFile("manifest.json", "{ \"clips\": [ ");
    QString error = errorOf(file);
    EXPECT_TRUE(error.contains(file.path()) && error.contains("not valid JSON")) << error.toStdString();

    file.writeFile("manifest.json", "[1, 2]");
    EXPECT_TRUE(errorOf(file).contains("not a JSON object"));
}

TEST(ClipManifest, ReportsKeysOfTheWrongTypeOrOutOfRangeNamingClipAndKey) {
    struct Case {
        const char *key;
        QJsonValue value;
        const char *expected;
    };
    const Case cases[] = {
        {"rateIndex", 256, "\"rateIndex\""},
        {"scan", -1, "\"scan\""},
        {"soundChannels", 17, "\"soundChannels\""},
        {"durationFrames", 1.5, "\"durationFrames\""},
        {"startTimecode", "25:00:00:00", "\"startTimecode\""},
        {"date1", "2012-02-30 00:00:00", "\"date1\""},
        {"identifier", "0011", "\"identifier\""},
        {"formatLetter", "AB", "\"formatLetter\""},
        {"valid", "yes", "\"valid\""},
        {"faults", QJsonObject{{"slowReplies", true}}, "unknown fault"},
        {"soundFiles", QJsonArray{"only-one"}, "2 sound channels"},
    };
    for (const Case &c : cases) {
        QJsonObject clip = clipJson("B002", 10);
        clip["soundChannels"] = 2;
        clip[c.key] = c.value;
        TempManifest file(manifestWith(QJsonArray{clipJson("B001"), clip}));
        const QString error = errorOf(file);
        EXPECT_TRUE(error.contains(c.expected)) << c.key << ": " << error.toStdString();
        EXPECT_TRUE(error.contains("clip 2 (B002)")) << c.key << ": " << error.toStdString();
    }
}

TEST(ClipManifest, RequiresAFileNameADurationAndASevenCharacterVolume) {
    QJsonObject clip = clipJson("C001");
    clip.remove("fileName");
    TempManifest file(manifestWith(QJsonArray{clip}));
    EXPECT_TRUE(errorOf(file).contains("\"fileName\" is missing"));

    clip = clipJson("C001");
    clip.remove("durationFrames");
    file.rewrite(manifestWith(QJsonArray{clip}));
    EXPECT_TRUE(errorOf(file).contains("\"durationFrames\" is missing"));

    file.rewrite(QJsonObject{{"volume", "SHORT"}, {"clips", QJsonArray{}}});
    EXPECT_TRUE(errorOf(file).contains("exactly 7 characters"));
}

TEST(ClipManifest, UsesTheDemoMediaUnlessTheEnvironmentNamesAManifest) {
    TempManifest file(manifestWith(QJsonArray{clipJson("ENV1")}));
    qputenv(kSimMediaVariable, file.path().toLocal8Bit());
    ManifestResult configured = readConfiguredMedia();
    ASSERT_TRUE(configured.manifest);
    ASSERT_EQ(configured.manifest->clips.size(), 1u);
    EXPECT_EQ(configured.manifest->clips[0].record.fileName, "ENV1");

    qunsetenv(kSimMediaVariable);
    configured = readConfiguredMedia();
    ASSERT_TRUE(configured.manifest);
    EXPECT_EQ(configured.manifest->clips.size(), demoManifest().clips.size());
}

TEST(DemoMedia, OffersClipsOfDifferentFormatsWithOneDropFrameAndOneProgressiveClip) {
    const ClipManifest demo = demoManifest();
    ASSERT_GE(demo.clips.size(), 4u);
    int dropFrame = 0, progressive = 0;
    std::set<std::pair<uint32_t, uint32_t>> rates;
    std::set<std::string> names;
    for (const ManifestClip &clip : demo.clips) {
        const ClipRecord &r = clip.record;
        const EditRate rate = clipEditRate(r);
        const double seconds = double(r.durationFrames) * rate.denominator / rate.numerator;
        EXPECT_GE(seconds, 5.0) << r.fileName;
        EXPECT_LE(seconds, 20.0) << r.fileName;
        EXPECT_GE(r.soundChannels, 2) << r.fileName;
        EXPECT_LE(r.soundChannels, 8) << r.fileName;
        EXPECT_TRUE(clip.essence.pictureFile.isEmpty() && clip.essence.soundFiles.isEmpty());
        dropFrame += r.dropFrame != 0;
        progressive += r.scan > 1;
        rates.insert({rate.numerator, rate.denominator});
        names.insert(r.fileName);
    }
    EXPECT_EQ(dropFrame, 1);
    EXPECT_EQ(progressive, 1);
    EXPECT_GE(rates.size(), 3u);
    EXPECT_EQ(names.size(), demo.clips.size());
    EXPECT_NE(demo.clips[0].record.identifier, demo.clips[1].record.identifier);
}

TEST(EssenceSizes, FollowTheCodecAndTheRoundedSampleCadence) {
    ClipRecord clip;
    clip.codec = 0;
    EXPECT_EQ(pictureFrameBytes(clip), 1875000u);
    clip.codec = 2;
    EXPECT_EQ(pictureFrameBytes(clip), 937500u);

    clip.scan = 0;
    clip.rateIndex = 3; // 30000/1001: 1601.6 samples per frame
    EXPECT_EQ(soundSamplesBefore(clip, 1), 1602u);
    EXPECT_EQ(soundSamplesBefore(clip, 5), 8008u);
    EXPECT_EQ(soundSamplesBefore(clip, 30000), 48048000u);
    clip.rateIndex = 2;
    EXPECT_EQ(soundSamplesBefore(clip, 25), 48000u);
    clip.scan = 2;
    clip.rateIndex = 9; // 60 progressive
    EXPECT_EQ(soundSamplesBefore(clip, 60), 48000u);
    clip.rateIndex = 99; // unknown: 24000/1001
    EXPECT_EQ(soundSamplesBefore(clip, 24000), 48048000u);
}

TEST(ClipManifest, ReadsTheSoundOfEachGeneratedChannel) {
    QJsonObject clip = clipJson("S001", 100);
    clip["soundChannels"] = 4;
    clip["sound"] =
        QJsonArray{QJsonObject{{"tone", QJsonObject{{"frequency", 997}, {"level", -18.5}}}},
                   QJsonObject{{"silence", true}}, QJsonObject{{"silentFrom", 10}, {"silentFrames", 90}}};
    TempManifest file(manifestWith(QJsonArray{clip}));
    const ManifestResult result = readManifest(file.path());
    ASSERT_TRUE(result.manifest) << result.error.toStdString();
    const std::vector<ChannelSound> &sound = result.manifest->clips[0].essence.sound;
    ASSERT_EQ(sound.size(), 3u);
    EXPECT_EQ(sound[0], (ChannelSound{SoundTone{997, -18.5}, false, std::nullopt, 0}));
    EXPECT_EQ(sound[1], (ChannelSound{std::nullopt, true, std::nullopt, 0}));
    EXPECT_EQ(sound[2], (ChannelSound{std::nullopt, false, 10u, 90}));
}

TEST(ClipManifest, ReportsBadSoundNamingClipChannelKeyAndProblem) {
    struct Case {
        QJsonValue channel;
        const char *expected;
    };
    const QJsonObject tone{{"frequency", 1000}, {"level", -20}};
    const Case cases[] = {
        {QJsonObject{{"tone", QJsonObject{{"frequency", 0}, {"level", -20}}}}, "\"tone.frequency\" must be"},
        {QJsonObject{{"tone", QJsonObject{{"frequency", 24000}, {"level", -20}}}},
         "\"tone.frequency\" must be"},
        {QJsonObject{{"tone", QJsonObject{{"frequency", 440.5}, {"level", -20}}}},
         "\"tone.frequency\" must be"},
        {QJsonObject{{"tone", QJsonObject{{"frequency", 1000}, {"level", 20.5}}}}, "\"tone.level\" must be"},
        {QJsonObject{{"tone", QJsonObject{{"frequency", 1000}, {"level", "loud"}}}},
         "\"tone.level\" must be"},
        {QJsonObject{{"tone", QJsonObject{{"frequency", 1000}}}}, "needs \"frequency\" (Hz) and \"level\""},
        {QJsonObject{{"tone", QJsonObject{{"frequency", 1000}, {"level", -20}, {"phase", 0}}}},
         "unknown key \"tone.phase\""},
        {QJsonObject{{"tone", 1000}}, "\"tone\" must be an object"},
        {QJsonObject{{"tone", tone}, {"silence", true}}, "exclude each other"},
        {QJsonObject{{"silence", "yes"}}, "\"silence\" must be true or false"},
        {QJsonObject{{"silentFrom", 3}}, "go together"},
        {QJsonObject{{"silentFrom", 3}, {"silentFrames", 0}}, "\"silentFrames\" must be at least 1"},
        {QJsonObject{{"silentFrom", -1}, {"silentFrames", 2}}, "\"silentFrom\" must be a whole number"},
        {QJsonObject{{"silentFrom", 8}, {"silentFrames", 3}},
         "frames 8 to 10) ends after the clip's last frame (9)"},
        {QJsonObject{{"level", -20}}, "unknown key \"level\""},
        {QJsonValue(5), "is not an object"},
    };
    for (const Case &c : cases) {
        QJsonObject clip = clipJson("B002", 10);
        clip["soundChannels"] = 2;
        clip["sound"] = QJsonArray{QJsonObject{}, c.channel};
        TempManifest file(manifestWith(QJsonArray{clipJson("B001"), clip}));
        const QString error = errorOf(file);
        EXPECT_TRUE(error.contains(c.expected)) << c.expected << ": " << error.toStdString();
        EXPECT_TRUE(error.contains("clip manifest " + file.path() + ": clip 2 (B002): \"sound\" channel 2: "))
            << error.toStdString();
    }

    QJsonObject clip = clipJson("B003", 10);
    clip["soundChannels"] = 1;
    clip["sound"] = QJsonArray{QJsonObject{}, QJsonObject{}};
    TempManifest file(manifestWith(QJsonArray{clip}));
    EXPECT_TRUE(errorOf(file).contains("clip 1 (B003): \"sound\" describes 2 channels, the clip has 1"));
    clip["sound"] = QJsonObject{};
    file.rewrite(manifestWith(QJsonArray{clip}));
    EXPECT_TRUE(errorOf(file).contains("\"sound\" must be an array"));
    file.sizedFile("a.pcm", 10 * 2002 * 3);
    clip["soundFiles"] = QJsonArray{"a.pcm"};
    clip["sound"] = QJsonArray{QJsonObject{}};
    file.rewrite(manifestWith(QJsonArray{clip}));
    EXPECT_TRUE(errorOf(file).contains("cannot go with \"soundFiles\"")) << errorOf(file).toStdString();
}
