#pragma once

// Control of the SR Module over its serial line, the UART of capture board 0: the play-out commands
// (stop, start, select a file) and the reading of the recorder's file list.
//
// Frames, both directions: 0x30, L, two command bytes, L data bytes, checksum (the low 8 bits of the sum
// of the bytes before it). The reply to P Q carries P + 1 and Q; 10 01 at the start of what was read is an
// acknowledgement. Every exchange sends one command, waits 100 ms and reads the reply once.
//
// Threads: no lock; callers take turns. Failure: false or 0, never an exception. The virtual operations
// keep their order (destructor, open, close, transact, sendFrame, receiveFrame, sleep) so that a test can
// replace the line or the pauses.

#include "card/CWyrnSerialPort.h"
#include "recorder/SRFileList.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

class QIROSRTransferDevice {
public:
    // Bytes of the buffer that transact and receiveFrame fill: the longest frame and some spare.
    static constexpr int kFrameBufferSize = 264;
    // The longest command (command bytes and data) a frame can carry: its length byte holds the command's
    // length minus 2.
    static constexpr int kMaxCommandLength = 257;
    // Bytes of the buffer a failed transact fills with 0xFF.
    static constexpr int kFilledOnFailure = 261;
    // Milliseconds between sending a command and reading its reply.
    static constexpr int kReplyWaitMs = 100;
    // Bounds of the two polling loops of readFileList: about 4 s and 3 s.
    static constexpr int kMaxListPolls = 30;
    static constexpr int kMaxInformationPolls = 30;
    // Bytes of a file name the select command carries.
    static constexpr size_t kMaxSelectNameLength = 64;

    // Lists the workstation's serial ports; the line stays closed.
    QIROSRTransferDevice();
    // Closes the line when still open.
    virtual ~QIROSRTransferDevice();
    QIROSRTransferDevice(const QIROSRTransferDevice &) = delete;
    QIROSRTransferDevice &operator=(const QIROSRTransferDevice &) = delete;

    // Opens the UART of board 0 (portIndex is not used); true after a 100 ms settling pause.
    virtual bool open(int portIndex);
    // Closes and deletes the line; nothing when it is closed.
    virtual void close();
    // Sends the command in buffer[0, length) and reads its reply into buffer. 1 on success: buffer holds
    // the reply frame without its checksum and length its size, or, after an acknowledgement, still the
    // request. 0 on failure: length 0 and the first 261 bytes of buffer 0xFF. buffer holds
    // kFrameBufferSize bytes.
    virtual int transact(uint8_t *buffer, int &length);
    // Frames and writes the command buffer[0, length), its first two bytes being the command bytes.
    // 1 on success; 0 when the line is closed, length is below 2 or above kMaxCommandLength, or the
    // write fails.
    virtual int sendFrame(const uint8_t *buffer, int length);
    // Reads, once, what the line has received (at most 256 bytes). 1 for an acknowledgement (buffer and
    // length untouched) or for exactly one frame with a right checksum (copied without its checksum,
    // length set); 0 otherwise. Never copies more than was read.
    virtual int receiveFrame(uint8_t *buffer, int &length);
    // Pauses the calling thread.
    virtual void sleep(int milliseconds);

    // Stops the play-out; the reply is not examined. Returns what transact returned.
    int stopPlayback();
    // Starts the play-out of the selected file. 1 only when the recorder replied that it plays (FA FA with
    // a first data byte of 0); 0 for any other reply, an acknowledgement or none.
    int startPlayback();
    // Selects the file to play out: the name up to its first NUL, at most 64 bytes, then a 00 byte. 1 only
    // when the recorder replied that it selected a file of that name (17 00 with a first data byte of 0);
    // 0 otherwise. A recorder selects by name alone: of two files of one name it may take either.
    int selectFile(std::string name);

    // Reads the recorder's file list, reopening the line first; the line stays open. A recorder that
    // does not answer the first exchanges gives no files; one that stops answering, or whose list or
    // file information stays busy past the polling bounds, gives the files read so far. Either way the list
    // is marked not complete.
    SRFileList readFileList();
    // Decodes the file-information reply reply[0, length) and appends its record; false (nothing added)
    // for a reply too short to hold byte 205.
    bool addFileInfo(const uint8_t *reply, int length, const QString &path);

    // Names of the workstation's serial ports, as listed at construction.
    QStringList portNames() const;

private:
    // Copies command into buffer and transacts it.
    int request(uint8_t *buffer, int &length, std::span<const uint8_t> command);

    SRFileList fileList;
    QStringList ports;
    std::unique_ptr<CWyrnSerialPort> port;
};
