#pragma once

// Turns SIGINT and SIGTERM into a Qt signal delivered in the main thread's event loop, so that Ctrl+C
// stops a transfer cleanly (play-out stopped, board given back, the unfinished file left unfinished)
// instead of killing the process in mid-write. One instance at a time; the previous handlers come back
// when it is destroyed.

#include <QObject>
#include <QSocketNotifier>
#include <memory>

class InterruptWatch : public QObject {
    Q_OBJECT

public:
    explicit InterruptWatch(QObject *parent = nullptr);
    ~InterruptWatch() override;

signals:
    void interrupted(int signalNumber);

private:
    std::unique_ptr<QSocketNotifier> notifier;
};
