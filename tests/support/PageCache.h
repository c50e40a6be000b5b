#pragma once

// How much of a file the page cache holds, as mincore(2) tells it of a mapping of the file.

#include <algorithm>
#include <fcntl.h>
#include <string>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace testsupport {

// The share of the file's pages that are resident, from 0 to 1; -1 when it cannot be told.
inline double residentShare(const std::string &path) {
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat about {};
    if (descriptor < 0 || ::fstat(descriptor, &about) != 0 || about.st_size == 0) {
        if (descriptor >= 0)
            ::close(descriptor);
        return -1;
    }
    const size_t size = size_t(about.st_size), page = size_t(::sysconf(_SC_PAGESIZE));
    void *mapped = ::mmap(nullptr, size, PROT_READ, MAP_SHARED, descriptor, 0);
    ::close(descriptor);
    if (mapped == MAP_FAILED)
        return -1;
    std::vector<unsigned char> pages((size + page - 1) / page);
    const bool told = ::mincore(mapped, size, pages.data()) == 0;
    ::munmap(mapped, size);
    const auto resident =
        std::count_if(pages.begin(), pages.end(), [](unsigned char p) { return (p & 1) != 0; });
    return told ? double(resident) / double(pages.size()) : -1;
}

} // namespace testsupport
