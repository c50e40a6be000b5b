// The completion hook: what its command gets (variables, an empty stdin), its output line by line, how a
// failure reads, and that a command past its limit, stopped or abandoned goes with everything it forked.

#include "batch/CompletionHook.h"
#include "tests/support/CoreApplication.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <gtest/gtest.h>
#include <optional>

namespace {

using namespace std::chrono_literals;

constexpr int kWaitMs = 10000;

class CompletionHookTest : public ::testing::Test {
protected:
    void SetUp() override {
        testsupport::ensureCoreApplication();
        ASSERT_TRUE(folder.isValid());
        QObject::connect(&hook, &CompletionHook::outputLine, [this](const QString &line) { lines << line; });
        QObject::connect(&hook, &CompletionHook::ended, [this](const CompletionHook::Result &ended) {
            EXPECT_FALSE(hook.isRunning());
            EXPECT_FALSE(result) << "ended twice";
            result = ended;
        });
    }
    CompletionHook::Result runToEnd(const QString &command, std::chrono::milliseconds limit = 10s,
                                    const QMap<QString, QString> &variables = {}) {
        hook.start(command, variables, limit);
        EXPECT_TRUE(QTest::qWaitFor([this] { return result.has_value(); }, kWaitMs)) << command.toStdString();
        return result.value_or(CompletionHook::Result{});
    }
    QString read(const QString &name) const {
        QFile file(folder.filePath(name));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }
    // A process is gone once it is no longer there or a zombie waiting for its new parent to reap it.
    static bool gone(const QString &pid) {
        QFile stat("/proc/" + pid.trimmed() + "/stat");
        if (!stat.open(QIODevice::ReadOnly))
            return true;
        const QByteArray text = stat.readAll();
        const qsizetype name = text.lastIndexOf(')');
        return name < 0 || text.mid(name + 2, 1) == "Z";
    }
    // Starts a hook that forks a long sleep, notes its pid and waits for it; returns the pid once noted.
    QString startForkingHook(const QString &prefix, std::chrono::milliseconds limit) {
        hook.start(prefix + "sleep 30 & echo $! > " + folder.filePath("child") + "; wait", {}, limit);
        EXPECT_TRUE(QTest::qWaitFor([this] { return read("child").endsWith('\n'); }, kWaitMs));
        const QString pid = read("child").trimmed();
        EXPECT_FALSE(gone(pid));
        return pid;
    }

    QTemporaryDir folder;
    CompletionHook hook;
    QStringList lines;
    std::optional<CompletionHook::Result> result;
};

TEST_F(CompletionHookTest, GetsItsVariablesAnEmptyStdinAndGivesItsOutputLineByLine) {
    const CompletionHook::Result ended =
        runToEnd("env > " + folder.filePath("env") +
                     "; read line; echo \"read $?\"; echo err >&2; "
                     "printf 'windows\\r\\n\\nlast'",
                 10s, {{"VANTREL_CLIP", "SHOT 01"}, {"VANTREL_STATUS", "finished"}});
    EXPECT_TRUE(ended.succeeded) << ended.problem.toStdString();
    EXPECT_TRUE(ended.problem.isEmpty());
    EXPECT_EQ(lines, QStringList({"read 1", "err", "windows", "", "last"}));
    const QStringList environment = read("env").split('\n');
    EXPECT_TRUE(environment.contains("VANTREL_CLIP=SHOT 01"));
    EXPECT_TRUE(environment.contains("VANTREL_STATUS=finished"));
    EXPECT_TRUE(environment.contains("PATH=" + qEnvironmentVariable("PATH")));
}

TEST_F(CompletionHookTest, ALineLongerThanTheLongestArrivesInPieces) {
    runToEnd(QStringLiteral("head -c %1 /dev/zero | tr '\\0' x").arg(CompletionHook::kLongestLine + 5));
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0].size(), CompletionHook::kLongestLine);
    EXPECT_EQ(lines[1], "xxxxx");
}

TEST_F(CompletionHookTest, AFailureSaysHowTheCommandEnded) {
    const std::pair<QString, QString> cases[] = {
        {"exit 3", "exited with status 3"},
        {"no-such-command-for-a-hook", "exited with status 127 (command not found)"},
        {"sh -c 'kill -9 $$'", "exited with status 137 (its command was ended by signal 9)"},
        {"kill -9 $$", "was ended by a signal"},
    };
    for (const auto &[command, problem] : cases) {
        result.reset();
        const CompletionHook::Result ended = runToEnd(command);
        EXPECT_FALSE(ended.succeeded) << command.toStdString();
        EXPECT_EQ(ended.problem, problem) << command.toStdString();
    }
}

TEST_F(CompletionHookTest, ACommandPastItsLimitIsKilledWithWhatItForked) {
    const QString child = startForkingHook({}, 300ms);
    ASSERT_TRUE(QTest::qWaitFor([this] { return result.has_value(); }, kWaitMs));
    EXPECT_FALSE(result->succeeded);
    EXPECT_EQ(result->problem, "did not end within 0.3 s and was killed");
    EXPECT_TRUE(QTest::qWaitFor([&] { return gone(child); }, kWaitMs));
}

// A command that ignores SIGTERM gets SIGKILL once the grace has passed.
TEST_F(CompletionHookTest, ACommandThatIgnoresTerminationIsKilledAfterTheGrace) {
    const QString child = startForkingHook("trap '' TERM; ", 10s);
    hook.stop();
    ASSERT_TRUE(QTest::qWaitFor([this] { return result.has_value(); }, kWaitMs));
    EXPECT_EQ(result->problem, "was stopped");
    EXPECT_TRUE(QTest::qWaitFor([&] { return gone(child); }, kWaitMs));
}

TEST_F(CompletionHookTest, AHookDestroyedWhileRunningTakesItsGroupAlong) {
    QString child;
    {
        CompletionHook abandoned;
        abandoned.start("sleep 30 & echo $! > " + folder.filePath("child") + "; wait", {});
        ASSERT_TRUE(QTest::qWaitFor([this] { return read("child").endsWith('\n'); }, kWaitMs));
        child = read("child").trimmed();
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return gone(child); }, kWaitMs));
}

TEST_F(CompletionHookTest, StartsAgainOnceEnded) {
    EXPECT_FALSE(runToEnd("exit 1").succeeded);
    result.reset();
    EXPECT_TRUE(runToEnd("true").succeeded);
}

} // namespace
