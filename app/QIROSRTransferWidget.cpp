#include "app/QIROSRTransferWidget.h"

#include "capture/QIROSRTransfer.h"
#include "card/CardTypes.h"

#include <QDebug>
#include <QMetaType>
#include <QPainter>
#include <memory>
#include <utility>

namespace {

constexpr uint32_t kInputBoardNumber = 0;

} // namespace

QIROSRTransferWidget::QIROSRTransferWidget(QWidget *parent) : QWidget(parent) {
    qRegisterMetaType<QImage>("QImage");
    setSizePolicy(QSizePolicy::MinimumExpanding, QSizePolicy::MinimumExpanding);
    connect(&retiring, &RetiringTransfers::allRetired, this, &QIROSRTransferWidget::stoppedTransfersFinished);
}

bool QIROSRTransferWidget::acquireBoard(uint16_t boardNumber, int portIndex) {
    if (transfer)
        return true;
    // The card would let a second object of this process take the board (same application and process),
    // and the stopped one would then set the board back and release it under the new one.
    if (finishing())
        return false;
    auto candidate = std::make_unique<QIROSRTransfer>(boardNumber, portIndex, this);
    if (!candidate->boardAcquired())
        return false;
    transfer = candidate.release(); // owned by this widget as its child
    return true;
}

bool QIROSRTransferWidget::hasValidInput() {
    if (!transfer)
        return false;
    CWyrnCard &card = transfer->captureCard();
    return card.Open(kInputBoardNumber, false, card::kAnyBoardType, nullptr) &&
           card.GetInput1VideoFormat(true) == card::kVideoFormat1080;
}

void QIROSRTransferWidget::startTransfer(const SRFileInfo &file, const std::string &folder,
                                         const std::optional<OutputPath> &output, int32_t mode,
                                         int32_t portIndex, const std::vector<OutputPath> &furtherOutputs) {
    if (!transfer) {
        qDebug() << "You are a fool";
        return;
    }
    transfer->setTransfer(file, folder, mode, portIndex);
    if (output)
        transfer->setOutputPath(*output);
    transfer->setFurtherOutputPaths(furtherOutputs);
    transfer->start(QThread::InheritPriority);
}

void QIROSRTransferWidget::stopTransfer() {
    if (!transfer)
        return;
    transfer->setParent(nullptr);
    retiring.retire(std::unique_ptr<QIROSRTransfer>(std::exchange(transfer, nullptr)));
}

void QIROSRTransferWidget::updateFrame(QImage image, bool clear) {
    const QPixmap full = QPixmap::fromImage(image);
    if (image.width() > width())
        pixmap = full.scaledToWidth(width(), Qt::FastTransformation);
    else if (image.height() > height())
        pixmap = full.scaledToHeight(height(), Qt::FastTransformation);
    else
        pixmap = full;
    setAttribute(Qt::WA_OpaquePaintEvent, !clear);
    repaint();
}

QPoint QIROSRTransferWidget::pixmapOrigin() const {
    const int x = pixmap.width() < width() ? (width() - pixmap.width()) / 2 : 0;
    const int y = pixmap.height() < height() ? (height() - pixmap.height()) / 2 : 0;
    return {x, y};
}

void QIROSRTransferWidget::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.drawPixmap(pixmapOrigin(), pixmap);
}
