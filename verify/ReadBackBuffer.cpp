#include "verify/ReadBackBuffer.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Large reads: the disk streams them at its full rate.
constexpr size_t kWindowBytes = size_t(8) << 20;

} // namespace

ReadBackBuffer::ReadBackBuffer(const QString &path, bool direct) {
    const QByteArray name = QFile::encodeName(path);
    if (direct)
        descriptor = ::open(name.constData(), O_RDONLY | O_DIRECT | O_CLOEXEC);
    directRead = descriptor >= 0;
    if (!direct || (descriptor < 0 && errno == EINVAL)) {
        descriptor = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
        if (descriptor >= 0)
            readBuffered();
    }
    struct stat about {};
    if (descriptor < 0 || ::fstat(descriptor, &about) != 0) {
        failure = errno;
        return;
    }
    size = about.st_size;
    // The window is aligned for direct reads even when they are refused later.
    alignment = directIoAlignment(descriptor, kWindowBytes);
    window = allocateAligned(alignment, kWindowBytes);
    if (!window)
        failure = ENOMEM;
    setg(window.get(), window.get(), window.get());
}

// From now on the file is read through the page cache, its pages dropped before and behind.
void ReadBackBuffer::readBuffered() {
    const int flags = ::fcntl(descriptor, F_GETFL);
    if (flags >= 0 && (flags & O_DIRECT) != 0)
        ::fcntl(descriptor, F_SETFL, flags & ~O_DIRECT);
    directRead = false;
    // The windows are large reads of their own: no read-ahead, which would cache pages past each window.
    ::posix_fadvise(descriptor, 0, 0, POSIX_FADV_RANDOM);
    ::posix_fadvise(descriptor, 0, 0, POSIX_FADV_DONTNEED);
}

ReadBackBuffer::~ReadBackBuffer() {
    if (descriptor < 0)
        return;
    if (!directRead)
        ::posix_fadvise(descriptor, 0, 0, POSIX_FADV_DONTNEED);
    ::close(descriptor);
}

void ReadBackBuffer::addDigest(WholeFileDigest &digest) {
    digests.push_back(&digest);
}

// Reads the window that holds `position` (from the aligned offset at or before it) and puts the get
// position there. False at the end of the file or on a failure.
bool ReadBackBuffer::load(off_type position) {
    if (failure != 0 || position >= size)
        return false;
    const off_type start = position / off_type(alignment) * off_type(alignment);
    const size_t wanted = std::min<size_t>(kWindowBytes, size_t(size - start));
    size_t filled = 0;
    if (!readWindow(start, wanted, filled) && directRead && failure == EINVAL) {
        // The file system took the open but not the read: once more, buffered.
        failure = 0;
        readBuffered();
        filled = 0;
        readWindow(start, wanted, filled);
    }
    if (failure != 0) {
        windowBytes = 0;
        setg(window.get(), window.get(), window.get());
        return false;
    }
    filled = std::min(filled, wanted);
    if (!directRead)
        ::posix_fadvise(descriptor, start, off_type(filled), POSIX_FADV_DONTNEED);
    windowStart = start;
    windowBytes = filled;
    const off_type end = start + off_type(filled);
    if (fed >= start && fed < end) {
        const std::span<const uint8_t> fresh(reinterpret_cast<const uint8_t *>(window.get()) + (fed - start),
                                             size_t(end - fed));
        for (WholeFileDigest *digest : digests)
            digest->update(fresh);
        fed = end;
    }
    setg(window.get(), window.get() + (position - start), window.get() + filled);
    return true;
}

// Reads `wanted` bytes from `start` into the window. False, with the failure kept, when that fails.
bool ReadBackBuffer::readWindow(off_type start, size_t wanted, size_t &filled) {
    // Direct reads take whole aligned blocks: the last one reaches past the end and comes back short.
    const size_t asked = std::min(kWindowBytes, (wanted + alignment - 1) / alignment * alignment);
    while (filled < wanted) {
        const ssize_t read =
            ::pread(descriptor, window.get() + filled, asked - filled, start + off_type(filled));
        if (read < 0 && errno == EINTR)
            continue;
        if (read <= 0) {
            failure = read < 0 ? errno : EIO;
            return false;
        }
        filled += size_t(read);
    }
    return true;
}

bool ReadBackBuffer::finish(std::stop_token stop) {
    while (fed < size) {
        if (stop.stop_requested() || !load(fed))
            return false;
    }
    return failure == 0;
}

ReadBackBuffer::int_type ReadBackBuffer::underflow() {
    if (gptr() < egptr())
        return traits_type::to_int_type(*gptr());
    if (!load(windowStart + (gptr() - eback())))
        return traits_type::eof();
    return traits_type::to_int_type(*gptr());
}

ReadBackBuffer::pos_type ReadBackBuffer::seekoff(off_type offset, std::ios_base::seekdir direction,
                                                 std::ios_base::openmode which) {
    const pos_type refused(off_type(-1));
    if (!(which & std::ios_base::in) || failure != 0)
        return refused;
    const off_type here = windowStart + (gptr() - eback());
    const off_type target = direction == std::ios_base::cur   ? here + offset
                            : direction == std::ios_base::end ? size + offset
                                                              : offset;
    if (target < 0 || target > size)
        return refused;
    if (target >= windowStart && target <= windowStart + off_type(windowBytes)) {
        setg(window.get(), window.get() + (target - windowStart), window.get() + windowBytes);
    } else {
        // Read when asked for: the window starts empty at the target.
        windowStart = target;
        windowBytes = 0;
        setg(window.get(), window.get(), window.get());
    }
    return pos_type(target);
}

ReadBackBuffer::pos_type ReadBackBuffer::seekpos(pos_type position, std::ios_base::openmode which) {
    return seekoff(off_type(position), std::ios_base::beg, which);
}
