#include "cli/ProgressDisplay.h"

#include <algorithm>

namespace {

constexpr int kBarWidth = 30;

QString minutesAndSeconds(double seconds) {
    const int whole = int(std::max(seconds, 0.0) + 0.5);
    return QString("%1:%2").arg(whole / 60).arg(whole % 60, 2, 10, QChar('0'));
}

} // namespace

ProgressDisplay::ProgressDisplay(std::FILE *out, bool terminal) : out(out), terminal(terminal) {}

void ProgressDisplay::clipStarted(const QString &clipName, uint32_t clipFrames, double clipFrameRate,
                                  int attempt) {
    clipEnded();
    name = clipName;
    frames = clipFrames;
    frameRate = clipFrameRate;
    lastTenth = 0;
    clock.start();
    write(attempt > 1 ? QString("%1: restarting from its beginning (try %2)\n").arg(name).arg(attempt)
                      : QString("%1: transferring %2 frames\n").arg(name).arg(frames));
}

void ProgressDisplay::progress(int percent) {
    percent = std::clamp(percent, 0, 100);
    const uint64_t done = uint64_t(frames) * uint64_t(percent) / 100;
    if (!terminal) {
        if (percent / 10 <= lastTenth)
            return;
        lastTenth = percent / 10;
        write(QString("%1: %2% (%3 of %4 frames)\n").arg(name).arg(percent).arg(done).arg(frames));
        return;
    }
    const double elapsed = double(clock.nsecsElapsed()) / 1e9;
    const double framesPerSecond = elapsed > 0 ? double(done) / elapsed : 0;
    const double speed = frameRate > 0 ? framesPerSecond / frameRate : 0;
    const double left = framesPerSecond > 0 ? double(frames - done) / framesPerSecond : 0;
    const int filled = percent * kBarWidth / 100;
    const QString beside = checkingName.isEmpty() ? QString() : "; verifying " + checkingName;
    write(QString("\r[%1%2] %3/%4 frames %5% %6x real time %7 left%8\x1b[K")
              .arg(QString(filled, '#'), QString(kBarWidth - filled, '.'))
              .arg(done)
              .arg(frames)
              .arg(percent, 3)
              .arg(speed, 0, 'f', 1)
              .arg(minutesAndSeconds(left), beside));
    lineOpen = true;
}

void ProgressDisplay::checking(const QString &clipName) {
    checkingName = clipName;
    if (!clipName.isEmpty() && !lineOpen)
        write(QString("%1: verifying\n").arg(clipName));
}

void ProgressDisplay::clipEnded() {
    if (lineOpen)
        write("\n");
    lineOpen = false;
}

void ProgressDisplay::write(const QString &text) {
    std::fputs(text.toUtf8().constData(), out);
    std::fflush(out);
}
