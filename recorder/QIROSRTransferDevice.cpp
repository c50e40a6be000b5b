#include "recorder/QIROSRTransferDevice.h"

#include "bytes/ByteReader.h"
#include "recorder/FileInfoDecoding.h"

#include <QIODevice>
#include <QSerialPortInfo>
#include <QThread>
#include <algorithm>
#include <cstring>
#include <span>

namespace {

constexpr uint8_t kFrameStart = 0x30;
constexpr uint8_t kAcknowledge1 = 0x10, kAcknowledge2 = 0x01;
// Bytes of a frame around its command: start, length byte, checksum.
constexpr int kFrameFraming = 3;
// Bytes of a frame's head: start, length, two command bytes.
constexpr size_t kFrameHead = 4;
// The most bytes one read takes: the size of the port's receive ring.
constexpr size_t kMaxReadLength = CWyrnSerialPort::kReceiveSlots;
// Pause between the steps of the list reading.
constexpr int kListStepMs = 30;

// Reply offsets read by the list reading (from the frame's 0x30).
constexpr size_t kReplyCommand1 = 2;
constexpr size_t kReplyCommand2 = 3;
// The play-out and select replies' first data byte: 0 when the recorder did what was asked.
constexpr size_t kReplyStatus = 4;
constexpr size_t kStatusVolume = 16;
constexpr size_t kStatusVolumeLength = 7;
constexpr size_t kStatusFolder = 25;
constexpr size_t kListBusy = 5;
constexpr size_t kListCount = 9;
constexpr size_t kInformationBusy = 7;

uint8_t checksum(const uint8_t *bytes, size_t count) {
    uint8_t sum = 0;
    for (size_t i = 0; i < count; ++i)
        sum = uint8_t(sum + bytes[i]);
    return sum;
}

// Commands, command bytes first.
constexpr uint8_t kStopPlayback[] = {0xF9, 0xFA, 0x00};
constexpr uint8_t kStartPlayback[] = {0xF9, 0xFA, 0x01};
constexpr uint8_t kSelectHead[] = {0x16, 0x00, 0x01, 0x00, 0x00}; // then the name and a 00 byte
constexpr uint8_t kStatusQuery[] = {0xF4, 0xFA, 0x00};
constexpr uint8_t kPrepareList[] = {0x14, 0xD0, 0x00, 0x00, 0x04};
constexpr uint8_t kStartList[] = {0xF3, 0x21, 0x00, 0x03, 0x01, 0x00};
constexpr uint8_t kPollList[] = {0xF4, 0x21, 0x00};
constexpr uint8_t kRequestInformation1 = 0xF3, kPollInformation1 = 0xF4, kInformation2 = 0x22;

// True when frame[0, length) is the reply to command: its command bytes are P + 1 and Q for P Q.
bool isReplyTo(const uint8_t *frame, int length, std::span<const uint8_t> command) {
    return length > int(kReplyCommand2) && frame[kReplyCommand1] == uint8_t(command[0] + 1) &&
           frame[kReplyCommand2] == command[1];
}

// True when it is the reply to command and its byte at busyOffset is 0 (ready).
bool isReadyReplyTo(const uint8_t *frame, int length, std::span<const uint8_t> command, size_t busyOffset) {
    return isReplyTo(frame, length, command) && length > int(busyOffset) && frame[busyOffset] == 0;
}

// True when it is the reply to command and says that the recorder did what was asked.
bool isDoneReplyTo(const uint8_t *frame, int length, std::span<const uint8_t> command) {
    return isReplyTo(frame, length, command) && length > int(kReplyStatus) && frame[kReplyStatus] == 0;
}

// The path the status reply reports: the seven volume bytes, "/", then the folder text up to its 00.
QString statusPath(const uint8_t *frame, int length) {
    ByteReader reader(frame, size_t(std::max(length, 0)));
    QString path;
    uint8_t byte = 0;
    if (reader.seek(kStatusVolume))
        for (size_t i = 0; i < kStatusVolumeLength && reader.readU8(byte); ++i)
            path += QChar(byte);
    path += QLatin1Char('/');
    if (reader.seek(kStatusFolder))
        while (reader.readU8(byte) && byte != 0)
            path += QChar(byte);
    return path;
}

} // namespace

QIROSRTransferDevice::QIROSRTransferDevice() {
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        ports.push_back(info.portName());
}

QIROSRTransferDevice::~QIROSRTransferDevice() = default;

bool QIROSRTransferDevice::open(int) {
    port = std::make_unique<CWyrnSerialPort>(0, 0);
    if (!port->open(QIODevice::ReadWrite)) {
        port.reset();
        return false;
    }
    sleep(kReplyWaitMs);
    return true;
}

void QIROSRTransferDevice::close() {
    if (!port)
        return;
    port->close();
    port.reset();
}

int QIROSRTransferDevice::transact(uint8_t *buffer, int &length) {
    // What is left of an earlier, late reply would be read as part of this one: drop it. A few ring-fulls
    // at most, so a line that never stops sending cannot hold the caller here.
    if (port) {
        constexpr int kStaleReadPasses = 4;
        char stale[kMaxReadLength];
        for (int pass = 0; pass < kStaleReadPasses && port->bytesAvailable() > 0; ++pass)
            if (port->read(stale, sizeof stale) == 0)
                break;
    }
    sendFrame(buffer, length);
    sleep(kReplyWaitMs);
    if (receiveFrame(buffer, length) == 1)
        return 1;
    length = 0;
    std::memset(buffer, 0xFF, kFilledOnFailure);
    return 0;
}

int QIROSRTransferDevice::sendFrame(const uint8_t *buffer, int length) {
    if (!port || length < 2 || length > kMaxCommandLength)
        return 0;
    uint8_t frame[kFrameBufferSize];
    frame[0] = kFrameStart;
    frame[1] = uint8_t(length - 2);
    std::memcpy(frame + 2, buffer, size_t(length));
    frame[length + 2] = checksum(frame, size_t(length) + 2);
    const uint64_t size = uint64_t(length) + kFrameFraming;
    return port->write(reinterpret_cast<const char *>(frame), size) == size ? 1 : 0;
}

int QIROSRTransferDevice::receiveFrame(uint8_t *buffer, int &length) {
    if (!port)
        return 0;
    uint8_t bytes[kMaxReadLength];
    const size_t wanted = size_t(std::min<uint64_t>(port->bytesAvailable(), kMaxReadLength));
    const size_t count = size_t(port->read(reinterpret_cast<char *>(bytes), wanted));
    if (count >= 2 && bytes[0] == kAcknowledge1 && bytes[1] == kAcknowledge2)
        return 1;
    if (count < kFrameHead + 1 || bytes[0] != kFrameStart)
        return 0;
    const size_t dataLength = bytes[1];
    if (count != dataLength + kFrameHead + 1 || checksum(bytes, count - 1) != bytes[count - 1])
        return 0;
    length = int(count - 1);
    std::memcpy(buffer, bytes, count - 1);
    return 1;
}

void QIROSRTransferDevice::sleep(int milliseconds) {
    QThread::msleep(ulong(std::max(milliseconds, 0)));
}

int QIROSRTransferDevice::request(uint8_t *buffer, int &length, std::span<const uint8_t> command) {
    std::copy(command.begin(), command.end(), buffer);
    length = int(command.size());
    return transact(buffer, length);
}

int QIROSRTransferDevice::stopPlayback() {
    uint8_t buffer[kFrameBufferSize];
    int length = 0;
    return request(buffer, length, kStopPlayback);
}

int QIROSRTransferDevice::startPlayback() {
    uint8_t buffer[kFrameBufferSize];
    int length = 0;
    request(buffer, length, kStartPlayback);
    return isDoneReplyTo(buffer, length, kStartPlayback) ? 1 : 0;
}

int QIROSRTransferDevice::selectFile(std::string name) {
    uint8_t buffer[kFrameBufferSize];
    int length = 0;
    const size_t nameLength = std::min({name.find('\0'), name.size(), kMaxSelectNameLength});
    std::memcpy(buffer, kSelectHead, sizeof kSelectHead);
    std::memcpy(buffer + sizeof kSelectHead, name.data(), nameLength);
    buffer[sizeof kSelectHead + nameLength] = 0x00;
    length = int(sizeof kSelectHead + nameLength + 1);
    transact(buffer, length);
    return isDoneReplyTo(buffer, length, kSelectHead) ? 1 : 0;
}

SRFileList QIROSRTransferDevice::readFileList() {
    close();
    open(0);
    fileList.files.clear();
    fileList.complete = false;
    fileList.announced = -1;

    uint8_t b[kFrameBufferSize];
    int length = 0;
    request(b, length, kStatusQuery);
    if (!isReplyTo(b, length, kStatusQuery))
        return fileList;
    const QString path = statusPath(b, length);

    request(b, length, kPrepareList);
    if (!isReplyTo(b, length, kPrepareList))
        return fileList;
    sleep(kListStepMs);
    request(b, length, kStartList);
    sleep(kListStepMs);

    bool listed = false;
    for (int poll = 0; poll < kMaxListPolls && !listed; ++poll) {
        request(b, length, kPollList);
        listed = isReadyReplyTo(b, length, kPollList, kListBusy);
        if (!listed)
            sleep(kListStepMs);
    }
    if (!listed)
        return fileList;
    ByteReader countReader(b, size_t(length));
    uint16_t count = 0;
    if (!countReader.seek(kListCount) || !countReader.readU16LE(count))
        return fileList;
    fileList.announced = count;
    sleep(kListStepMs);

    for (uint32_t index = 0; index < count; ++index) {
        const uint8_t low = uint8_t(index & 0xFF), high = uint8_t(index >> 8);
        const uint8_t requestInformation[] = {kRequestInformation1, kInformation2, 0x00, low, high};
        const uint8_t pollInformation[] = {kPollInformation1, kInformation2, 0x00, low, high};
        request(b, length, requestInformation);
        bool ready = false;
        for (int poll = 0; poll < kMaxInformationPolls && !ready; ++poll) {
            request(b, length, pollInformation);
            ready = isReadyReplyTo(b, length, pollInformation, kInformationBusy);
        }
        if (!ready)
            return fileList;
        addFileInfo(b, length, path);
    }
    fileList.complete = true;
    return fileList;
}

bool QIROSRTransferDevice::addFileInfo(const uint8_t *reply, int length, const QString &path) {
    if (reply == nullptr || length < 0)
        return false;
    std::optional<SRFileInfo> info = decodeFileInfo(reply, size_t(length), path);
    if (!info)
        return false;
    fileList.files.push_back(std::move(*info));
    return true;
}

QStringList QIROSRTransferDevice::portNames() const {
    return ports;
}
