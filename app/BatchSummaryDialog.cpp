#include "app/BatchSummaryDialog.h"

#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTableWidget>
#include <QUrl>
#include <QVBoxLayout>

namespace {

constexpr int kMinimumWidth = 860;
constexpr int kMinimumHeight = 440;
constexpr int kOutcomeWidth = 360;

QTableWidgetItem *cell(const QString &text, const QString &tip) {
    auto *item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    item->setToolTip(tip);
    return item;
}

} // namespace

BatchSummaryDialog::BatchSummaryDialog(const BatchReport &report, const QString &destination, QWidget *parent)
    : QDialog(parent), table(new QTableWidget(int(report.clips().size()), 3, this)) {
    setObjectName("batchSummary");
    setWindowTitle(tr("Transfer Summary"));
    setMinimumSize(kMinimumWidth, kMinimumHeight);

    QStringList lines{tr("%1 of %2 clips finished.").arg(report.finishedCount()).arg(report.clips().size())};
    if (!report.endedEarly().isEmpty())
        lines << tr("The batch ended early: %1.").arg(report.endedEarly());
    for (const QString &hook : report.hookProblems())
        lines << tr("Failed: %1.").arg(hook);
    for (const QString &manifest : report.hashLists())
        lines << tr("ASC MHL history: %1").arg(manifest);
    for (const QString &problem : report.hashListProblems())
        lines << tr("Failed: %1.").arg(problem);
    if (!report.leftovers().isEmpty())
        lines << tr("Left over from earlier transfers that did not complete (a new transfer of their clip "
                    "replaces them): %1")
                     .arg(report.leftovers().join(", "));
    auto *headline = new QLabel(lines.join('\n'), this);
    headline->setObjectName("summaryText");
    headline->setWordWrap(true);
    headline->setTextInteractionFlags(Qt::TextSelectableByMouse);

    table->setObjectName("summaryTable");
    table->setHorizontalHeaderLabels({tr("Clip"), tr("Outcome"), tr("Files")});
    table->verticalHeader()->hide();
    table->horizontalHeader()->setStretchLastSection(true);
    table->setWordWrap(true);
    // Files are named below the destination, one a line (the copies elsewhere in full); the tool tip gives
    // their full paths.
    const QDir folder(destination);
    const QString below = QDir(destination).absolutePath() + '/';
    for (int row = 0; row < int(report.clips().size()); ++row) {
        const BatchReport::Clip &clip = report.clips()[size_t(row)];
        QString outcome = BatchReport::outcomeText(clip);
        if (clip.restarts > 0)
            outcome += tr(" after %n restart(s)", nullptr, clip.restarts);
        // Each warning on a line of its own below the outcome, which gets the warning mark.
        for (const QString &warning : clip.warnings)
            outcome += tr("\nwarning: %1").arg(warning);
        QStringList names;
        for (const QString &file : clip.files)
            names << (destination.isEmpty() || !file.startsWith(below) ? file
                                                                       : folder.relativeFilePath(file));
        table->setItem(row, 0, cell(clip.name, clip.name));
        table->setItem(row, 1, cell(outcome, outcome));
        if (!clip.warnings.isEmpty())
            table->item(row, 1)->setIcon(style()->standardIcon(QStyle::SP_MessageBoxWarning));
        table->setItem(row, 2, cell(names.join('\n'), clip.files.join('\n')));
    }
    table->resizeColumnToContents(0);
    table->setColumnWidth(1, kOutcomeWidth);
    table->resizeRowsToContents();

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    QPushButton *open = buttons->addButton(tr("Open Destination Folder"), QDialogButtonBox::ActionRole);
    open->setObjectName("openFolderButton");
    open->setEnabled(!destination.isEmpty());
    connect(open, &QPushButton::clicked, this,
            [destination] { QDesktopServices::openUrl(QUrl::fromLocalFile(destination)); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(headline);
    layout->addWidget(table, 1);
    layout->addWidget(buttons);
}
