#pragma once

// What the window does with a ticked clip whose finished file is there already: it asks, per clip, Replace,
// Skip, Replace All or Skip All (the command line's --overwrite and --skip-existing). Replace All replaces
// every later one without asking; Skip All skips every later one whose file agrees with its report and
// SHA-256 file (see finishedFileDisagreement) and asks again about one that does not. The question goes
// through WindowDialogs::message with the buttons kReplaceButtons.
//
// Threads: GUI thread only.

#include <QMessageBox>
#include <QString>

class QWidget;
class WindowDialogs;

class FinishedFileChoice {
public:
    // Yes: Replace, Yes to All: Replace All, No: Skip, No to All: Skip All.
    static constexpr QMessageBox::StandardButtons kReplaceButtons =
        QMessageBox::Yes | QMessageBox::YesToAll | QMessageBox::No | QMessageBox::NoToAll;

    // True when the clip whose file is `outputFile` is to be written: no file there, or the user chose to
    // replace it. False: the clip is skipped (also when the question was closed without an answer).
    bool transfers(WindowDialogs &dialogs, QWidget *parent, const QString &outputFile);

private:
    enum class Standing { Ask, ReplaceAll, SkipAll };
    Standing standing = Standing::Ask;
};
