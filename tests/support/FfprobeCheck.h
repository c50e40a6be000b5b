#pragma once

// ffprobe as a reader we did not write, for tests: `ffprobe -v error` over a file, every packet read and
// counted, the streams and the format as JSON, and every line it complained with on the way.

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <string>
#include <vector>

namespace testsupport {

struct FfprobeResult {
    // ffprobe exited normally with status 0.
    bool ran = false;
    // -show_streams -show_format -count_packets, as JSON.
    QJsonObject json;
    // What it printed on its error output, line by line.
    std::vector<std::string> complaints;
};

inline FfprobeResult ffprobe(const std::string &path) {
    QProcess process;
    process.start("ffprobe", {"-v", "error", "-count_packets", "-show_streams", "-show_format", "-of", "json",
                              QString::fromStdString(path)});
    FfprobeResult result;
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
        result.complaints.push_back("ffprobe did not finish within the time-out");
        return result;
    }
    result.ran = process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    result.json = QJsonDocument::fromJson(process.readAllStandardOutput()).object();
    for (const QString &line :
         QString::fromUtf8(process.readAllStandardError()).split('\n', Qt::SkipEmptyParts))
        result.complaints.push_back(line.toStdString());
    return result;
}

// The complaints less those of one decoder ("[mpeg4 @ 0x...] ..."): ffprobe decodes the first pictures to
// fill in stream details, and what it says about their bytes is not the container reader's.
inline std::vector<std::string> withoutDecoder(const std::vector<std::string> &complaints,
                                               const std::string &decoder) {
    std::vector<std::string> kept;
    for (const std::string &line : complaints)
        if (line.rfind("[" + decoder + " @ ", 0) != 0)
            kept.push_back(line);
    return kept;
}

} // namespace testsupport
