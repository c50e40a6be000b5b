// The window's construction, settings, title timer, event filter and destruction. Transfers are in
// VantrelTransfer.cpp, the clip table in VantrelClipTable.cpp.

#include "app/Vantrel.h"

#include "app/FurtherFolderList.h"
#include "app/QIROSRTransferWidget.h"
#include "batch/NamingTemplate.h"
#include "batch/UserMetadata.h"
#include "card/CWyrnCard.h"
#include "delivery/DeliveryLane.h"
#include "recorder/QIROSRTransferDevice.h"
#include "resources/Resources.h"
#include "ui/QiroComboBox.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QStyle>
#include <QTableView>
#include <QTimerEvent>
#include <QVBoxLayout>

namespace {

constexpr int kTitleTimerMs = 100;
constexpr int kSelectorMaxWidth = 210;
constexpr int kRowHeight = 20;
constexpr int kTableMinHeight = 200;
constexpr int kPreviewMinWidth = 648;
constexpr int kPreviewMinHeight = 364;
constexpr int kFolderIconSize = 24;
constexpr int kTimeoutSpacing = 16;

const char kOrganisation[] = "QIRO Video";
const char kApplication[] = "QIRO Vantrel";
const char kModeKey[] = "TransferModeIndex";
const char kFolderKey[] = "DestinationFolder";
const char kFurtherFoldersKey[] = "FurtherDestinationFolders";
const char kFrameMd5Key[] = "WriteFrameMd5";
const char kCueTimeoutKey[] = "CueTimeoutSeconds";
const char kStallTimeoutKey[] = "StallTimeoutSeconds";
const char kClipDoneKey[] = "ClipDoneCommand";
const char kBatchDoneKey[] = "BatchDoneCommand";
const char kNamingKey[] = "NamingTemplate";
const char kMetadataKey[] = "BatchMetadata"; // NAME=VALUE texts
const char kHashListKey[] = "WriteAscMhl";
const char kHashListMd5Key[] = "AscMhlMd5";
const char kHashListAuthorKey[] = "AscMhlAuthor";
const char kBagKey[] = "WriteBags";
const char kBagOrganizationKey[] = "BagOrganization";
constexpr int kMaxTimeoutSeconds = 600;

QSpinBox *secondsBox(const char *name, const QString &tip, QWidget *parent) {
    auto *box = new QSpinBox(parent);
    box->setObjectName(name);
    box->setRange(1, kMaxTimeoutSeconds);
    box->setSuffix(" s");
    box->setToolTip(tip);
    box->setStyleSheet("QSpinBox {color: rgb(207,231,255);}");
    return box;
}

} // namespace

Vantrel::Vantrel(QWidget *parent, Qt::WindowFlags flags)
    : QDialog(parent, flags), dialogs(std::make_unique<WindowDialogs>()) {
    if (objectName().isEmpty())
        setObjectName("Dialog");
    setWindowFlags(Qt::Window);
    buildControls();
    buildTable();
    buildLayout();
    buildActions();
    applyStyleSheets();
    connectControls();
    loadSettings();
    getFileList();
    titleTimerId = startTimer(kTitleTimerMs);
    QCoreApplication::instance()->installEventFilter(this);
}

// The settings are saved first, then what runs is ended (endForClose); every stopped transfer is waited for
// before the children go, so that no thread outlives the window and no file is left half put in place.
Vantrel::~Vantrel() {
    saveSettings();
    endForClose();
    preview->waitForStoppedTransfers();
}

// The files a running batch finished are recorded in the folder's history and its log ended; a running
// transfer is stopped, disconnected first so that no report of it reaches the window, and the lane's checks
// are given up without waiting for them.
void Vantrel::endForClose() {
    lane->stop();
    if (batchRun) {
        recordHistory();
        batchRun->log->batchEnded(batch.finishedCount(), int(batch.clips().size()),
                                  tr("the window was closed"));
        batchRun.reset();
    }
    running.reset();
    disconnectTransferSignals();
    preview->stopTransfer();
}

// The window stays while a stopped transfer finishes its file, saying so, and closes once it is done
// (boardGivenBack).
void Vantrel::done(int result) {
    if (closingWith)
        return;
    endForClose();
    if (!preview->finishing()) {
        QDialog::done(result);
        return;
    }
    closingWith = result;
    startStopButton->setText(tr("Start Transfer"));
    startStopButton->setEnabled(false);
    statusLine->setText(tr("Finishing the stopped transfer's file; the window closes when it is done"));
}

void Vantrel::setDialogs(std::unique_ptr<WindowDialogs> replacement) {
    dialogs = std::move(replacement);
}

void Vantrel::buildControls() {
    progressBar = new QProgressBar(this);
    progressBar->setObjectName("progressBar");
    progressBar->setRange(0, 100);
    progressBar->setValue(0);

    startStopButton = new QPushButton(tr("Start Transfer"), this);
    startStopButton->setObjectName("startStopButton");
    startStopButton->setDefault(false);
    // Return in the table must not start or stop a transfer.
    startStopButton->setAutoDefault(false);

    statusLine = new QLabel(this);
    statusLine->setObjectName("statusLine");
    statusLine->setWordWrap(true);

    preview = new QIROSRTransferWidget(this);
    preview->setObjectName("preview");
    preview->setMinimumSize(kPreviewMinWidth, kPreviewMinHeight);
    showSplash();

    optionsGroup = new QGroupBox(this);
    folderRow = new QWidget(this);

    folderButton = new QPushButton(this);
    folderButton->setObjectName("folderButton");
    folderButton->setIcon(style()->standardIcon(QStyle::SP_DialogOpenButton));
    folderButton->setIconSize(QSize(kFolderIconSize, kFolderIconSize));
    folderButton->setToolTip(tr("Select Destination Folder"));
    folderButton->setAutoDefault(false);

    folderLabel = new QLabel(tr("Current Folder: "), this);
    folderLabel->setObjectName("folderLabel");
    furtherFolders = new FurtherFolderList(qsizetype(QIROSRTransfer::kMostCopies) - 1, this);
    furtherFolders->setObjectName("furtherFolders");

    transferModeSelector = new QiroComboBox(this);
    transferModeSelector->setObjectName("transferModeSelector");
    transferModeSelector->addItem("Transfer With Preview", 0);
    transferModeSelector->addItem("Transfer Without Preview", 1);
    transferModeSelector->setMaximumWidth(kSelectorMaxWidth);

    frameMd5Box = new QCheckBox(tr("Also Write a Frame MD5 File"), this);
    frameMd5Box->setObjectName("frameMd5Box");
    frameMd5Box->setToolTip(
        tr("Beside each finished file, NAME.framemd5: the MD5 of every picture, sound and "
           "data element, as FFmpeg's framemd5 lists them"));

    hashListBox = new QCheckBox(tr("ASC MHL History"), this);
    hashListBox->setObjectName("hashListBox");
    hashListBox->setToolTip(tr("Each batch that finishes a file adds a generation to the folder's ascmhl/ "
                               "history: every file it left, with its xxh128, for other tools to verify"));
    md5Box = new QCheckBox(tr("With MD5"), this);
    md5Box->setObjectName("md5Box");
    md5Box->setToolTip(tr("The history also lists each file's MD5, taken in the same read-back"));
    bagBox = new QCheckBox(tr("BagIt Bags"), this);
    bagBox->setObjectName("bagBox");
    bagBox->setToolTip(tr("Each finished clip becomes a BagIt bag where its file would be: data/ holds the "
                          "file and its companions, beside manifests and bag-info.txt"));
    organizationEdit = new QLineEdit(this);
    organizationEdit->setObjectName("organizationEdit");
    organizationEdit->setPlaceholderText(tr("Organization named in each bag"));
    authorEdit = new QLineEdit(this);
    authorEdit->setObjectName("authorEdit");
    authorEdit->setPlaceholderText(tr("Author named in the history"));

    namingBox = new QComboBox(this);
    namingBox->setObjectName("namingBox");
    namingBox->setEditable(true);
    namingBox->setInsertPolicy(QComboBox::NoInsert);
    namingBox->addItems(
        {NamingTemplate::kDefault, "{clip}", "{reel}/{start}_{clip}", "{date}/{reel}/{clip}"});
    namingBox->setToolTip(
        tr("Where each clip is written below the folder: \"/\" makes folders, the last part is the file's "
           "name. Fields: {volume}, {reel} (the clip's folder), {clip}, {start}, {date}, {format}, {index} "
           "(place in the batch), {meta:NAME}"));

    cueTimeoutBox =
        secondsBox("cueTimeoutBox",
                   tr("How long the recorder may take to start playing a clip before the clip fails"), this);
    stallTimeoutBox =
        secondsBox("stallTimeoutBox",
                   tr("How long pictures may stop coming, once they flow, before the clip fails"), this);

    const QString variables =
        tr("Run through /bin/sh -c with VANTREL_CLIP, VANTREL_STATUS, VANTREL_FILE, VANTREL_REPORT, "
           "VANTREL_DEST; the next clip waits for it (at most 10 minutes)");
    clipDoneCommand = new QLineEdit(this);
    clipDoneCommand->setObjectName("clipDoneCommand");
    clipDoneCommand->setPlaceholderText(tr("Command to run when a clip is done"));
    clipDoneCommand->setToolTip(variables);
    batchDoneCommand = new QLineEdit(this);
    batchDoneCommand->setObjectName("batchDoneCommand");
    batchDoneCommand->setPlaceholderText(tr("Command to run when the batch is done"));
    batchDoneCommand->setToolTip(tr("Run through /bin/sh -c with VANTREL_BATCH_STATUS, VANTREL_FINISHED, "
                                    "VANTREL_SKIPPED, VANTREL_FAILED, VANTREL_DEST"));
    hook = new CompletionHook(this);
    lane = new DeliveryLane(this);
    metadataButton = new QPushButton(tr("Metadata..."), this);
    metadataButton->setObjectName("metadataButton");
    metadataButton->setToolTip(
        tr("Title, project, operator, notes and further names written into every file"));
    metadataButton->setAutoDefault(false);

    portSelector = std::make_unique<QiroComboBox>();
    const QStringList ports = QIROSRTransferDevice().portNames();
    if (ports.isEmpty())
        portSelector->addItem("No Serial Ports Found");
    else
        portSelector->addItems(ports);
    portSelector->setMaximumWidth(kSelectorMaxWidth);
}

void Vantrel::buildTable() {
    fileModel = new QStandardItemModel(0, 5, this);
    fileTable = new QTableView(this);
    fileTable->setObjectName("fileTable");
    fileTable->setModel(fileModel);
    fileSelection = new QItemSelectionModel(fileModel, this);
    fileTable->setSelectionModel(fileSelection);
    fileTable->verticalHeader()->hide();
    fileTable->verticalHeader()->setDefaultSectionSize(kRowHeight);
    fileTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    fileTable->setMinimumHeight(kTableMinHeight);
    fileTable->setSizePolicy(QSizePolicy::MinimumExpanding, QSizePolicy::MinimumExpanding);
    fileTable->horizontalHeader()->setStretchLastSection(true);
    fileTable->setContextMenuPolicy(Qt::CustomContextMenu);
}

void Vantrel::buildLayout() {
    auto *folderLayout = new QFormLayout(folderRow);
    auto *folder = new QWidget(folderRow);
    auto *folderLineLayout = new QHBoxLayout(folder);
    folderLineLayout->setContentsMargins(0, 0, 0, 0);
    folderLineLayout->addWidget(folderLabel, 1);
    folderLineLayout->addWidget(furtherFolders->addButton());
    folderLayout->addRow(folderButton, folder);
    folderLayout->addRow(furtherFolders);

    auto *timeouts = new QWidget(this);
    auto *timeoutLayout = new QHBoxLayout(timeouts);
    timeoutLayout->setContentsMargins(0, 0, 0, 0);
    timeoutLayout->addWidget(new QLabel(tr("Cue Timeout"), timeouts));
    timeoutLayout->addWidget(cueTimeoutBox);
    timeoutLayout->addSpacing(kTimeoutSpacing);
    timeoutLayout->addWidget(new QLabel(tr("Stall Timeout"), timeouts));
    timeoutLayout->addWidget(stallTimeoutBox);
    timeoutLayout->addSpacing(kTimeoutSpacing);
    timeoutLayout->addWidget(metadataButton);
    timeoutLayout->addStretch(1);

    auto *optionsLayout = new QVBoxLayout(optionsGroup);
    optionsLayout->addWidget(transferModeSelector, 1);
    optionsLayout->addWidget(frameMd5Box, 1);
    auto *hashList = new QWidget(optionsGroup);
    auto *hashListLayout = new QHBoxLayout(hashList);
    hashListLayout->setContentsMargins(0, 0, 0, 0);
    hashListLayout->addWidget(hashListBox);
    hashListLayout->addWidget(md5Box);
    hashListLayout->addWidget(authorEdit, 1);
    optionsLayout->addWidget(hashList, 1);
    auto *bags = new QWidget(optionsGroup);
    auto *bagsLayout = new QHBoxLayout(bags);
    bagsLayout->setContentsMargins(0, 0, 0, 0);
    bagsLayout->addWidget(bagBox);
    bagsLayout->addWidget(organizationEdit, 1);
    optionsLayout->addWidget(bags, 1);
    optionsLayout->addWidget(timeouts, 1);
    optionsLayout->addWidget(clipDoneCommand, 1);
    optionsLayout->addWidget(batchDoneCommand, 1);
    auto *naming = new QWidget(this);
    auto *namingLayout = new QHBoxLayout(naming);
    namingLayout->setContentsMargins(0, 0, 0, 0);
    namingLayout->addWidget(new QLabel(tr("File Names"), naming));
    namingLayout->addWidget(namingBox, 1);
    optionsLayout->addWidget(naming, 1);
    optionsLayout->addWidget(folderRow, 1);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(preview, 0);
    layout->addWidget(progressBar, 0);
    layout->addWidget(startStopButton, 0);
    layout->addWidget(statusLine, 0);
    layout->addWidget(fileTable, 0);
    layout->addWidget(optionsGroup, 0);
    layout->addStretch(1);
}

void Vantrel::buildActions() {
    checkAllAction = new QAction(this);
    checkAllAction->setShortcuts(QKeySequence::SelectAll);
    uncheckAllAction = new QAction(this);
    uncheckAllAction->setShortcuts(QKeySequence::Undo);
    addAction(checkAllAction);
    addAction(uncheckAllAction);
}

void Vantrel::applyStyleSheets() {
    startStopButton->setStyleSheet("QPushButton{ color: rgb(36,148,188) ; }");
    progressBar->setStyleSheet(
        "QProgressBar::chunk{background-color: qlineargradient(x1: 0, y1: 0, x2: 0, y2: "
        "1,stop: 0 rgb(36,148,188), stop: 1 rgb(20,20,20))  ; }");
    fileTable->setStyleSheet("QTableView {color: rgb(207,231,255);}");
    transferModeSelector->setStyleSheet("QComboBox {color: rgb(207,231,255);}");
    frameMd5Box->setStyleSheet("QCheckBox {color: rgb(207,231,255);}");
    hashListBox->setStyleSheet("QCheckBox {color: rgb(207,231,255);}");
    md5Box->setStyleSheet("QCheckBox {color: rgb(207,231,255);}");
    bagBox->setStyleSheet("QCheckBox {color: rgb(207,231,255);}");
    namingBox->setStyleSheet("QComboBox {color: rgb(207,231,255);}");
    portSelector->setStyleSheet("QComboBox {color: rgb(207,231,255);}");
}

void Vantrel::connectControls() {
    connect(checkAllAction, &QAction::triggered, this, &Vantrel::checkAllFiles);
    connect(uncheckAllAction, &QAction::triggered, this, &Vantrel::uncheckAllFiles);
    connect(fileTable, &QWidget::customContextMenuRequested, this, &Vantrel::tableContextPopup);
    connect(folderButton, &QPushButton::clicked, this, &Vantrel::chooseDestinationFolder);
    connect(furtherFolders->addButton(), &QPushButton::clicked, this, &Vantrel::addDestinationFolder);
    connect(metadataButton, &QPushButton::clicked, this, &Vantrel::editMetadata);
    connect(startStopButton, &QPushButton::pressed, this, &Vantrel::startAndStopTransfer);
    connect(portSelector.get(), &QComboBox::currentIndexChanged, this, &Vantrel::boardChanged);
    connect(fileTable, &QAbstractItemView::clicked, this, &Vantrel::checkFile);
    connect(hook, &CompletionHook::ended, this, &Vantrel::hookEnded);
    connect(lane, &DeliveryLane::delivered, this, &Vantrel::clipChecked);
    connect(preview, &QIROSRTransferWidget::stoppedTransfersFinished, this, &Vantrel::boardGivenBack);
    // MD5 goes into the history and into the bags' manifests: it matters while either is written.
    const auto md5Matters = [this] { md5Box->setEnabled(hashListBox->isChecked() || bagBox->isChecked()); };
    connect(hashListBox, &QCheckBox::toggled, this, md5Matters);
    connect(bagBox, &QCheckBox::toggled, this, md5Matters);
    connect(hashListBox, &QCheckBox::toggled, authorEdit, &QWidget::setEnabled);
    connect(bagBox, &QCheckBox::toggled, organizationEdit, &QWidget::setEnabled);
    connect(hook, &CompletionHook::outputLine, this, [this](const QString &line) {
        if (batchRun)
            batchRun->log->hookOutput(hookOwner, line);
    });
}

void Vantrel::loadSettings() {
    const QSettings settings(kOrganisation, kApplication);
    transferModeSelector->setCurrentIndex(settings.value(kModeKey, 0).toInt());
    destinationFolder = settings.value(kFolderKey, QString()).toString();
    furtherFolders->setFolders(settings.value(kFurtherFoldersKey).toStringList());
    frameMd5Box->setChecked(settings.value(kFrameMd5Key, false).toBool());
    hashListBox->setChecked(settings.value(kHashListKey, true).toBool());
    md5Box->setChecked(settings.value(kHashListMd5Key, false).toBool());
    authorEdit->setText(settings.value(kHashListAuthorKey, QString()).toString());
    bagBox->setChecked(settings.value(kBagKey, false).toBool());
    organizationEdit->setText(settings.value(kBagOrganizationKey, QString()).toString());
    md5Box->setEnabled(hashListBox->isChecked() || bagBox->isChecked());
    organizationEdit->setEnabled(bagBox->isChecked());
    authorEdit->setEnabled(hashListBox->isChecked());
    const auto seconds = [](std::chrono::milliseconds limit) { return int(limit.count() / 1000); };
    cueTimeoutBox->setValue(
        settings.value(kCueTimeoutKey, seconds(QIROSRTransfer::kDefaultCueLimit)).toInt());
    stallTimeoutBox->setValue(
        settings.value(kStallTimeoutKey, seconds(QIROSRTransfer::kDefaultStallLimit)).toInt());
    clipDoneCommand->setText(settings.value(kClipDoneKey, QString()).toString());
    batchDoneCommand->setText(settings.value(kBatchDoneKey, QString()).toString());
    namingBox->setCurrentText(settings.value(kNamingKey, NamingTemplate::kDefault).toString());
    // Settings edited by hand are checked as the form checks them: a pair that does not pass is dropped,
    // and every pair when names repeat.
    MetadataPairs stored;
    for (const QString &text : settings.value(kMetadataKey).toStringList())
        if (const ParsedSetting setting = parseSetting(text); setting.pair)
            stored.append(*setting.pair);
    if (UserMetadata().setBatchPairs(stored, kMetadataKey))
        stored.clear();
    batchMetadata = stored;
    updateFolderLabel();
}

void Vantrel::saveSettings() const {
    QSettings settings(kOrganisation, kApplication);
    settings.setValue(kModeKey, transferModeSelector->currentIndex());
    settings.setValue(kFolderKey, destinationFolder);
    settings.setValue(kFurtherFoldersKey, furtherFolders->folders());
    settings.setValue(kFrameMd5Key, frameMd5Box->isChecked());
    settings.setValue(kHashListKey, hashListBox->isChecked());
    settings.setValue(kHashListMd5Key, md5Box->isChecked());
    settings.setValue(kHashListAuthorKey, authorEdit->text());
    settings.setValue(kBagKey, bagBox->isChecked());
    settings.setValue(kBagOrganizationKey, organizationEdit->text());
    settings.setValue(kCueTimeoutKey, cueTimeoutBox->value());
    settings.setValue(kStallTimeoutKey, stallTimeoutBox->value());
    settings.setValue(kClipDoneKey, clipDoneCommand->text());
    settings.setValue(kBatchDoneKey, batchDoneCommand->text());
    settings.setValue(kNamingKey, namingBox->currentText());
    QStringList metadata;
    for (const auto &[name, value] : batchMetadata)
        metadata << name + "=" + value;
    settings.setValue(kMetadataKey, metadata);
}

void Vantrel::editMetadata() {
    if (const std::optional<MetadataPairs> pairs = dialogs->metadata(this, batchMetadata)) {
        batchMetadata = *pairs;
        saveSettings();
    }
}

QString Vantrel::currentBoardName() {
    const CWyrnBoardScan scan(true, card::kBoardType);
    OurBoardInfo info;
    CWyrnCard card;
    if (scan.GetBoardInfo(0, info, false) && card.Open(info.boardNumber, false, info.boardType) &&
        card.BoardOpened())
        return QString::fromStdString(info.boardIdentifier);
    return "No Boards Installed";
}

void Vantrel::timerEvent(QTimerEvent *event) {
    if (event->timerId() != titleTimerId) {
        QObject::timerEvent(event);
        return;
    }
    QString name = currentBoardName();
    if (const qsizetype dash = name.lastIndexOf('-'); dash > 0)
        name.truncate(dash);
    setWindowTitle("QIRO Vantrel with " + name);
    if (isIdle()) {
        progressBar->setValue(0);
        showSplash();
    }
}

// Activation changes of the application reach no object.
bool Vantrel::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() == QEvent::ApplicationActivate || event->type() == QEvent::ApplicationDeactivate)
        return true;
    return QObject::eventFilter(watched, event);
}

void Vantrel::boardChanged(int index) {
    qDebug("Board Changed to %d", index);
}

void Vantrel::showSplash() {
    preview->updateFrame(resources::splashImage(), true);
}
