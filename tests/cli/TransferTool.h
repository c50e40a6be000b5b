#pragma once

// Runs vantrel-transfer (and the outside readers that check its files) as a user would, each run with a
// time limit: a run that does not end in time is killed and counts as a hang.

#include <QJsonDocument>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <chrono>
#include <gtest/gtest.h>
#include <ostream>
#include <string>

// Test messages show texts as texts.
inline void PrintTo(const QString &text, std::ostream *out) {
    *out << '"' << text.toStdString() << '"';
}

namespace clitest {

struct Run {
    bool ended = false; // within the time limit
    int status = -1;
    QString out;
    QString err;
};

// `home`, when given, is the program's HOME.
inline Run run(const QString &program, const QStringList &arguments, std::chrono::seconds limit,
               const QString &workingDirectory = {}, const QString &home = {}) {
    QProcess process;
    process.setWorkingDirectory(workingDirectory);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("VANTREL_SIM_MEDIA");
    environment.remove("VANTREL_SIM_SPEED");
    if (!home.isEmpty())
        environment.insert("HOME", home);
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    Run result;
    result.ended = process.waitForFinished(int(std::chrono::milliseconds(limit).count()));
    if (!result.ended) {
        process.kill();
        process.waitForFinished();
    }
    result.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

// vantrel-transfer at full speed, on the manifest when one is given, else on the demo clips.
inline Run transferTool(QStringList arguments, const QString &manifest = {},
                        std::chrono::seconds limit = std::chrono::seconds(60)) {
    arguments.prepend("max");
    arguments.prepend("--speed");
    if (!manifest.isEmpty())
        arguments << "--media" << manifest;
    Run result = run(VANTREL_TRANSFER_TOOL, arguments, limit);
    EXPECT_TRUE(result.ended) << "vantrel-transfer " << arguments.join(' ').toStdString() << " hung";
    return result;
}

inline QJsonDocument jsonOf(const QString &program, const QStringList &arguments) {
    const Run result = run(program, arguments, std::chrono::seconds(60));
    EXPECT_EQ(result.status, 0) << program.toStdString() << ": " << result.err.toStdString();
    return QJsonDocument::fromJson(result.out.toUtf8());
}

// The outcome ("pass" or "fail") of the delivery policy that MediaConch applies to `path`, as its report's
// outermost policy gives it; empty when MediaConch did not report. MediaConch keeps a database in its
// user's home, which runs side by side would lock for each other: each run gets a home of its own.
inline std::string policyOutcome(const QString &path) {
    const QTemporaryDir home;
    const Run result = run("mediaconch", {"-p", VANTREL_DELIVERY_POLICY, "-fx", path},
                           std::chrono::seconds(60), {}, home.path());
    EXPECT_EQ(result.status, 0) << "mediaconch: " << result.err.toStdString();
    QXmlStreamReader report(result.out);
    while (!report.atEnd())
        if (report.readNext() == QXmlStreamReader::StartElement && report.name() == u"policy")
            return report.attributes().value("outcome").toString().toStdString();
    return {};
}

} // namespace clitest
