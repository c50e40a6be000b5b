#pragma once

// The stream one MXF file is written through to one or more copies at once: every byte, seek and flush goes
// to each copy's FileOutputBuffer (its own descriptors, staging buffers and writing thread), so the copies
// are written side by side from the one pass of the writer and the play-out is needed once. A copy whose
// write, seek or flush fails is set aside with its errno and takes nothing more; the others go on. The
// stream itself fails (bad, and error() set) only once every copy has failed.
//
// Threads: one thread at a time calls the stream; each copy writes on its own thread (see
// FileOutputStream.h).

#include "mxf/FileOutputStream.h"

#include <memory>
#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

class CopiesOutputBuffer : public std::streambuf {
public:
    // At least one copy; each buffer open on its own new, empty file.
    explicit CopiesOutputBuffer(std::vector<std::unique_ptr<FileOutputBuffer>> copies);

    size_t size() const { return copies.size(); }
    // Closes every copy (writes what it holds, syncs and closes the file). False when no copy is left.
    bool close();
    // errno of copy k's first failure; 0 while it is fine.
    int error(size_t k) const { return copies.at(k)->error(); }
    bool direct(size_t k) const { return copies.at(k)->direct(); }
    const std::string &fallback(size_t k) const { return copies.at(k)->fallback(); }
    // Whether some copy still takes bytes.
    bool anyLeft() const;

protected:
    int_type overflow(int_type ch) override;
    std::streamsize xsputn(const char *bytes, std::streamsize count) override;
    int sync() override;
    pos_type seekoff(off_type offset, std::ios_base::seekdir direction,
                     std::ios_base::openmode which) override;
    pos_type seekpos(pos_type position, std::ios_base::openmode which) override;

private:
    std::vector<std::unique_ptr<FileOutputBuffer>> copies;
};

class CopiesOutputStream : public std::ostream {
public:
    explicit CopiesOutputStream(std::vector<std::unique_ptr<FileOutputBuffer>> copies);

    size_t size() const { return device.size(); }
    // Closes every copy; false (and the stream bad) when no copy is left.
    bool close();
    int error(size_t k) const { return device.error(k); }
    bool direct(size_t k) const { return device.direct(k); }
    const std::string &fallback(size_t k) const { return device.fallback(k); }
    // errno of the first copy's failure once every copy failed; 0 while one is left.
    int error() const;

private:
    CopiesOutputBuffer device;
};
