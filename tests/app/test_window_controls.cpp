// The main window's controls: first start, settings, title, shortcuts, the event filter, the folder label;
// and the program itself, started as a user would.

#include "tests/app/WindowFixture.h"

#include <QComboBox>
#include <QEvent>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSpinBox>

namespace {

using windowtest::WindowTest;

class WindowControlsTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        installThreeClips();
    }
    QComboBox *modeSelector() { return child<QComboBox>("transferModeSelector"); }
    QCheckBox *frameMd5Box() { return child<QCheckBox>("frameMd5Box"); }
    QString folderLabel() { return child<QLabel>("folderLabel")->text(); }
    QSpinBox *cueTimeout() { return child<QSpinBox>("cueTimeoutBox"); }
    QSpinBox *stallTimeout() { return child<QSpinBox>("stallTimeoutBox"); }
    QComboBox *naming() { return child<QComboBox>("namingBox"); }
};

TEST_F(WindowControlsTest, FirstStartShowsDefaultsAndSettingsSurviveARestart) {
    open();
    EXPECT_EQ(modeSelector()->currentText(), "Transfer With Preview");
    EXPECT_EQ(modeSelector()->currentData().toInt(), 0);
    EXPECT_EQ(modeSelector()->itemData(1).toInt(), 1);
    EXPECT_FALSE(frameMd5Box()->isChecked());
    EXPECT_EQ(cueTimeout()->value(), 30);
    EXPECT_EQ(stallTimeout()->value(), 5);
    EXPECT_EQ(naming()->currentText(), "{reel}/{clip}");
    EXPECT_EQ(folderLabel(), "<h4> <font color=red>No Folder Selected</br> </font></h4>");
    EXPECT_EQ(button()->text(), "Start Transfer");
    EXPECT_EQ(child<QProgressBar>("progressBar")->maximum(), 100);

    // Closing writes every setting even though no transfer ran.
    window.reset();
    {
        const QSettings settings("QIRO Video", "QIRO Vantrel");
        EXPECT_EQ(settings.value("TransferModeIndex"), 0);
        EXPECT_EQ(settings.value("DestinationFolder"), QString());
        EXPECT_EQ(settings.value("WriteFrameMd5"), false);
        EXPECT_EQ(settings.value("CueTimeoutSeconds"), 30);
        EXPECT_EQ(settings.value("StallTimeoutSeconds"), 5);
    }

    openWithFolder();
    modeSelector()->setCurrentIndex(1);
    frameMd5Box()->setChecked(true);
    cueTimeout()->setValue(90);
    stallTimeout()->setValue(8);
    naming()->setCurrentText("{date}/{meta:Project}/{clip}");
    const QString folder = dialogs->folder;
    EXPECT_EQ(folderLabel(),
              "<h4> <font color=#2494bc ><u>Current Folder: " + folder + "</u></br> </font></h4>");
    window.reset();

    open();
    EXPECT_EQ(modeSelector()->currentText(), "Transfer Without Preview");
    EXPECT_TRUE(frameMd5Box()->isChecked());
    EXPECT_EQ(cueTimeout()->value(), 90);
    EXPECT_EQ(stallTimeout()->value(), 8);
    EXPECT_EQ(naming()->currentText(), "{date}/{meta:Project}/{clip}");
    const QString chosen =
        "<h4> <font color=#2494bc ><u>Current Folder: " + folder + "</u></br> </font></h4>";
    EXPECT_EQ(folderLabel(), chosen);
    // The chooser starts at the folder; cancelling it keeps the folder.
    dialogs->folder.clear();
    window->chooseDestinationFolder();
    EXPECT_EQ(dialogs->startedAt, folder);
    EXPECT_EQ(folderLabel(), chosen);
    window.reset();
    EXPECT_EQ(QSettings("QIRO Video", "QIRO Vantrel").value("DestinationFolder"), folder);
}

TEST_F(WindowControlsTest, TheMetadataFormKeepsWhatWasConfirmedAcrossARestart) {
    open();
    QPushButton *metadata = child<QPushButton>("metadataButton");
    dialogs->metadataAnswer = MetadataPairs{{"Title", "Dawn"}, {"Reel", "a=b"}};
    QTest::mouseClick(metadata, Qt::LeftButton);
    EXPECT_TRUE(dialogs->metadataShown.isEmpty());
    dialogs->metadataAnswer.reset(); // cancelled: nothing changes
    QTest::mouseClick(metadata, Qt::LeftButton);
    window.reset();

    open();
    QTest::mouseClick(child<QPushButton>("metadataButton"), Qt::LeftButton);
    EXPECT_EQ(dialogs->metadataShown, MetadataPairs({{"Title", "Dawn"}, {"Reel", "a=b"}}));
}

TEST_F(WindowControlsTest, TitleNamesTheBoardWithoutItsNumber) {
    const std::pair<const char *, const char *> names[] = {
        {"Corvel-22", "QIRO Vantrel with Corvel"},
        {"-Pyxen", "QIRO Vantrel with -Pyxen"},
        {"Corvel-22-B", "QIRO Vantrel with Corvel-22"},
    };
    for (const auto &[board, title] : names) {
        install(QJsonArray{}, QJsonObject{{"boardName", board}});
        open();
        EXPECT_TRUE(QTest::qWaitFor([&] { return window->windowTitle() == title; }, kWaitMs)) << board;
    }
    install(QJsonArray{}, QJsonObject{{"boardPresent", false}});
    open();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return window->windowTitle() == "QIRO Vantrel with No Boards Installed"; }, kWaitMs));
    EXPECT_EQ(model()->rowCount(), 0);
}

TEST_F(WindowControlsTest, ShortcutsCheckAndUncheckEveryRow) {
    open();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    ASSERT_EQ(checked(), std::vector<bool>(3, false));
    QTest::keySequence(window.get(), QKeySequence::SelectAll);
    EXPECT_EQ(checked(), std::vector<bool>(3, true));
    QTest::keySequence(table(), QKeySequence::Undo);
    EXPECT_EQ(checked(), std::vector<bool>(3, false));
}

TEST_F(WindowControlsTest, ApplicationActivationReachesNoObject) {
    open();
    windowtest::EventLog counter;
    table()->installEventFilter(&counter);
    for (const QEvent::Type type :
         {QEvent::ApplicationActivate, QEvent::ApplicationDeactivate, QEvent::User}) {
        QEvent event(type);
        QCoreApplication::sendEvent(table(), &event);
    }
    EXPECT_EQ(counter.seen, std::vector<QEvent::Type>{QEvent::User});
}

// The program names media it cannot use and ends before a window opens; on the demo media it comes up and
// stays up.
TEST(WindowProgram, RefusesUnusableMediaAndStaysUpOnTheDemoClips) {
    const auto start = [](QProcess &program, const QString &media) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        environment.remove("VANTREL_SIM_MEDIA");
        if (!media.isEmpty())
            environment.insert("VANTREL_SIM_MEDIA", media);
        program.setProcessEnvironment(environment);
        program.start(VANTREL_WINDOW_PROGRAM, QStringList());
        return program.waitForStarted();
    };
    QProcess refused;
    ASSERT_TRUE(start(refused, "/nonexistent/manifest.json"));
    ASSERT_TRUE(refused.waitForFinished(20000));
    EXPECT_EQ(refused.exitCode(), 2);
    const QString error = QString::fromUtf8(refused.readAllStandardError());
    EXPECT_TRUE(error.contains("vantrel: ") && error.contains("/nonexistent/manifest.json"))
        << error.toStdString();

    QProcess demo;
    ASSERT_TRUE(start(demo, {}));
    EXPECT_FALSE(demo.waitForFinished(3000)) << demo.readAllStandardError().toStdString();
    demo.kill();
    demo.waitForFinished();
}

} // namespace
