// vantrel-window-driver: brings the real main window up on the display and works it as a person would, for
// the screenshot script: ticks clips by clicking their rows, chooses the destination with the folder
// button, presses "Start Transfer" and follows the batch to its end. Only the folder chooser itself is
// answered in place of a person; a message box of any kind ends the run as a failure.
//
//   vantrel-window-driver DEST READY_FILE ROW...
//
// Prints the window's id once it is shown, writes READY_FILE once the first clip is a third done with the
// preview showing (the moment for a screenshot), and prints the status line at the end. Exit status 0 when
// the title named the board and every ticked clip was finished, 1 otherwise.

#include "app/QIROSRTransferWidget.h"
#include "app/Vantrel.h"
#include "capture/QIROSRTransfer.h"
#include "ui/QiroApplication.h"
#include "ui/StyleSheet.h"

#include <QAbstractItemModel>
#include <QDeadlineTimer>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <cstdio>

namespace {

constexpr int kScreenshotPercent = 33;
constexpr auto kTimeLimit = std::chrono::seconds(50);
const QString kExpectedTitle = QStringLiteral("QIRO Vantrel with Virtual");

class DriverDialogs : public WindowDialogs {
public:
    explicit DriverDialogs(QString folder) : folder(std::move(folder)) {}

    QMessageBox::StandardButton message(QWidget *, QMessageBox::Icon, const QString &title,
                                        const QString &text, QMessageBox::StandardButtons) override {
        std::fprintf(stderr, "driver: the window showed the box \"%s\": %s\n", qPrintable(title),
                     qPrintable(text));
        failed = true;
        return QMessageBox::Abort;
    }
    QString existingDirectory(QWidget *, const QString &, const QString &) override { return folder; }

    bool failed = false;

private:
    QString folder;
};

bool waitFor(const std::function<bool()> &condition, QDeadlineTimer deadline) {
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(20);
    }
    return true;
}

int fail(const char *what) {
    std::fprintf(stderr, "driver: %s\n", what);
    return 1;
}

} // namespace

int main(int argc, char *argv[]) {
    QiroApplication application(argc, argv, qiro::kThemeDark);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 4)
        return fail("usage: vantrel-window-driver DEST READY_FILE ROW...");
    const QString destination = arguments[1];
    const QString readyFile = arguments[2];

    Vantrel window;
    auto dialogs = std::make_unique<DriverDialogs>(destination);
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
    auto *folderButton = window.findChild<QPushButton *>("folderButton");
    auto *start = window.findChild<QPushButton *>("startStopButton");
    auto *progress = window.findChild<QProgressBar *>("progressBar");
    auto *preview = window.findChild<QIROSRTransferWidget *>("preview");
    auto *status = window.findChild<QLabel *>("statusLine");
    int ticked = 0;
    for (const QString &row : arguments.mid(3)) {
        const QModelIndex cell = table->model()->index(row.toInt(), 1);
        if (!cell.isValid())
            return fail("a row to tick is not in the clip table");
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, table->visualRect(cell).center());
        QTest::qWait(150);
        ++ticked;
    }
    QTest::mouseClick(folderButton, Qt::LeftButton);
    QTest::qWait(150);
    QTest::mouseClick(start, Qt::LeftButton);

    bool previewShown = false;
    if (!waitFor([&] { return preview->capture() != nullptr; }, deadline))
        return fail("the transfer did not start");
    QObject::connect(preview->capture(), &QIROSRTransfer::newFrameSignal, &window,
                     [&](const QImage &, bool) { previewShown = true; });
    if (!waitFor([&] { return previewShown && progress->value() >= kScreenshotPercent; }, deadline))
        return fail("no preview in the first third of the clip");
    QFile(readyFile).open(QIODevice::WriteOnly);

    const bool ended = waitFor(
        [&] { return start->text() == "Start Transfer" && !status->text().startsWith("Transferring"); },
        deadline);
    std::printf("status %s\n", qPrintable(status->text()));
    const QString expected =
        ticked == 1 ? QString("1 file finished") : QString("%1 files finished").arg(ticked);
    if (!ended || answers.failed || !status->text().startsWith(expected))
        return fail("the batch did not finish every ticked clip");
    return 0;
}
