// vantrel-window-driver: brings the real main window up on the display and works it as a person would, for
// the screenshot script: sets the cue time-out to 3 s, ticks clips by clicking their rows, chooses the
// destination with the folder button, presses "Start Transfer" and follows the batch to its end. Only the
// folder chooser itself is answered in place of a person; a message box of any kind ends the run as a
// failure. The end-of-batch summary is shown for real, without blocking, until its screenshot is taken.
//
//   vantrel-window-driver DEST READY_FILE SHOT_ROW ROW...
//
// Prints the window's id once it is shown and writes READY_FILE once the clip of row SHOT_ROW is a third
// done with its preview showing (the moment for a screenshot). When the batch ends it prints "summary ID"
// with the summary's window id, writes READY_FILE.summary and waits for READY_FILE.taken (at most 20 s)
// before it closes the summary; then it prints the status line. Exit status 0 when the title named the
// board, no box opened and the batch ended with a summary in which a clip finished; 1 otherwise.

#include "app/BatchSummaryDialog.h"
#include "app/QIROSRTransferWidget.h"
#include "app/Vantrel.h"
#include "capture/QIROSRTransfer.h"
#include "ui/QiroApplication.h"
#include "ui/StyleSheet.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QTableView>
#include <QTest>
#include <cstdio>
#include <optional>

namespace {

constexpr int kScreenshotPercent = 33;
constexpr auto kTimeLimit = std::chrono::seconds(90);
constexpr auto kSummaryShotLimit = std::chrono::seconds(20);
constexpr int kCueTimeoutSeconds = 3;
const QString kExpectedTitle = QStringLiteral("QIRO Vantrel with Virtual");

bool waitFor(const std::function<bool()> &condition, QDeadlineTimer deadline) {
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(20);
    }
    return true;
}

class DriverDialogs : public WindowDialogs {
public:
    DriverDialogs(QString folder, QString readyFile)
        : folder(std::move(folder)), readyFile(std::move(readyFile)) {}

    QMessageBox::StandardButton message(QWidget *, QMessageBox::Icon, const QString &title,
                                        const QString &text, QMessageBox::StandardButtons) override {
        std::fprintf(stderr, "driver: the window showed the box \"%s\": %s\n", qPrintable(title),
                     qPrintable(text));
        failed = true;
        return QMessageBox::Abort;
    }
    QString existingDirectory(QWidget *, const QString &, const QString &) override { return folder; }
    void batchSummary(QWidget *parent, const BatchReport &report, const QString &destination) override {
        summary = report;
        BatchSummaryDialog dialog(report, destination, parent);
        dialog.show();
        if (!QTest::qWaitForWindowExposed(&dialog))
            return;
        QTest::qWait(300);
        std::printf("summary %llu\n", static_cast<unsigned long long>(dialog.winId()));
        std::fflush(stdout);
        QFile(readyFile + ".summary").open(QIODevice::WriteOnly);
        waitFor([this] { return QFile::exists(readyFile + ".taken"); }, QDeadlineTimer(kSummaryShotLimit));
    }

    bool failed = false;
    std::optional<BatchReport> summary;

private:
    QString folder;
    QString readyFile;
};

int fail(const char *what) {
    std::fprintf(stderr, "driver: %s\n", what);
    return 1;
}

} // namespace

int main(int argc, char *argv[]) {
    QiroApplication application(argc, argv, qiro::kThemeDark);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 5)
        return fail("usage: vantrel-window-driver DEST READY_FILE SHOT_ROW ROW...");
    const QString destination = arguments[1];
    const QString readyFile = arguments[2];
    const int shotRow = arguments[3].toInt();

    Vantrel window;
    auto dialogs = std::make_unique<DriverDialogs>(destination, readyFile);
    DriverDialogs &answers = *dialogs;
    window.setDialogs(std::move(dialogs));
    window.setWindowTitle("QIRO Vantrel");
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return fail("the window did not come up");
    std::printf("window %llu\n", static_cast<unsigned long long>(window.winId()));
    std::fflush(stdout);

    const QDeadlineTimer deadline(kTimeLimit);
    if (!waitFor([&] { return window.windowTitle() == kExpectedTitle; }, deadline))
        return fail(qPrintable("the title reads \"" + window.windowTitle() + "\""));

    auto *table = window.findChild<QTableView *>("fileTable");
    auto *model = static_cast<QStandardItemModel *>(table->model());
    auto *folderButton = window.findChild<QPushButton *>("folderButton");
    auto *start = window.findChild<QPushButton *>("startStopButton");
    auto *progress = window.findChild<QProgressBar *>("progressBar");
    auto *preview = window.findChild<QIROSRTransferWidget *>("preview");
    auto *status = window.findChild<QLabel *>("statusLine");
    window.findChild<QSpinBox *>("cueTimeoutBox")->setValue(kCueTimeoutSeconds);
    for (const QString &row : arguments.mid(4)) {
        const QModelIndex cell = model->index(row.toInt(), 1);
        if (!cell.isValid())
            return fail("a row to tick is not in the clip table");
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, table->visualRect(cell).center());
        QTest::qWait(150);
    }
    QTest::mouseClick(folderButton, Qt::LeftButton);
    QTest::qWait(150);
    QTest::mouseClick(start, Qt::LeftButton);

    // Each clip, and each try, has a capture object of its own: the preview is watched on the current one.
    QPointer<QIROSRTransfer> watched;
    bool previewShown = false;
    const auto shotMoment = [&] {
        if (QIROSRTransfer *capture = preview->capture(); capture && capture != watched) {
            watched = capture;
            previewShown = false;
            QObject::connect(capture, &QIROSRTransfer::newFrameSignal, &window,
                             [&](const QImage &, bool) { previewShown = true; });
        }
        const QStandardItem *state = model->item(shotRow, Vantrel::kStatusColumn);
        return previewShown && state && state->text().startsWith("transferring") &&
               progress->value() >= kScreenshotPercent;
    };
    if (!waitFor(shotMoment, deadline))
        return fail("no preview in the first third of the clip to be shown");
    QFile(readyFile).open(QIODevice::WriteOnly);

    const bool ended =
        waitFor([&] { return answers.summary.has_value() && start->text() == "Start Transfer"; }, deadline);
    std::printf("status %s\n", qPrintable(status->text()));
    if (!ended || answers.failed || answers.summary->finishedCount() == 0)
        return fail("the batch did not end with a summary and a finished clip");
    return 0;
}
