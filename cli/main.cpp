// vantrel-transfer: the command-line front end. Lists the recorder's clips and transfers them into MXF
// files, for automation and for machines without a display. See CommandLine.h for its arguments.

#include "cli/Commands.h"
#include "platform/cardlib/SimSpeed.h"
#include "platform/cardlib/VirtualBoards.h"
#include "platform/srmodule/ManifestReader.h"

#include <QCoreApplication>
#include <QFile>
#include <cstdio>

int main(int argc, char *argv[]) {
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName("vantrel-transfer");
    QCoreApplication::setApplicationVersion(PROJECT_VERSION);

    const ParsedCommandLine parsed = parseCommandLine(QCoreApplication::arguments().mid(1));
    if (!parsed.line) {
        std::fprintf(stderr, "vantrel-transfer: %s\n\n%s", parsed.error.toUtf8().constData(),
                     usageText().toUtf8().constData());
        return kExitUsage;
    }
    const CommandLine &line = *parsed.line;
    switch (line.command) {
    case CommandLine::Command::Help:
        std::fputs(usageText().toUtf8().constData(), stdout);
        return kExitSuccess;
    case CommandLine::Command::Version:
        std::printf("vantrel-transfer %s\n", PROJECT_VERSION);
        return kExitSuccess;
    case CommandLine::Command::Verify:
        return runVerify(line);
    case CommandLine::Command::Check:
        return runCheck(line);
    default:
        break;
    }

    // The simulated recorder reads its media and pace from the environment when the card is first used.
    if (!line.media.isEmpty())
        qputenv(kSimMediaVariable, QFile::encodeName(line.media));
    if (!line.speed.isEmpty())
        qputenv(cardlib::kSimSpeedVariable, line.speed.toUtf8());
    if (const QString error = cardlib::mediaError(); !error.isEmpty()) {
        std::fprintf(stderr, "vantrel-transfer: %s\n", error.toUtf8().constData());
        return kExitUsage;
    }
    return line.command == CommandLine::Command::List ? runList(line) : runTransfer(line);
}
