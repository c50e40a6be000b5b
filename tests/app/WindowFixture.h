#pragma once

// Runs the main window against the simulated recorder at full speed, on a manifest of the test's own, with
// settings in a temporary folder. Every message box, the folder chooser and the end-of-batch summary go to
// RecordingDialogs, which records what the window asked and answers as the test says (the metadata form
// too).

#include "app/Vantrel.h"
#include "tests/capture/TransferHarness.h"
#include "tests/ui/ThemedApplication.h"
#include "ui/StyleSheet.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QStandardItemModel>
#include <QTableView>
#include <QTest>
#include <deque>
#include <functional>
#include <optional>
#include <utility>

namespace windowtest {

struct AskedBox {
    QMessageBox::Icon icon;
    QString title;
    QString text;
    QMessageBox::StandardButtons buttons;
};

class RecordingDialogs : public WindowDialogs {
public:
    QMessageBox::StandardButton message(QWidget *, QMessageBox::Icon icon, const QString &title,
                                        const QString &text, QMessageBox::StandardButtons buttons) override {
        boxes.push_back({icon, title, text, buttons});
        if (whileAsking)
            std::exchange(whileAsking, {})();
        if (answers.empty())
            return QMessageBox::Abort;
        const auto answer = answers.front();
        answers.pop_front();
        return answer;
    }
    QString existingDirectory(QWidget *, const QString &, const QString &start) override {
        startedAt = start;
        return folder;
    }
    void batchSummary(QWidget *, const BatchReport &report, const QString &destination) override {
        summaries.push_back(report);
        summaryFolder = destination;
    }

    std::vector<AskedBox> boxes;
    std::deque<QMessageBox::StandardButton> answers;
    QString folder;    // the folder the chooser gives back
    QString startedAt; // the folder the chooser was opened at
    std::optional<MetadataPairs> metadata(QWidget *, const MetadataPairs &current) override {
        metadataShown = current;
        return metadataAnswer;
    }

    std::vector<BatchReport> summaries;
    QString summaryFolder;
    MetadataPairs metadataShown;                 // what the metadata form was filled with
    std::optional<MetadataPairs> metadataAnswer; // what it gives back; nothing: cancelled
    // Runs once, the next time a box is open (as events would while a person reads it).
    std::function<void()> whileAsking;
};

// The types of the events that reach the objects it watches, in order.
class EventLog : public QObject {
public:
    bool eventFilter(QObject *, QEvent *event) override {
        seen.push_back(event->type());
        return false;
    }
    std::vector<QEvent::Type> seen;
};

// Holds board 0 for another application while it lives.
class OtherApplication {
public:
    static constexpr uint32_t kCode = card::applicationCode('O', 'T', 'H', 'R');
    OtherApplication() { held = card.Open(0) && card.AcquireStreamForApplication(kCode, 1); }
    ~OtherApplication() {
        if (held)
            card.ReleaseStreamForApplication(kCode, 1);
    }
    bool held = false;

private:
    CWyrnCard card;
};

class WindowTest : public ::testing::Test {
protected:
    static constexpr int kWaitMs = 120'000;

    void SetUp() override {
        qputenv(cardlib::kSimSpeedVariable, "max");
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsFolder.path());
    }
    void TearDown() override {
        window.reset();
        qunsetenv(cardlib::kSimSpeedVariable);
        cardlib::useConfiguredMedia();
    }

    void install(const QJsonArray &clips, const QJsonObject &topLevel = {}) {
        QJsonObject object = testsupport::manifestWith(clips);
        for (auto it = topLevel.begin(); it != topLevel.end(); ++it)
            object[it.key()] = it.value();
        manifest = std::make_unique<testsupport::TempManifest>(object);
        cardlib::useManifest(manifest->path());
    }
    // Three short clips, REEL01 to REEL03, and a progressive one between the first two (no row).
    void installThreeClips(const QJsonObject &secondClipFaults = {}) {
        QJsonObject second = transfertest::clip("SHOT02", 12, 2, 2, false);
        if (!secondClipFaults.isEmpty())
            second["faults"] = secondClipFaults;
        install(QJsonArray{transfertest::clip("SHOT01", 12, 0, 2, true, {{"secondName", "REEL01"}}),
                           transfertest::clip("PROG01", 12, 0, 2, false, {{"scan", 2}}), second,
                           transfertest::clip("SHOT03", 12, 1, 2, false, {{"secondName", "REEL03"}})});
    }

    // A new window whose boxes and folder chooser go to `dialogs`.
    Vantrel &open() {
        window = std::make_unique<Vantrel>();
        auto recording = std::make_unique<RecordingDialogs>();
        dialogs = recording.get();
        window->setDialogs(std::move(recording));
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        return *window;
    }
    // Opens a window with the folder chosen through its button.
    Vantrel &openWithFolder() {
        open();
        QDir().mkpath(manifest->filePath("out"));
        dialogs->folder = manifest->filePath("out");
        window->chooseDestinationFolder();
        return *window;
    }

    template <typename T> T *child(const char *name) { return window->findChild<T *>(name); }
    QPushButton *button() { return child<QPushButton>("startStopButton"); }
    QTableView *table() { return child<QTableView>("fileTable"); }
    QStandardItemModel *model() { return static_cast<QStandardItemModel *>(table()->model()); }
    QLabel *statusLine() { return child<QLabel>("statusLine"); }
    // The Status column of every row, top to bottom.
    QStringList statuses() {
        QStringList texts;
        for (int row = 0; row < model()->rowCount(); ++row)
            texts << model()->item(row, Vantrel::kStatusColumn)->text();
        return texts;
    }

    // The check state of every row's box, top to bottom.
    std::vector<bool> checked() {
        std::vector<bool> states;
        for (int row = 0; row < model()->rowCount(); ++row)
            states.push_back(model()->item(row, 0)->checkState() == Qt::Checked);
        return states;
    }
    void clickRow(int row, int column = 1) {
        const QModelIndex cell = model()->index(row, column);
        QTest::mouseClick(table()->viewport(), Qt::LeftButton, {}, table()->visualRect(cell).center());
    }
    void pressStart() { QTest::mousePress(button(), Qt::LeftButton); }
    bool idle() { return button()->text() == "Start Transfer"; }
    // Waits, handling events, until the window is idle again.
    bool waitIdle() {
        return QTest::qWaitFor([this] { return idle(); }, kWaitMs);
    }
    // Waits, handling events, until no capture object holds board 0 any more: a stopped one is deleted off
    // the GUI thread, after the window has gone idle.
    bool waitBoardReleased() {
        return QTest::qWaitFor([] { return transfertest::boardReleased(); }, kWaitMs);
    }
    QString outputFile(const char *folder, const char *clip) {
        return manifest->filePath(QString("out/%1/%2.mxf").arg(folder, clip));
    }

    testsupport::ThemedApplication application{qiro::kThemeDark};
    QTemporaryDir settingsFolder;
    std::unique_ptr<testsupport::TempManifest> manifest;
    std::unique_ptr<Vantrel> window;
    RecordingDialogs *dialogs = nullptr;
};

} // namespace windowtest
