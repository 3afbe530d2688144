#pragma once
// What a save reports: done, or why not.
#include <cerrno>
#include <string>
#include <utility>

namespace sv {

class [[nodiscard]] SaveResult {
  public:
    static SaveResult Done() { return SaveResult(true, {}, 0); }
    // reason names the file and the cause; code is its errno value (ECANCELED for a cancel).
    static SaveResult Failed(std::string reason, int code) {
        return SaveResult(false, std::move(reason), code);
    }

    bool Saved() const { return saved_; }
    bool Cancelled() const { return !saved_ && code_ == ECANCELED; }
    const std::string& Reason() const { return reason_; }
    int Code() const { return code_; }

  private:
    SaveResult(bool saved, std::string reason, int code)
        : saved_(saved), reason_(std::move(reason)), code_(code) {}
    bool saved_;
    std::string reason_;
    int code_;
};

}  // namespace sv
