#pragma once

// GStreamer's MXF demuxer as a reader we did not write, for tests: runs gst-launch-1.0 over a file, writes
// what the demuxer hands out on each requested track to a file of its own, and collects every error and
// warning of the pipeline and the demuxer. The demuxer names its pads after the material package's track
// IDs ("track_2"); a track ID the file lacks leaves the pipeline waiting until the time-out.

#include "tests/support/MxfFileReader.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace testsupport {

struct GstDemuxed {
    // gst-launch-1.0 exited normally, with status 0, after the pipeline's end of stream.
    bool reachedEnd = false;
    // The pipeline's error and warning messages, the demuxer's error and warning log lines, any other
    // element's error log lines, a crash and a time-out. Left out: the demuxer's warning that it has no
    // handler for the MPEG-4 Visual sub-descriptor (type 0x0168), which no GStreamer version parses, and
    // its warning that a read was cut off by "flushing": that is the pipeline being stopped after the end
    // of stream while the demuxer's reading task still runs, a race of the shutdown, not of the file.
    std::vector<std::string> complaints;
    // Every byte the demuxer handed out on each requested track, in order.
    std::map<uint32_t, std::vector<uint8_t>> tracks;
    // Everything gst-launch-1.0 printed, for failure messages.
    std::string output;
};

// The complaints, as GstDemuxed lists them, among what gst-launch-1.0 printed.
inline std::vector<std::string> gstComplaints(const QString &output) {
    // A log line: time, process, thread, level, category, place and message.
    static const QRegularExpression logLine(R"(^\d+:\d\d:\d\d\.\d+\s+\d+\s+0x[0-9a-f]+\s+(\w+)\s+(\S+)\s)");
    static const QRegularExpression stoppedRead(
        R"(failed when pulling \d+ bytes from offset \d+: flushing$)");
    std::vector<std::string> complaints;
    for (const QString &line : output.split('\n')) {
        bool complaint = line.startsWith("ERROR:") || line.startsWith("WARNING:");
        const QRegularExpressionMatch log = logLine.match(line);
        if (log.hasMatch())
            complaint = log.captured(1) == "ERROR" ||
                        (log.captured(1) == "WARN" && log.captured(2) == "mxfdemux" &&
                         !line.contains("metadata of type 0x0168") && !stoppedRead.match(line).hasMatch());
        if (complaint)
            complaints.push_back(line.toStdString());
    }
    return complaints;
}

// Runs filesrc ! mxfdemux over `path` with one queue and file sink per requested track.
inline GstDemuxed demuxWithGstreamer(const std::string &path, const std::vector<uint32_t> &trackIds,
                                     int timeoutMilliseconds = 120000) {
    GstDemuxed result;
    QTemporaryDir directory;
    const auto trackFile = [&](uint32_t id) { return directory.filePath(QString("track_%1.bin").arg(id)); };
    // No fault handler: a crash ends the process instead of leaving it spinning.
    QStringList arguments{"-f", "filesrc",  "location=" + QString::fromStdString(path),
                          "!",  "mxfdemux", "name=d"};
    for (uint32_t id : trackIds)
        arguments +=
            {QString("d.track_%1").arg(id), "!", "queue", "!", "filesink", "location=" + trackFile(id)};

    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("GST_DEBUG", "*:1,mxfdemux:2");
    environment.insert("GST_DEBUG_NO_COLOR", "1");
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start("gst-launch-1.0", arguments);
    const bool finished = process.waitForFinished(timeoutMilliseconds);
    if (!finished) {
        process.kill();
        process.waitForFinished();
    }
    const QString output = QString::fromUtf8(process.readAll());
    result.output = output.toStdString();
    result.complaints = gstComplaints(output);
    if (!finished)
        result.complaints.push_back("gst-launch-1.0 did not finish within the time-out");
    else if (process.exitStatus() == QProcess::CrashExit)
        result.complaints.push_back("gst-launch-1.0 crashed");
    result.reachedEnd = finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0 &&
                        output.contains("Got EOS from element");
    for (uint32_t id : trackIds)
        result.tracks[id] = mxftest::readFile(trackFile(id).toStdString());
    return result;
}

} // namespace testsupport
