#include "audio/Mp3Stream.h"

#include <mpg123.h>

namespace sv {

Mp3Stream::Mp3Stream(int fd, bool notes) : fd_(fd), notes_(notes) {}

Mp3Stream::~Mp3Stream() {
    if (!handle_) return;
    mpg123_close(handle_);
    mpg123_delete(handle_);
}

void Mp3Stream::Fail() {
    error_ = mpg123_plain_strerror(mpg123_errcode(handle_));
    while (!error_.empty() && error_.back() == '.') error_.pop_back();
}

bool Mp3Stream::Open() {
    int code = MPG123_OK;
    handle_ = mpg123_new(nullptr, &code);
    if (!handle_) {
        error_ = mpg123_plain_strerror(code);
        return false;
    }
    // Floats at the stream's own rate; gapless, so the encoder's padding is not taken as sound.
    mpg123_param(handle_, MPG123_REMOVE_FLAGS, MPG123_AUTO_RESAMPLE, 0.0);
    mpg123_param(handle_, MPG123_ADD_FLAGS,
                 MPG123_FORCE_FLOAT | MPG123_GAPLESS | (notes_ ? 0 : MPG123_QUIET), 0.0);
    mpg123_format_none(handle_);
    const long* rates = nullptr;
    std::size_t count = 0;
    mpg123_rates(&rates, &count);
    for (std::size_t i = 0; i < count; ++i)
        mpg123_format(handle_, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_FLOAT_32);
    long rate = 0;
    int encoding = 0;
    if (mpg123_open_fd(handle_, fd_) != MPG123_OK ||
        mpg123_getformat(handle_, &rate, &channels_, &encoding) != MPG123_OK) {
        Fail();
        return false;
    }
    rate_ = static_cast<int>(rate);
    return true;
}

std::int64_t Mp3Stream::Read(float* samples, std::int64_t frames) {
    auto* bytes = reinterpret_cast<unsigned char*>(samples);
    const std::size_t frameBytes = sizeof(float) * static_cast<std::size_t>(channels_);
    const std::size_t want = frameBytes * static_cast<std::size_t>(frames);
    std::size_t got = 0;
    int idle = 0;  // calls that gave nothing: a decoder that stalls ends the stream
    while (got < want && error_.empty() && idle < 64) {
        std::size_t done = 0;
        const int code = mpg123_read(handle_, bytes + got, want - got, &done);
        got += done;
        idle = done == 0 ? idle + 1 : 0;
        if (code == MPG123_DONE) break;
        if (code == MPG123_NEW_FORMAT) {
            long rate = 0;
            int channels = 0, encoding = 0;
            mpg123_getformat(handle_, &rate, &channels, &encoding);
            if (rate != rate_ || channels != channels_) error_ = "the stream changes its format";
        } else if (code != MPG123_OK) {
            Fail();
        }
    }
    return static_cast<std::int64_t>(got / frameBytes);
}

}  // namespace sv
