#include "mxf/CopiesOutputStream.h"

#include <algorithm>

CopiesOutputBuffer::CopiesOutputBuffer(std::vector<std::unique_ptr<FileOutputBuffer>> buffers)
    : copies(std::move(buffers)) {}

bool CopiesOutputBuffer::anyLeft() const {
    return std::any_of(copies.begin(), copies.end(), [](const auto &copy) { return copy->error() == 0; });
}

bool CopiesOutputBuffer::close() {
    // Every copy, failed or not, so that each gives back its descriptors and thread.
    for (const auto &copy : copies)
        copy->close();
    return anyLeft();
}

CopiesOutputBuffer::int_type CopiesOutputBuffer::overflow(int_type ch) {
    if (traits_type::eq_int_type(ch, traits_type::eof()))
        return anyLeft() ? traits_type::not_eof(ch) : traits_type::eof();
    const char byte = traits_type::to_char_type(ch);
    return xsputn(&byte, 1) == 1 ? ch : traits_type::eof();
}

// A copy that takes fewer bytes than given has failed (its error() says why) and is passed over from then on.
std::streamsize CopiesOutputBuffer::xsputn(const char *bytes, std::streamsize count) {
    for (const auto &copy : copies)
        if (copy->error() == 0)
            copy->sputn(bytes, count);
    return anyLeft() ? count : 0;
}

int CopiesOutputBuffer::sync() {
    for (const auto &copy : copies)
        if (copy->error() == 0)
            copy->pubsync();
    return anyLeft() ? 0 : -1;
}

CopiesOutputBuffer::pos_type CopiesOutputBuffer::seekoff(off_type offset, std::ios_base::seekdir direction,
                                                         std::ios_base::openmode which) {
    // Every copy took the same bytes, so those left agree on where they stand.
    pos_type position(off_type(-1));
    for (const auto &copy : copies)
        if (copy->error() == 0) {
            const pos_type reached = copy->pubseekoff(offset, direction, which);
            if (copy->error() == 0)
                position = reached;
        }
    return position;
}

CopiesOutputBuffer::pos_type CopiesOutputBuffer::seekpos(pos_type position, std::ios_base::openmode which) {
    return seekoff(off_type(position), std::ios_base::beg, which);
}

CopiesOutputStream::CopiesOutputStream(std::vector<std::unique_ptr<FileOutputBuffer>> copies)
    : std::ostream(nullptr), device(std::move(copies)) {
    rdbuf(&device);
    if (!device.anyLeft())
        setstate(std::ios_base::badbit);
}

bool CopiesOutputStream::close() {
    if (!device.close())
        setstate(std::ios_base::badbit);
    return !bad();
}

int CopiesOutputStream::error() const {
    return device.anyLeft() || device.size() == 0 ? 0 : device.error(0);
}
