#pragma once

// The stream an MXF file is written through: a std::ostream over the file, seekable backwards (the writer
// goes back to fill in partition offsets), that keeps the cause of the first write, seek or close that
// failed (errno), so that a full disk can be told from other failures. After a failure the stream is bad
// and takes no more bytes.
//
// Two ways to the disk:
// - direct: given a second descriptor opened with O_DIRECT (openForDirectWriting), the bytes written in
//   order are gathered in aligned staging buffers (alignment from statx STATX_DIOALIGN, else 4096) and
//   written past the page cache in large writes, one at a time on a thread of the stream's own, while the
//   next buffer fills. Bytes rewritten behind those writes (header and partition fields) and the unaligned
//   tail go through the buffered descriptor, never while a direct write is in flight; close() then syncs
//   the file (fdatasync) and drops its pages from the cache. A direct write the file system refuses
//   (EINVAL, or a short write) is written again buffered, and the stream stays buffered from then on:
//   fallback() says why. Any other failure of a direct write is the stream's failure, with its errno.
// - buffered: without a direct descriptor, or after that fallback, the same staging buffers are written
//   through the buffered descriptor, each range synced (sync_file_range) and dropped from the page cache
//   (POSIX_FADV_DONTNEED) once the next one is written, so that the cache does not fill behind the writer.
//
// A buffer is neither filled nor freed while a write from it is in flight.
//
// Seeks: anywhere from 0 to the end of what was written; never past the end. flush() waits for the write
// in flight and reports its failure; bytes still staged are written by close(), which reports theirs.
//
// Threads: one thread at a time calls the stream.

#include "mxf/DirectIo.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <ostream>
#include <streambuf>
#include <string>
#include <thread>
#include <unistd.h>

class FileOutputBuffer : public std::streambuf {
public:
    // The name of the stream's thread (see threads/ThreadName.h), whose CPU time is tallied under it.
    static constexpr char kThreadName[] = "vtrl-file-io";

    // How a direct write reaches the file: pwrite(2), or a stand-in of the same contract (tests).
    using DirectWrite = ssize_t (*)(int descriptor, const void *bytes, size_t count, off_t offset);

    // Takes the descriptors (open for writing on the same new, empty file); `buffered` of -1 makes a
    // buffer that fails with EBADF, `direct` of -1 writes buffered only.
    FileOutputBuffer(int buffered, int direct, DirectWrite directWrite = ::pwrite);
    // Closes the file, writing what is held; a failure then goes unreported (call close() to know).
    ~FileOutputBuffer() override;
    FileOutputBuffer(const FileOutputBuffer &) = delete;
    FileOutputBuffer &operator=(const FileOutputBuffer &) = delete;

    // Writes what is held, syncs the file to disk, drops its pages and closes it. False when that or
    // anything earlier failed.
    bool close();
    // errno of the first failure; 0 while nothing failed.
    int error() const { return failure; }
    // Whether the bulk of the file goes (went) past the page cache.
    bool direct() const { return directPath; }
    // Why the stream left the direct path for the buffered one; empty when it did not.
    const std::string &fallback() const { return fallbackReason; }

protected:
    int_type overflow(int_type ch) override;
    std::streamsize xsputn(const char *bytes, std::streamsize count) override;
    int sync() override;
    pos_type seekoff(off_type offset, std::ios_base::seekdir direction,
                     std::ios_base::openmode which) override;
    pos_type seekpos(pos_type position, std::ios_base::openmode which) override;

private:
    // One write handed to the stream's thread.
    struct Job {
        const char *bytes = nullptr;
        size_t count = 0;
        off_t offset = 0;
        bool direct = false;
    };
    // What a finished job left: 0, the errno of its failure, or kRefused.
    static constexpr int kRefused = -1;

    void run(std::stop_token stop);
    int perform(const Job &job);
    void submit(const Job &job);
    bool awaitWrite();
    bool writeBuffered(const char *bytes, size_t count, off_t offset);
    bool handOnStaging();
    void settle();
    void place(std::streamoff position);
    std::streamoff current() const;
    bool fail(int cause);

    int bufferedDescriptor;
    int directDescriptor;
    DirectWrite directWrite;
    bool directPath;
    size_t alignment = 4096;
    AlignedBuffer staging[2];
    int filling = 0;                // the staging buffer that takes bytes now
    std::streamoff stagedStart = 0; // file offset of its first byte; every byte before it was handed on
    size_t stagedBytes = 0;         // bytes of it written so far (its put position may lie before)
    std::streamoff rewriteAt = 0;   // the put position while it lies before stagedStart
    std::streamoff syncedUpTo = 0;  // buffered path: bytes synced and dropped from the cache
    int failure = 0;
    std::string fallbackReason;

    // The stream's thread and the one write it may have in flight.
    std::mutex lock;
    std::condition_variable_any changed;
    Job pending;
    bool jobWaiting = false;
    bool inFlight = false;
    int outcome = 0;
    Job lastJob;
    std::string refusal; // why the last job was refused
    std::jthread writer;
};

class FileOutputStream : public std::ostream {
public:
    // As FileOutputBuffer; a buffered descriptor of -1 gives a stream that is bad from the start.
    explicit FileOutputStream(int buffered, int direct = -1,
                              FileOutputBuffer::DirectWrite directWrite = ::pwrite);

    // Writes what is held, syncs and closes the file; false (and the stream bad) when that or anything
    // earlier failed.
    bool close();
    int error() const { return device.error(); }
    bool direct() const { return device.direct(); }
    const std::string &fallback() const { return device.fallback(); }

private:
    FileOutputBuffer device;
};

// Opens (creating or truncating) a file for FileOutputStream: the descriptor, or -1 with errno set.
int openForWriting(const char *path);
// Opens the file just created by openForWriting a second time, with O_DIRECT: the descriptor, or -1 with
// errno set when the file system refuses direct I/O (tmpfs, some network mounts).
int openForDirectWriting(const char *path);

// Whether errno `cause` means the disk (or the user's quota on it) is full.
bool isDiskFull(int cause);
