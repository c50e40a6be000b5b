#include "mxf/FileOutputStream.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr size_t kBufferBytes = size_t(1) << 20;

} // namespace

FileOutputBuffer::FileOutputBuffer(int descriptor) : descriptor(descriptor), buffer(kBufferBytes) {
    setp(buffer.data(), buffer.data() + buffer.size());
    if (descriptor < 0)
        fail(EBADF);
}

FileOutputBuffer::~FileOutputBuffer() {
    close();
}

bool FileOutputBuffer::close() {
    if (descriptor < 0)
        return failure == 0;
    drain();
    if (::close(descriptor) != 0)
        fail(errno);
    descriptor = -1;
    return failure == 0;
}

bool FileOutputBuffer::fail(int cause) {
    if (failure == 0)
        failure = cause;
    // Nothing more is taken: every later put goes to overflow, which refuses it.
    setp(nullptr, nullptr);
    return false;
}

bool FileOutputBuffer::writeAll(const char *bytes, size_t count) {
    if (failure != 0)
        return false;
    while (count > 0) {
        const ssize_t written = ::write(descriptor, bytes, count);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return fail(written < 0 ? errno : EIO);
        bytes += written;
        count -= size_t(written);
        bufferStart += written;
    }
    return true;
}

bool FileOutputBuffer::drain() {
    if (failure != 0)
        return false;
    const bool written = writeAll(pbase(), size_t(pptr() - pbase()));
    if (written)
        setp(buffer.data(), buffer.data() + buffer.size());
    return written;
}

FileOutputBuffer::int_type FileOutputBuffer::overflow(int_type ch) {
    if (!drain())
        return traits_type::eof();
    if (traits_type::eq_int_type(ch, traits_type::eof()))
        return traits_type::not_eof(ch);
    *pptr() = traits_type::to_char_type(ch);
    pbump(1);
    return ch;
}

std::streamsize FileOutputBuffer::xsputn(const char *bytes, std::streamsize count) {
    if (failure != 0)
        return 0;
    const auto size = size_t(count);
    if (size <= size_t(epptr() - pptr())) {
        std::copy_n(bytes, size, pptr());
        pbump(int(count));
        return count;
    }
    // Larger than the room left: what is held goes first, then the bytes themselves or into the buffer.
    if (!drain())
        return 0;
    if (size >= buffer.size())
        return writeAll(bytes, size) ? count : 0;
    std::copy_n(bytes, size, pptr());
    pbump(int(count));
    return count;
}

int FileOutputBuffer::sync() {
    return drain() ? 0 : -1;
}

FileOutputBuffer::pos_type FileOutputBuffer::seekoff(off_type offset, std::ios_base::seekdir direction,
                                                     std::ios_base::openmode which) {
    const pos_type refused(off_type(-1));
    if (!(which & std::ios_base::out) || failure != 0)
        return refused;
    if (direction == std::ios_base::cur && offset == 0)
        return pos_type(bufferStart + (pptr() - pbase()));
    const off_type current = bufferStart + (pptr() - pbase());
    if (!drain())
        return refused;
    const int whence = direction == std::ios_base::end ? SEEK_END : SEEK_SET;
    const off_type target = direction == std::ios_base::cur ? current + offset : offset;
    const off_t reached = ::lseek(descriptor, off_t(target), whence);
    if (reached < 0) {
        fail(errno);
        return refused;
    }
    bufferStart = off_type(reached);
    return pos_type(bufferStart);
}

FileOutputBuffer::pos_type FileOutputBuffer::seekpos(pos_type position, std::ios_base::openmode which) {
    return seekoff(off_type(position), std::ios_base::beg, which);
}

FileOutputStream::FileOutputStream(int descriptor) : std::ostream(nullptr), device(descriptor) {
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

bool isDiskFull(int cause) {
    return cause == ENOSPC || cause == EDQUOT;
}
