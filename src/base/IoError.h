#pragma once
#include <stdexcept>
#include <string>

namespace sv {

// A file input/output failure; carries the platform's message. Ends the current command.
class IoError : public std::runtime_error {
  public:
    explicit IoError(const std::string& message, int code = 0)
        : std::runtime_error(message), code_(code) {}
    int Code() const { return code_; }  // the errno value, 0 when not from the platform

  private:
    int code_;
};

// Throws IoError with "<what>: <strerror(errno)>" for the current errno.
[[noreturn]] void ThrowIoError(const std::string& what);
[[noreturn]] void ThrowIoError(const std::string& what, int errorNumber);

// True for the failures the "insufficient disk space or write protected medium" message
// describes: a full disk or quota, a file too large for it, a read-only medium.
bool IsFullOrProtectedMedium(int errorNumber);

}  // namespace sv
