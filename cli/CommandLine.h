#pragma once

// The command line of vantrel-transfer:
//   vantrel-transfer [--media FILE] [--speed X|max] list [--json]
//   vantrel-transfer [--media FILE] [--speed X|max] transfer --dest DIR
//       [--mode without-preview|with-preview|preview-only] [--restarts N] [--overwrite] [--no-verify]
//       [--skip-existing] [--framemd5] [--strict] [--cue-timeout SECONDS] [--stall-timeout SECONDS]
//       [--operator NAME] [--on-clip-done CMD] [--on-batch-done CMD] [--hook-timeout SECONDS]
//       [--name TEMPLATE] [--set NAME=VALUE]... [--metadata FILE] [--md5] [--author NAME] [--no-mhl]
//       [--bag [--organization NAME]] (--all | NAME...)
//   vantrel-transfer verify FILE.mxf
//   vantrel-transfer verify [--no-record] DIR
//   vantrel-transfer check FILE.mxf
// Options may stand anywhere, as "--option value" or "--option=value". A command line that breaks these
// rules gives no command and a message for the user; so does a naming template (--name) that does not parse.

#include "batch/NamingTemplate.h"
#include "verify/TransferReport.h"

#include <QString>
#include <QStringList>
#include <optional>

// How many destinations one transfer copies to at most.
inline constexpr qsizetype kMostDestinations = 4;

struct CommandLine {
    enum class Command { List, Transfer, Verify, Check, Help, Version };
    Command command = Command::Help;
    QString media; // the simulated recorder's clip manifest; empty: as configured
    QString speed; // the simulated play-out's pace; empty: as configured
    bool json = false;
    QStringList destinations; // each --dest, in order: every clip is copied to each
    int mode = 1;             // without preview
    int restarts = 3;
    bool overwrite = false;    // replace finished files of the same name
    bool skipExisting = false; // skip clips whose finished file agrees with its report
    bool verify = true;        // read each finished file back and compare it with what was written
    bool frameMd5 = false;     // write NAME.framemd5 beside each finished file
    bool strict = false;       // fail a clip whose sound arrived short rather than padding it with silence
    double cueTimeout = 30;    // seconds to wait for a clip's play-out to deliver its first block
    double stallTimeout = 5;   // seconds without a further block before a clip fails
    QString operatorName;      // named in the reports' events; empty: none
    QString onClipDone;        // shell command run after each clip (see batch/CompletionHook.h); empty: none
    QString onBatchDone;       // shell command run once after the batch; empty: none
    double hookTimeout = 600;  // seconds a hook may run before it is killed
    NamingTemplate naming;     // where each clip is written below the destination
    MetadataPairs settings;    // --set: metadata for every clip, each checked (see batch/UserMetadata.h)
    QString metadataFile;      // --metadata: per-clip metadata, CSV or JSON
    bool hashList = true;      // record the run's files in the destination's ASC MHL history
    bool md5 = false;          // the history (and each bag) also gets each file's MD5
    bool bag = false;          // each finished clip as a BagIt bag (see delivery/BagLayout.h)
    QString organization;      // the bags' Source-Organization; empty: none
    QString author;            // named in the history's generations; empty: none
    bool record = true;        // verify DIR: a check that passes adds a generation of its own
    bool all = false;
    QStringList names;
};

struct ParsedCommandLine {
    std::optional<CommandLine> line;
    QString error; // why the command line was refused, when line is empty
};

// arguments without the program name.
ParsedCommandLine parseCommandLine(const QStringList &arguments);

QString usageText();
