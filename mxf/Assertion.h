#pragma once

// The exception of the MXF side: every broken precondition of the writer, the source, the metadata and the
// output stream throws util::assertion_failure, whose message names the check that failed.

#include <exception>
#include <string>

namespace util {

class assertion_failure : public std::exception {
public:
    // message() is "assertion failure: " followed by the text of the failed check.
    explicit assertion_failure(const std::string &condition) : message_("assertion failure: " + condition) {}
    const char *what() const noexcept override { return message_.c_str(); }

private:
    std::string message_;
};

// Throws assertion_failure with the condition's text when condition is false.
inline void require(bool condition, const char *text) {
    if (!condition)
        throw assertion_failure(text);
}

} // namespace util
