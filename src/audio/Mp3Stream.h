#pragma once
// Decodes an MPEG audio stream with libmpg123 to its very end. libsndfile's own MPEG reading
// stops at a length estimated from the bit rate when the stream has no Xing/Info header, and
// lets libmpg123 print its notes on damaged frames to stderr.
#include <cstdint>
#include <string>

struct mpg123_handle_struct;

namespace sv {

class Mp3Stream {
  public:
    // Reads from fd (not taken over) from its start; notes: libmpg123 may print to stderr.
    Mp3Stream(int fd, bool notes);
    ~Mp3Stream();
    Mp3Stream(const Mp3Stream&) = delete;
    Mp3Stream& operator=(const Mp3Stream&) = delete;

    // False when no MPEG audio was found; Error() then says why.
    bool Open();
    int Channels() const { return channels_; }
    int SampleRate() const { return rate_; }
    // Up to frames interleaved frames as floats; 0 at the end of the stream or on an error.
    std::int64_t Read(float* samples, std::int64_t frames);
    // Why decoding stopped early, empty when it did not.
    const std::string& Error() const { return error_; }

  private:
    void Fail();
    mpg123_handle_struct* handle_ = nullptr;
    int fd_;
    bool notes_;
    int channels_ = 0;
    int rate_ = 0;
    std::string error_;
};

}  // namespace sv
