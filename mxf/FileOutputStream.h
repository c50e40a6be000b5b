#pragma once

// The stream an MXF file is written through: a std::ostream over a file descriptor, buffered, seekable (the
// writer goes back to fill in partition offsets), that keeps the cause of the first write, seek or close
// that failed (errno), so that a full disk can be told from other failures. After a failure the stream is
// bad and takes no more bytes.
//
// Threads: one thread at a time.

#include <ostream>
#include <streambuf>
#include <vector>

class FileOutputBuffer : public std::streambuf {
public:
    // Takes the descriptor (open for writing, positioned at 0); -1 makes a buffer that fails with EBADF.
    explicit FileOutputBuffer(int descriptor);
    // Closes the file, writing what is held; a failure then goes unreported (call close() to know).
    ~FileOutputBuffer() override;
    FileOutputBuffer(const FileOutputBuffer &) = delete;
    FileOutputBuffer &operator=(const FileOutputBuffer &) = delete;

    // Writes what is held and closes the file. False when that or anything earlier failed.
    bool close();
    // errno of the first failure; 0 while nothing failed.
    int error() const { return failure; }

protected:
    int_type overflow(int_type ch) override;
    std::streamsize xsputn(const char *bytes, std::streamsize count) override;
    int sync() override;
    pos_type seekoff(off_type offset, std::ios_base::seekdir direction,
                     std::ios_base::openmode which) override;
    pos_type seekpos(pos_type position, std::ios_base::openmode which) override;

private:
    bool drain();
    bool writeAll(const char *bytes, size_t count);
    bool fail(int cause);

    int descriptor;
    std::vector<char> buffer;
    std::streamoff bufferStart = 0; // the file offset of the buffer's first byte
    int failure = 0;
};

class FileOutputStream : public std::ostream {
public:
    // As FileOutputBuffer; a descriptor of -1 gives a stream that is bad from the start.
    explicit FileOutputStream(int descriptor);

    // Writes what is held and closes the file; false (and the stream bad) when that or anything earlier
    // failed.
    bool close();
    int error() const { return device.error(); }

private:
    FileOutputBuffer device;
};

// Opens (creating or truncating) a file for FileOutputStream: the descriptor, or -1 with errno set.
int openForWriting(const char *path);

// Whether errno `cause` means the disk (or the user's quota on it) is full.
bool isDiskFull(int cause);
