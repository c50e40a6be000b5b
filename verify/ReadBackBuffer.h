#pragma once

// The read of a finished file from the disk rather than from the page cache, as a seekable input stream
// buffer (for the MXF reader), that also hands every byte of the file, in file order and once, to the
// whole-file digests given to it.
//
// The file is opened with O_DIRECT and read in large aligned windows (alignment from statx
// STATX_DIOALIGN, else 4096). Where the file system refuses O_DIRECT (at the open, or at the first read),
// or when asked to, it is read buffered: its cached pages are dropped first (POSIX_FADV_DONTNEED) and
// each window's pages again once read, so that neither way leaves the file in the cache.
//
// Digests: the bytes of a window are fed when the window reaches the first byte not yet fed, so a reader
// that goes through the file in order (after a look at its end) feeds them as it goes; finish() reads and
// feeds whatever it skipped, to the end of the file.
//
// Threads: one thread at a time.

#include "mxf/DirectIo.h"
#include "verify/FileDigest.h"

#include <QString>
#include <memory>
#include <stop_token>
#include <streambuf>
#include <vector>

class ReadBackBuffer : public std::streambuf {
public:
    // Opens the file; `direct` false reads it buffered from the start (a file written buffered, whose file
    // system may well refuse direct reads too).
    explicit ReadBackBuffer(const QString &path, bool direct = true);
    ~ReadBackBuffer() override;
    ReadBackBuffer(const ReadBackBuffer &) = delete;
    ReadBackBuffer &operator=(const ReadBackBuffer &) = delete;

    // Whether the file was opened; errno of the failure (open or read), 0 while nothing failed.
    bool isOpen() const { return descriptor >= 0; }
    int error() const { return failure; }
    // Whether reads go past the page cache (O_DIRECT).
    bool direct() const { return directRead; }
    // Feeds `digest` with every byte of the file, from its first, from the next read on (call before
    // reading). The digest must outlive the buffer's reads.
    void addDigest(WholeFileDigest &digest);
    // Reads what the digests have not been fed, to the end of the file. False on a read failure or a stop.
    bool finish(std::stop_token stop);

protected:
    int_type underflow() override;
    pos_type seekoff(off_type offset, std::ios_base::seekdir direction,
                     std::ios_base::openmode which) override;
    pos_type seekpos(pos_type position, std::ios_base::openmode which) override;

private:
    bool load(off_type position);
    bool readWindow(off_type start, size_t wanted, size_t &filled);
    void readBuffered();

    int descriptor = -1;
    bool directRead = false;
    int failure = 0;
    off_type size = 0;
    size_t alignment = 4096;
    AlignedBuffer window;
    off_type windowStart = 0; // the file offset of the window's first byte
    size_t windowBytes = 0;   // bytes of the file in the window
    std::vector<WholeFileDigest *> digests;
    off_type fed = 0; // bytes of the file the digests have been given
};
