// The command line of vantrel-transfer: what it takes, its defaults, and every way it is refused.

#include "cli/CommandLine.h"

#include <gtest/gtest.h>

namespace {

using Command = CommandLine::Command;

CommandLine accepted(const QStringList &arguments) {
    const ParsedCommandLine parsed = parseCommandLine(arguments);
    EXPECT_TRUE(parsed.line) << parsed.error.toStdString();
    return parsed.line.value_or(CommandLine{});
}

TEST(CommandLineTest, TransferTakesItsDefaultsAndOptionsAnywhere) {
    const CommandLine plain = accepted({"transfer", "--dest", "/out", "A001", "A002"});
    EXPECT_EQ(plain.command, Command::Transfer);
    EXPECT_EQ(plain.destinations, QStringList{"/out"});
    EXPECT_EQ(accepted({"transfer", "--dest", "/a", "--all", "--dest=/b"}).destinations,
              QStringList({"/a", "/b"}));
    EXPECT_EQ(plain.mode, 1); // without preview
    EXPECT_EQ(plain.restarts, 3);
    EXPECT_FALSE(plain.all);
    EXPECT_EQ(plain.names, QStringList({"A001", "A002"}));
    EXPECT_TRUE(plain.media.isEmpty());
    EXPECT_TRUE(plain.speed.isEmpty());
    EXPECT_FALSE(plain.frameMd5);
    EXPECT_EQ(plain.cueTimeout, 30);
    EXPECT_EQ(plain.stallTimeout, 5);
    EXPECT_FALSE(plain.strict);
    EXPECT_TRUE(plain.onClipDone.isEmpty());
    EXPECT_TRUE(plain.onBatchDone.isEmpty());
    EXPECT_EQ(plain.hookTimeout, 600);
    EXPECT_EQ(plain.naming.text(), "{reel}/{clip}");

    const CommandLine full = accepted({"--restarts=0",
                                       "transfer",
                                       "--mode",
                                       "preview-only",
                                       "--all",
                                       "--speed=max",
                                       "--dest=/d",
                                       "--media",
                                       "m.json",
                                       "--framemd5",
                                       "--cue-timeout",
                                       "90",
                                       "--stall-timeout=2.5",
                                       "--strict",
                                       "--on-clip-done",
                                       "echo \"$VANTREL_CLIP\" --all",
                                       "--on-batch-done=a=b",
                                       "--hook-timeout",
                                       "1",
                                       "--operator",
                                       "Ann Lee",
                                       "--name",
                                       "{date}/{clip}",
                                       "--set",
                                       "Title=Ann",
                                       "--metadata",
                                       "m.csv"});
    EXPECT_EQ(full.mode, 2);
    EXPECT_EQ(full.restarts, 0);
    EXPECT_TRUE(full.all);
    EXPECT_EQ(full.speed, "max");
    EXPECT_EQ(full.media, "m.json");
    EXPECT_TRUE(full.frameMd5);
    EXPECT_EQ(full.cueTimeout, 90);
    EXPECT_EQ(full.stallTimeout, 2.5);
    EXPECT_TRUE(full.strict);
    EXPECT_EQ(full.operatorName, "Ann Lee");
    EXPECT_EQ(full.onClipDone, "echo \"$VANTREL_CLIP\" --all");
    EXPECT_EQ(full.onBatchDone, "a=b");
    EXPECT_EQ(full.hookTimeout, 1);
    EXPECT_EQ(full.naming.text(), "{date}/{clip}");
    EXPECT_EQ(accepted({"transfer", "--mode", "with-preview", "--dest", "d", "--all"}).mode, 0);
    const CommandLine tagged = accepted({"transfer", "--dest", "d", "--all", "--set", "Title=Dawn = Dusk",
                                         "--set=Operator=Jo", "--metadata", "sheet.csv"});
    EXPECT_EQ(tagged.settings, MetadataPairs({{"Title", "Dawn = Dusk"}, {"Operator", "Jo"}}));
    EXPECT_EQ(tagged.metadataFile, "sheet.csv");
    // After "--" every word is a clip name, even one that looks like an option.
    EXPECT_EQ(accepted({"transfer", "--dest", "d", "--", "--all"}).names, QStringList({"--all"}));
}

TEST(CommandLineTest, ListHelpAndVersion) {
    EXPECT_EQ(accepted({"list"}).command, Command::List);
    EXPECT_FALSE(accepted({"list"}).json);
    EXPECT_TRUE(accepted({"--speed", "2.5", "list", "--json"}).json);
    EXPECT_EQ(accepted({"--help"}).command, Command::Help);
    EXPECT_EQ(accepted({"transfer", "-h"}).command, Command::Help);
    EXPECT_EQ(accepted({"--version"}).command, Command::Version);
    const CommandLine check = accepted({"verify", "--no-record", "/out"});
    EXPECT_EQ(check.command, Command::Verify);
    EXPECT_FALSE(check.record);
    const CommandLine hashed = accepted({"transfer", "--dest", "d", "--all", "--md5", "--author=Dana Reel"});
    EXPECT_TRUE(hashed.hashList && hashed.md5);
    EXPECT_EQ(hashed.author, "Dana Reel");
    EXPECT_FALSE(accepted({"transfer", "--dest", "d", "--all", "--no-mhl"}).hashList);
    const CommandLine bagged = accepted(
        {"transfer", "--dest", "d", "--all", "--bag", "--organization=Archive", "--no-mhl", "--md5"});
    EXPECT_TRUE(bagged.bag && bagged.md5 && !bagged.hashList);
    EXPECT_EQ(bagged.organization, "Archive");
    EXPECT_TRUE(usageText().contains("--restarts N"));
    EXPECT_TRUE(usageText().contains("--framemd5"));
}

struct Refusal {
    QStringList arguments;
    const char *error;
};

class CommandLineRefusal : public ::testing::TestWithParam<Refusal> {};

TEST_P(CommandLineRefusal, GivesNoCommandAndSaysWhy) {
    const ParsedCommandLine parsed = parseCommandLine(GetParam().arguments);
    EXPECT_FALSE(parsed.line);
    EXPECT_TRUE(parsed.error.contains(GetParam().error)) << parsed.error.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    UsageErrors, CommandLineRefusal,
    ::testing::Values(
        Refusal{{}, "no command"}, Refusal{{"copy"}, "unknown command \"copy\""},
        Refusal{{"list", "--fast"}, "unknown option --fast"},
        Refusal{{"list", "--json=yes"}, "--json takes no value"},
        Refusal{{"list", "A001"}, "list takes no clip names"},
        Refusal{{"list", "--dest", "d"}, "--dest belongs to transfer"},
        Refusal{{"list", "--framemd5", "--strict"}, "--framemd5 belongs to transfer"},
        Refusal{{"list", "--on-batch-done", "true"}, "--on-batch-done belongs to transfer"},
        Refusal{{"--mode", "with-preview", "list"}, "--mode belongs to transfer"},
        Refusal{{"transfer", "--dest", "d", "--all", "--on-clip-done", " "},
                "--on-clip-done needs a command"},
        Refusal{{"transfer", "--dest", "d", "--all", "--hook-timeout", "0"}, "--hook-timeout must be"},
        Refusal{{"list", "--name", "{reel}/{clip}"}, "--name belongs to transfer"},
        Refusal{{"transfer", "--dest", "d", "--all", "--name", "{reel}/{take}"}, "unknown field {take}"},
        Refusal{{"transfer", "--all"}, "transfer needs --dest"},
        Refusal{{"transfer", "--dest", "", "--all"}, "transfer needs --dest"},
        Refusal{{"transfer", "--dest", "a", "--dest", "", "--all"}, "transfer needs --dest"},
        Refusal{{"transfer", "--dest=a", "--dest=b", "--dest=c", "--dest=d", "--dest=e", "--all"},
                "--dest is given at most 4 times"},
        Refusal{{"transfer", "--dest"}, "--dest needs a value"},
        Refusal{{"transfer", "--dest", "d"}, "either --all or clip names"},
        Refusal{{"transfer", "--dest", "d", "--all", "A001"}, "either --all or clip names"},
        Refusal{{"transfer", "--dest", "d", "--all", "--json"}, "--json belongs to list"},
        Refusal{{"transfer", "--dest", "d", "--all", "--mode", "fast"}, "unknown mode \"fast\""},
        Refusal{{"transfer", "--dest", "d", "--all", "--restarts", "-1"}, "--restarts must be"},
        Refusal{{"transfer", "--dest", "d", "--all", "--restarts", "two"}, "--restarts must be"},
        Refusal{{"transfer", "--dest", "d", "--all", "--cue-timeout", "0"}, "--cue-timeout must be"},
        Refusal{{"transfer", "--dest", "d", "--all", "--stall-timeout", "soon"}, "--stall-timeout must be"},
        Refusal{{"transfer", "--dest", "d", "--all", "--stall-timeout"}, "--stall-timeout needs a value"},
        Refusal{{"transfer", "--dest", "d", "--all", "--operator", "Ann\tLee"}, "--operator needs a name"},
        Refusal{{"transfer", "--dest", "d", "--all", "--operator= "}, "--operator needs a name"},
        Refusal{{"--operator", "Ann", "list"}, "--operator belongs to transfer"},
        Refusal{{"transfer", "--dest", "d", "--all", "--set", "Title"},
                "--set Title: \"Title\" is not NAME=VALUE"},
        Refusal{{"transfer", "--dest", "d", "--all", "--set", "a=1", "--set", "A=2"},
                "--set A is given twice"},
        Refusal{{"transfer", "--dest", "d", "--all", "--set=Title="}, "--set Title=: \"Title\" has no value"},
        Refusal{{"list", "--set", "a=1"}, "--set belongs to transfer"},
        Refusal{{"verify", "--dest", "d", "f.mxf"}, "--dest belongs to transfer"},
        Refusal{{"transfer", "--dest", "d", "--all", "--no-record"}, "--no-record belongs to verify"},
        Refusal{{"check", "--no-record", "f.mxf"}, "--no-record belongs to verify"},
        Refusal{{"transfer", "--dest", "d", "--all", "--no-mhl", "--md5"}, "--md5 needs the ASC MHL history"},
        Refusal{{"transfer", "--dest", "d", "--all", "--author", ""}, "--author needs a name"},
        Refusal{{"transfer", "--dest", "d", "--all", "--organization", "X"},
                "--organization belongs to --bag"},
        Refusal{{"transfer", "--dest", "d", "--all", "--bag", "--skip-existing"}, "--skip-existing cannot"},
        Refusal{{"transfer", "--dest", "d", "--all", "--bag", "--mode", "preview-only"}, "--bag needs files"},
        Refusal{{"list", "--bag"}, "--bag belongs to transfer"},
        Refusal{{"verify", "--organization", "X", "d"}, "--organization belongs to transfer"},
        Refusal{{"--speed", "0", "list"}, "--speed must be"},
        Refusal{{"--speed", "-2", "list"}, "--speed must be"},
        Refusal{{"--speed", "fast", "list"}, "--speed must be"}));

} // namespace
