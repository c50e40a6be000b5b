#pragma once

// The progress of a transfer as vantrel-transfer shows it. On a terminal: one line redrawn in place with a
// bar, the frames written, the percentage, the speed as a multiple of real time and the time left.
// Elsewhere (a log, a pipe): one plain line for each further tenth of the clip. A clip whose written file is
// checked beside the running one is named on the redrawn line, or on a line of its own.

#include <QElapsedTimer>
#include <QString>
#include <cstdint>
#include <cstdio>

class ProgressDisplay {
public:
    ProgressDisplay(std::FILE *out, bool terminal);

    // A new try of a clip of `frames` frames at `frameRate` frames per second.
    void clipStarted(const QString &name, uint32_t frames, double frameRate, int attempt);
    void progress(int percent);
    // The clip whose written file is read back and checked while another plays; empty: none.
    void checking(const QString &clipName);
    // Ends the clip's progress line, so that what follows starts on a line of its own.
    void clipEnded();

private:
    void write(const QString &text);

    std::FILE *out;
    const bool terminal;
    QString name;
    QString checkingName;
    uint32_t frames = 0;
    double frameRate = 0;
    int lastTenth = 0;
    bool lineOpen = false;
    QElapsedTimer clock;
};
