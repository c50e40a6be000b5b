#include "cli/CommandLine.h"

#include "batch/UserMetadata.h"

#include <QMap>
#include <algorithm>
#include <utility>

namespace {

const QMap<QString, int> &modeNames() {
    static const QMap<QString, int> names{{"with-preview", 0}, {"without-preview", 1}, {"preview-only", 2}};
    return names;
}

bool takesValue(const QString &option) {
    return option == "--media" || option == "--speed" || option == "--dest" || option == "--mode" ||
           option == "--restarts" || option == "--cue-timeout" || option == "--stall-timeout" ||
           option == "--operator" || option == "--on-clip-done" || option == "--on-batch-done" ||
           option == "--hook-timeout" || option == "--name" || option == "--set" || option == "--metadata" ||
           option == "--author" || option == "--organization";
}

// The options that only transfer takes.
bool transferOption(const QString &option) {
    static const QStringList options{"--dest",         "--mode",          "--restarts",      "--all",
                                     "--overwrite",    "--skip-existing", "--no-verify",     "--framemd5",
                                     "--strict",       "--cue-timeout",   "--stall-timeout", "--operator",
                                     "--on-clip-done", "--on-batch-done", "--hook-timeout",  "--name",
                                     "--set",          "--metadata",      "--md5",           "--author",
                                     "--no-mhl",       "--bag",           "--organization"};
    return options.contains(option);
}

bool validSpeed(const QString &speed) {
    bool ok = false;
    const double factor = speed.toDouble(&ok);
    return speed.compare("max", Qt::CaseInsensitive) == 0 || (ok && factor > 0);
}

// A time-out in seconds: a positive number, at most a day.
std::optional<double> seconds(const QString &text) {
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !(value > 0) || value > 86400)
        return std::nullopt;
    return value;
}

// A name for the report: not empty, without control characters.
bool validOperatorName(const QString &name) {
    return !name.trimmed().isEmpty() && std::none_of(name.begin(), name.end(), [](QChar c) {
        return c.category() == QChar::Other_Control;
    });
}

} // namespace

QString usageText() {
    return "Usage:\n"
           "  vantrel-transfer [--media FILE] [--speed X|max] list [--json]\n"
           "  vantrel-transfer [--media FILE] [--speed X|max] transfer --dest DIR [--dest DIR]...\n"
           "      [--mode without-preview|with-preview|preview-only] [--restarts N] [--overwrite] "
           "[--no-verify]\n"
           "      [--skip-existing] [--framemd5] [--strict] [--cue-timeout SECONDS]\n"
           "      [--stall-timeout SECONDS] [--operator NAME] [--on-clip-done CMD]\n"
           "      [--on-batch-done CMD] [--hook-timeout SECONDS] [--name TEMPLATE]\n"
           "      [--set NAME=VALUE]... [--metadata FILE] [--md5] [--author NAME] [--no-mhl]\n"
           "      [--bag [--organization NAME]] (--all | NAME...)\n"
           "  vantrel-transfer verify FILE.mxf\n"
           "  vantrel-transfer verify [--no-record] DIR\n"
           "  vantrel-transfer check FILE.mxf\n"
           "  vantrel-transfer --help | --version\n"
           "\n"
           "Copies clips off the recorder into MXF files: DIR/<clip folder>/<clip name>.mxf, or as --name "
           "says.\n"
           "A file is written as <name>.mxf.part and gets its final name only once it is complete and on "
           "disk.\n"
           "\n"
           "Commands:\n"
           "  list             the recorder's clips, marking those that cannot be transferred\n"
           "  transfer         the named clips, or with --all every clip that can be transferred, one after\n"
           "                   another in the recorder's order; each finished file gets a report\n"
           "                   (<clip name>.json) and a SHA-256 file (<clip name>.mxf.sha256)\n"
           "  verify           re-reads a finished file and checks it against its report, its SHA-256\n"
           "                   file and its framemd5 list, when it has one; given a folder, re-reads\n"
           "                   every file its ASC MHL history lists and compares it with its newest\n"
           "                   hash, and lists files missing, changed or not in the history; given\n"
           "                   a BagIt bag's folder, checks every file against its manifests\n"
           "  check            checks a file's MXF structure (partitions, index, tracks, descriptors)\n"
           "                   and lists each failed check; reads structure, not essence\n"
           "\n"
           "Options:\n"
           "  --json           list: one JSON array with every field of every clip\n"
           "  --dest DIR       transfer: the destination folder (must exist and be writable); given up\n"
           "                   to 4 times, each clip is copied to every folder from its one play-out,\n"
           "                   each copy checked and committed on its own (folders apart, none inside\n"
           "                   another)\n"
           "  --mode MODE      transfer: without-preview (default), with-preview or preview-only\n"
           "  --restarts N     transfer: restarts of a clip that drops frames before it fails (default 3)\n"
           "  --all            transfer: every clip that can be transferred\n"
           "  --overwrite      transfer: replace a finished file of the same name (it stays untouched\n"
           "                   until the new one is complete); without it such a clip fails\n"
           "  --skip-existing  transfer: skip a clip whose finished file is there and agrees with its "
           "report\n"
           "                   and SHA-256 file (size and digest); it counts as transferred\n"
           "  --no-verify      transfer: do not read each finished file back to compare it, frame by\n"
           "                   frame, with what the recorder played\n"
           "  --framemd5       transfer: also write <clip name>.framemd5, the MD5 of every picture, sound\n"
           "                   and data element as `ffmpeg -i FILE -map 0 -c copy -f framemd5 -` lists them\n"
           "  --strict         transfer: fail a clip whose sound arrived short; without it the missing\n"
           "                   samples are silence, listed in the report, and a warning names the clip\n"
           "  --cue-timeout S  transfer: seconds a clip's play-out may take to start (the recorder cues\n"
           "                   the clip) before the clip fails (default 30)\n"
           "  --stall-timeout S transfer: seconds without pictures, once they flow, before a clip fails\n"
           "                   (default 5)\n"
           "  --operator NAME  transfer: the operator, named with the tool, the capture board and the\n"
           "                   recorder volume as the agents of the events in each report\n"
           "  --on-clip-done CMD transfer: run CMD through /bin/sh -c after each clip, once its file and\n"
           "                   report are final (or it failed, or --skip-existing skipped it); the next\n"
           "                   clip's play-out waits for it. Its environment adds VANTREL_CLIP, "
           "VANTREL_REEL,\n"
           "                   VANTREL_STATUS (finished, skipped or failed), VANTREL_FILE and "
           "VANTREL_REPORT\n"
           "                   (empty for a failed clip), VANTREL_REASON (why it failed), VANTREL_DEST\n"
           "  --on-batch-done CMD transfer: run CMD once after the last clip (also after an interrupt),\n"
           "                   with VANTREL_BATCH_STATUS (finished, failed or stopped), VANTREL_FINISHED\n"
           "                   (skipped clips included), VANTREL_SKIPPED, VANTREL_FAILED, VANTREL_DEST\n"
           "  --hook-timeout S transfer: seconds a hook may run before it and everything it started are\n"
           "                   killed (default 600). A hook's output goes to stderr, each line led by\n"
           "                   [REEL/CLIP] or [batch]; its stdin is /dev/null. A hook that fails or times\n"
           "                   out is reported and makes the exit status 1; it changes no file\n"
           "  --name TEMPLATE  transfer: where each clip is written below DIR (default {reel}/{clip}): "
           "\"/\"\n"
           "                   makes folders, the last part is the file's name; fields {volume}, {reel}\n"
           "                   (the clip's folder), {clip}, {start} (HH-MM-SS-FF), {date} (YYYY-MM-DD),\n"
           "                   {format}, {index} (place in the batch, from 1), {meta:NAME}; what a field\n"
           "                   brings is made safe as clip names are; clips that would share a file are\n"
           "                   refused before any starts\n"
           "  --set NAME=VALUE transfer: metadata for every clip (repeatable), written into each file\n"
           "                   as a user comment of its material package (FFmpeg shows comment_NAME)\n"
           "                   and into its report under \"metadata\"\n"
           "  --metadata FILE  transfer: metadata of single clips, replacing --set values of the same\n"
           "                   name: CSV (a header row \"clip,NAME,...\", then one row per clip) or, for a\n"
           "                   .json file, [{\"clip\": \"CLIP\", \"NAME\": \"VALUE\", ...}, ...]; an empty\n"
           "                   value is no value. Names: 1 to 128 characters, no \"=\", \"{\", \"}\";\n"
           "                   values: no control characters (tabs and line breaks included)\n"
           "  --md5            transfer: the ASC MHL history also gets each file's MD5 (xxh128 always);\n"
           "                   with --bag, each bag gets manifest-md5.txt too\n"
           "  --author NAME    transfer: the author named in the history's new generation\n"
           "  --no-mhl         transfer: write no ASC MHL history; by default each run that finishes a\n"
           "                   file adds a generation to DIR/ascmhl/ listing every file it left in DIR\n"
           "  --bag            transfer: each finished clip becomes a BagIt bag (RFC 8493, 1.0), the\n"
           "                   folder DIR/<clip folder>/<clip name>/ holding data/ (the MXF file with its\n"
           "                   report, SHA-256 file and framemd5 list), manifest-sha256.txt, bag-info.txt\n"
           "                   (with the file's material package UMID as External-Identifier) and\n"
           "                   tagmanifest-sha256.txt; put in place whole once complete. Not with\n"
           "                   --skip-existing\n"
           "  --organization NAME transfer: with --bag, the Source-Organization of every bag\n"
           "  --no-record      verify DIR: add no generation; by default a check that passes adds one\n"
           "                   (process in-place, action verified)\n"
           "  --media FILE     the simulated recorder's clip manifest (as VANTREL_SIM_MEDIA)\n"
           "  --speed X|max    the simulated play-out's pace, a multiple of real time (as "
           "VANTREL_SIM_SPEED)\n"
           "\n"
           "Exit status: 0 when every clip was transferred, 1 when one failed, a hook failed or the clips "
           "do not\n"
           "fit on the destination's disk, 2 for a usage error.\n";
}

ParsedCommandLine parseCommandLine(const QStringList &arguments) {
    CommandLine line;
    std::optional<QString> command;
    QStringList operands;
    QStringList transferOnly; // such options given, in their order
    const auto refuse = [](const QString &error) { return ParsedCommandLine{std::nullopt, error}; };
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        QString argument = arguments[i];
        if (argument == "--help" || argument == "-h" || argument == "--version") {
            line.command =
                argument == "--version" ? CommandLine::Command::Version : CommandLine::Command::Help;
            return {line, {}};
        }
        if (!argument.startsWith("--") || argument == "--") {
            if (argument == "--")
                operands << arguments.mid(i + 1);
            else if (!command)
                command = argument;
            else
                operands << argument;
            if (argument == "--")
                break;
            continue;
        }
        QString value;
        bool hasValue = false;
        // "--set=NAME=VALUE" splits at its first "=", leaving NAME=VALUE whole.
        if (const qsizetype equals = argument.indexOf('='); equals > 0) {
            value = argument.mid(equals + 1);
            argument = argument.left(equals);
            hasValue = true;
        }
        if (takesValue(argument) && !hasValue) {
            if (i + 1 >= arguments.size())
                return refuse(QString("%1 needs a value").arg(argument));
            value = arguments[++i];
        } else if (!takesValue(argument) && hasValue) {
            return refuse(QString("%1 takes no value").arg(argument));
        }
        if (transferOption(argument))
            transferOnly << argument;
        if (argument == "--media") {
            line.media = value;
        } else if (argument == "--speed") {
            if (!validSpeed(value))
                return refuse(QString("--speed must be a positive number or max, not \"%1\"").arg(value));
            line.speed = value;
        } else if (argument == "--json") {
            line.json = true;
        } else if (argument == "--dest") {
            line.destinations << value;
        } else if (argument == "--mode") {
            if (!modeNames().contains(value))
                return refuse(QString("unknown mode \"%1\"").arg(value));
            line.mode = modeNames().value(value);
        } else if (argument == "--restarts") {
            bool ok = false;
            line.restarts = value.toInt(&ok);
            if (!ok || line.restarts < 0)
                return refuse(QString("--restarts must be a whole number from 0, not \"%1\"").arg(value));
        } else if (argument == "--cue-timeout" || argument == "--stall-timeout") {
            const std::optional<double> limit = seconds(value);
            if (!limit)
                return refuse(QString("%1 must be a number of seconds above 0, at most 86400, not \"%2\"")
                                  .arg(argument, value));
            (argument == "--cue-timeout" ? line.cueTimeout : line.stallTimeout) = *limit;
        } else if (argument == "--operator") {
            if (!validOperatorName(value))
                return refuse("--operator needs a name, without control characters");
            line.operatorName = value;
        } else if (argument == "--on-clip-done" || argument == "--on-batch-done") {
            if (value.trimmed().isEmpty())
                return refuse(QString("%1 needs a command").arg(argument));
            (argument == "--on-clip-done" ? line.onClipDone : line.onBatchDone) = value;
        } else if (argument == "--hook-timeout") {
            const std::optional<double> limit = seconds(value);
            if (!limit)
                return refuse(QString("%1 must be a number of seconds above 0, at most 86400, not \"%2\"")
                                  .arg(argument, value));
            line.hookTimeout = *limit;
        } else if (argument == "--name") {
            QString error;
            std::optional<NamingTemplate> naming = NamingTemplate::parse(value, error);
            if (!naming)
                return refuse(error);
            line.naming = std::move(*naming);
        } else if (argument == "--set") {
            const ParsedSetting setting = parseSetting(value);
            if (!setting.pair)
                return refuse(QString("--set %1: %2").arg(value, setting.problem));
            if (metadataValue(line.settings, setting.pair->first))
                return refuse(
                    QString("--set %1 is given twice (names ignore case)").arg(setting.pair->first));
            line.settings.append(*setting.pair);
        } else if (argument == "--metadata") {
            if (value.isEmpty())
                return refuse("--metadata needs a file");
            line.metadataFile = value;
        } else if (argument == "--author") {
            if (!validOperatorName(value))
                return refuse("--author needs a name, without control characters");
            line.author = value;
        } else if (argument == "--bag") {
            line.bag = true;
        } else if (argument == "--organization") {
            if (!validOperatorName(value))
                return refuse("--organization needs a name, without control characters");
            line.organization = value;
        } else if (argument == "--md5") {
            line.md5 = true;
        } else if (argument == "--no-mhl") {
            line.hashList = false;
        } else if (argument == "--no-record") {
            line.record = false;
        } else if (argument == "--all") {
            line.all = true;
        } else if (argument == "--overwrite") {
            line.overwrite = true;
        } else if (argument == "--skip-existing") {
            line.skipExisting = true;
        } else if (argument == "--no-verify") {
            line.verify = false;
        } else if (argument == "--framemd5") {
            line.frameMd5 = true;
        } else if (argument == "--strict") {
            line.strict = true;
        } else {
            return refuse(QString("unknown option %1").arg(argument));
        }
    }
    if (!command)
        return refuse("no command given");
    if (*command == "list") {
        line.command = CommandLine::Command::List;
        if (!operands.isEmpty())
            return refuse("list takes no clip names");
        if (!transferOnly.isEmpty())
            return refuse(QString("%1 belongs to transfer").arg(transferOnly.first()));
        if (!line.record)
            return refuse("--no-record belongs to verify");
        return {line, {}};
    }
    if (*command == "verify" || *command == "check") {
        line.command = *command == "verify" ? CommandLine::Command::Verify : CommandLine::Command::Check;
        if (operands.size() != 1)
            return refuse(QString("%1 takes one file").arg(*command));
        if (!transferOnly.isEmpty())
            return refuse(QString("%1 belongs to transfer").arg(transferOnly.first()));
        if (!line.record && *command != "verify")
            return refuse("--no-record belongs to verify");
        line.names = operands;
        return {line, {}};
    }
    if (*command != "transfer")
        return refuse(QString("unknown command \"%1\"").arg(*command));
    line.command = CommandLine::Command::Transfer;
    if (line.json)
        return refuse("--json belongs to list");
    if (!line.record)
        return refuse("--no-record belongs to verify");
    if (!line.hashList && ((line.md5 && !line.bag) || !line.author.isEmpty()))
        return refuse(QString("%1 needs the ASC MHL history, which --no-mhl leaves out")
                          .arg(line.author.isEmpty() ? "--md5" : "--author"));
    if (!line.organization.isEmpty() && !line.bag)
        return refuse("--organization belongs to --bag");
    if (line.bag && line.skipExisting)
        return refuse("--skip-existing cannot judge a bag; use --overwrite, or leave out --bag");
    if (line.bag && line.mode == 2)
        return refuse("--bag needs files, which --mode preview-only does not write");
    if (line.destinations.isEmpty() || line.destinations.contains(QString()))
        return refuse("transfer needs --dest DIR");
    if (line.destinations.size() > kMostDestinations)
        return refuse(QString("--dest is given at most %1 times").arg(kMostDestinations));
    if (line.all == !operands.isEmpty())
        return refuse("transfer takes either --all or clip names");
    line.names = operands;
    return {line, {}};
}
