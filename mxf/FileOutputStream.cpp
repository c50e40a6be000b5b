#include "mxf/FileOutputStream.h"

#include "threads/ThreadName.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>

namespace {

// Large writes: a direct write of this size keeps the disk busy while the next buffer fills.
constexpr size_t kStagingBytes = size_t(8) << 20;

void closeDescriptor(int &descriptor, int &failure) {
    if (descriptor < 0)
        return;
    if (::close(descriptor) != 0 && failure == 0)
        failure = errno;
    descriptor = -1;
}

} // namespace

FileOutputBuffer::FileOutputBuffer(int buffered, int direct, DirectWrite directWrite)
    : bufferedDescriptor(buffered), directDescriptor(buffered < 0 ? -1 : direct), directWrite(directWrite),
      directPath(directDescriptor >= 0) {
    if (buffered < 0 && direct >= 0)
        ::close(direct);
    if (directDescriptor >= 0)
        alignment = directIoAlignment(directDescriptor, kStagingBytes);
    for (AlignedBuffer &buffer : staging)
        buffer = allocateAligned(alignment, kStagingBytes);
    if (!staging[0] || !staging[1]) {
        fail(ENOMEM);
        return;
    }
    setp(staging[0].get(), staging[0].get() + kStagingBytes);
    if (buffered < 0) {
        fail(EBADF);
        return;
    }
    writer = std::jthread([this](std::stop_token stop) { run(stop); });
}

FileOutputBuffer::~FileOutputBuffer() {
    close();
}

// The stream's thread: takes one job at a time and reports how it went.
void FileOutputBuffer::run(std::stop_token stop) {
    const ThreadName name(kThreadName);
    std::unique_lock held(lock);
    for (;;) {
        if (!changed.wait(held, stop, [this] { return jobWaiting; }))
            return;
        const Job job = pending;
        jobWaiting = false;
        held.unlock();
        const int result = perform(job);
        held.lock();
        outcome = result;
        inFlight = false;
        changed.notify_all();
    }
}

int FileOutputBuffer::perform(const Job &job) {
    const char *bytes = job.bytes;
    size_t count = job.count;
    off_t offset = job.offset;
    while (count > 0) {
        const ssize_t written = job.direct ? directWrite(directDescriptor, bytes, count, offset)
                                           : ::pwrite(bufferedDescriptor, bytes, count, offset);
        if (written < 0 && errno == EINTR)
            continue;
        if (job.direct && ((written < 0 && errno == EINVAL) || written == 0 ||
                           (written > 0 && size_t(written) % alignment != 0))) {
            // The file system will not take this write past the cache (alignment it did not tell, a
            // file system that only says so on the first write): written again buffered by the caller.
            const std::string why = written < 0 ? std::strerror(EINVAL) : "a short write";
            const std::lock_guard held(lock);
            refusal = why;
            return kRefused;
        }
        if (written <= 0)
            return written < 0 ? errno : EIO;
        bytes += written;
        count -= size_t(written);
        offset += written;
    }
    if (!job.direct) {
        // Behind the writer: this range's write-back starts now; the range before it is waited for and
        // dropped from the page cache, so that the cache holds at most about two buffers of the file.
        ::sync_file_range(bufferedDescriptor, job.offset, off_t(job.count), SYNC_FILE_RANGE_WRITE);
        if (job.offset > syncedUpTo) {
            ::sync_file_range(bufferedDescriptor, syncedUpTo, job.offset - syncedUpTo,
                              SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE |
                                  SYNC_FILE_RANGE_WAIT_AFTER);
            ::posix_fadvise(bufferedDescriptor, syncedUpTo, job.offset - syncedUpTo, POSIX_FADV_DONTNEED);
            syncedUpTo = job.offset;
        }
    }
    return 0;
}

void FileOutputBuffer::submit(const Job &job) {
    const std::lock_guard held(lock);
    pending = job;
    lastJob = job;
    jobWaiting = true;
    inFlight = true;
    changed.notify_all();
}

// Waits for the write in flight. A direct write that was refused is written again buffered, and the
// stream stays buffered; any other failure is the stream's. False when the stream has failed.
bool FileOutputBuffer::awaitWrite() {
    int result = 0;
    std::string why;
    {
        std::unique_lock held(lock);
        changed.wait(held, [this] { return !inFlight; });
        result = outcome;
        outcome = 0;
        why = refusal;
    }
    if (result == kRefused) {
        fallbackReason = "the file system refused a direct write at byte " + std::to_string(lastJob.offset) +
                         " (" + why + "); the file is written buffered from there";
        closeDescriptor(directDescriptor, failure);
        directPath = false;
        return writeBuffered(lastJob.bytes, lastJob.count, lastJob.offset);
    }
    if (result != 0)
        return fail(result);
    return failure == 0;
}

bool FileOutputBuffer::writeBuffered(const char *bytes, size_t count, off_t offset) {
    if (failure != 0)
        return false;
    while (count > 0) {
        const ssize_t written = ::pwrite(bufferedDescriptor, bytes, count, offset);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return fail(written < 0 ? errno : EIO);
        bytes += written;
        count -= size_t(written);
        offset += written;
    }
    return true;
}

// The full staging buffer goes to the stream's thread once the write before it is done; the other buffer,
// free now, takes the bytes that follow.
bool FileOutputBuffer::handOnStaging() {
    if (!awaitWrite())
        return false;
    submit({staging[filling].get(), stagedBytes, off_t(stagedStart), directDescriptor >= 0});
    filling ^= 1;
    stagedStart += std::streamoff(stagedBytes);
    stagedBytes = 0;
    setp(staging[filling].get(), staging[filling].get() + kStagingBytes);
    return true;
}

// Takes the put position into account as bytes written to the staging buffer.
void FileOutputBuffer::settle() {
    if (failure == 0 && pbase() != nullptr)
        stagedBytes = std::max(stagedBytes, size_t(pptr() - pbase()));
}

std::streamoff FileOutputBuffer::current() const {
    return pbase() != nullptr ? stagedStart + (pptr() - pbase()) : rewriteAt;
}

// Puts the put position at `position` (at most the end): in the staging buffer, or before it, where
// bytes are rewritten through the buffered descriptor.
void FileOutputBuffer::place(std::streamoff position) {
    if (position >= stagedStart) {
        setp(staging[filling].get(), staging[filling].get() + kStagingBytes);
        pbump(int(position - stagedStart));
    } else {
        setp(nullptr, nullptr);
        rewriteAt = position;
    }
}

bool FileOutputBuffer::close() {
    if (bufferedDescriptor < 0)
        return failure == 0;
    settle();
    if (awaitWrite()) {
        // The tail: its aligned part direct, the rest (or all of it, buffered) through the buffered
        // descriptor once that direct write has returned.
        const char *tail = staging[filling].get();
        const size_t aligned = directDescriptor >= 0 ? stagedBytes / alignment * alignment : 0;
        if (aligned > 0)
            submit({tail, aligned, off_t(stagedStart), true});
        if (awaitWrite() &&
            writeBuffered(tail + aligned, stagedBytes - aligned, off_t(stagedStart) + off_t(aligned))) {
            // A descriptor that cannot be synced (a device such as /dev/full) has nothing to sync.
            if (::fdatasync(bufferedDescriptor) != 0 && errno != EINVAL && errno != EROFS)
                fail(errno);
            ::posix_fadvise(bufferedDescriptor, 0, 0, POSIX_FADV_DONTNEED);
        }
    }
    if (writer.joinable()) {
        writer.request_stop();
        writer.join();
    }
    closeDescriptor(directDescriptor, failure);
    closeDescriptor(bufferedDescriptor, failure);
    setp(nullptr, nullptr);
    return failure == 0;
}

bool FileOutputBuffer::fail(int cause) {
    if (failure == 0)
        failure = cause;
    // Nothing more is taken: every later put goes to overflow, which refuses it.
    setp(nullptr, nullptr);
    return false;
}

FileOutputBuffer::int_type FileOutputBuffer::overflow(int_type ch) {
    if (failure != 0)
        return traits_type::eof();
    if (traits_type::eq_int_type(ch, traits_type::eof()))
        return traits_type::not_eof(ch);
    const char byte = traits_type::to_char_type(ch);
    return xsputn(&byte, 1) == 1 ? ch : traits_type::eof();
}

std::streamsize FileOutputBuffer::xsputn(const char *bytes, std::streamsize count) {
    if (bufferedDescriptor < 0) {
        fail(EBADF);
        return 0;
    }
    size_t done = 0;
    const auto size = size_t(count);
    while (done < size && failure == 0) {
        if (pbase() == nullptr) {
            // Before the staging buffer: rewritten through the buffered descriptor, never while a direct
            // write is in flight.
            const size_t part = std::min(size - done, size_t(stagedStart - rewriteAt));
            if (!awaitWrite() || !writeBuffered(bytes + done, part, off_t(rewriteAt)))
                break;
            done += part;
            place(rewriteAt + std::streamoff(part));
            continue;
        }
        const size_t room = size_t(epptr() - pptr());
        if (room == 0) {
            settle();
            if (!handOnStaging())
                break;
            continue;
        }
        const size_t part = std::min(room, size - done);
        std::memcpy(pptr(), bytes + done, part);
        pbump(int(part));
        done += part;
    }
    return std::streamsize(done);
}

// Reports the outcome of the write in flight; what is staged is written by close().
int FileOutputBuffer::sync() {
    return failure == 0 && awaitWrite() ? 0 : -1;
}

FileOutputBuffer::pos_type FileOutputBuffer::seekoff(off_type offset, std::ios_base::seekdir direction,
                                                     std::ios_base::openmode which) {
    const pos_type refused(off_type(-1));
    if (!(which & std::ios_base::out) || failure != 0)
        return refused;
    settle();
    const off_type end = stagedStart + off_type(stagedBytes);
    const off_type target = direction == std::ios_base::cur   ? current() + offset
                            : direction == std::ios_base::end ? end + offset
                                                              : offset;
    if (target < 0 || target > end)
        return refused;
    place(target);
    return pos_type(target);
}

FileOutputBuffer::pos_type FileOutputBuffer::seekpos(pos_type position, std::ios_base::openmode which) {
    return seekoff(off_type(position), std::ios_base::beg, which);
}

FileOutputStream::FileOutputStream(int buffered, int direct, FileOutputBuffer::DirectWrite directWrite)
    : std::ostream(nullptr), device(buffered, direct, directWrite) {
    rdbuf(&device);
    if (device.error() != 0)
        setstate(std::ios_base::badbit);
}

bool FileOutputStream::close() {
    if (!device.close())
        setstate(std::ios_base::badbit);
    return device.error() == 0;
}

int openForWriting(const char *path) {
    return ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
}

int openForDirectWriting(const char *path) {
    return ::open(path, O_WRONLY | O_DIRECT | O_CLOEXEC);
}

bool isDiskFull(int cause) {
    return cause == ENOSPC || cause == EDQUOT;
}
