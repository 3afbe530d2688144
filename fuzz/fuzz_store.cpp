// Random sequences of reads, writes, additions, length changes and block deletes on a document's
// sample store, checked value for value against a plain array. Indices span several windows, so
// forward steps, backward steps and jumps of the window all occur, with and without unsaved
// changes in it.
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "audio/FileMemory.h"
#include "audio/Wave.h"

namespace {

namespace fs = std::filesystem;
using sv::FileMemory;

constexpr std::int64_t Window = FileMemory::WindowValues;
// Largest store: two and a half windows, enough for every kind of window move.
constexpr std::int64_t MaxValues = 2 * Window + Window / 2;
constexpr std::int64_t MaxBlock = 20000;

const fs::path& Folder() {
    static const fs::path folder = [] {
        auto p = fs::temp_directory_path() / ("sonivar-fuzz-store-" + std::to_string(::getpid()));
        fs::create_directories(p);
        return p;
    }();
    return folder;
}

[[noreturn]] void Fail(const char* what, std::int64_t index) {
    std::fprintf(stderr, "fuzz_store: %s at index %lld\n", what, static_cast<long long>(index));
    std::abort();
}

// Reads the fuzzer's bytes as numbers; past the end everything is 0.
class Bytes {
  public:
    Bytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool More() const { return at_ < size_; }
    std::uint64_t Take(int bytes) {
        std::uint64_t v = 0;
        for (int i = 0; i < bytes; ++i)
            v |= static_cast<std::uint64_t>(at_ < size_ ? data_[at_++] : 0) << (8 * i);
        return v;
    }
    // An index near a window edge, near the end, or anywhere below `limit`.
    std::int64_t Index(std::int64_t limit) {
        if (limit <= 0) return 0;
        const auto kind = Take(1) % 4;
        const auto r = static_cast<std::int64_t>(Take(3));
        std::int64_t i = 0;
        switch (kind) {
            case 0:
                i = (r >> 4) % 8 * (Window / 2) + (r & 15) - 8;
                break;  // window and half-window edges
            case 1:
                i = limit - 1 - (r % 64);
                break;
            default:
                i = r * 4 + static_cast<std::int64_t>(Take(1) % 4);
                break;
        }
        return std::clamp<std::int64_t>(i, 0, limit - 1) % limit;
    }

  private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

// The plain array the store must agree with; unknown values are those the store's contract
// leaves open (cut off by a shorter length and not written since). Its loops are kept out of the
// coverage feedback: they say nothing about the store and would dominate the run time.
#define SV_PLAIN __attribute__((no_sanitize("coverage")))
struct StoreModel {
    std::vector<std::int32_t> value;
    std::vector<std::uint8_t> known;
    std::int64_t length = 0;

    SV_PLAIN void Resize(std::int64_t n) {
        if (n < length) std::fill(known.begin() + n, known.begin() + length, 0);
        length = n;
    }
    SV_PLAIN void Set(std::int64_t i, std::int64_t stride, const std::int32_t* v,
                      std::int64_t count) {
        for (std::int64_t k = 0; k < count; ++k) {
            value[static_cast<std::size_t>(i + k * stride)] = v[k];
            known[static_cast<std::size_t>(i + k * stride)] = 1;
        }
    }
    SV_PLAIN void Check(std::int64_t i, std::int64_t stride, const std::int32_t* v,
                        std::int64_t count, const char* what) const {
        for (std::int64_t k = 0; k < count; ++k) {
            const auto at = static_cast<std::size_t>(i + k * stride);
            if (known[at] && value[at] != v[k]) Fail(what, i + k * stride);
        }
    }
    // The store's sums of an addition; open values take the sum the store reports.
    SV_PLAIN void Add(std::int64_t i, std::int64_t stride, const std::int32_t* in,
                      const std::int32_t* sums, std::int64_t count) {
        for (std::int64_t k = 0; k < count; ++k) {
            const auto at = static_cast<std::size_t>(i + k * stride);
            const auto sum = static_cast<std::int32_t>(static_cast<std::uint32_t>(value[at]) +
                                                       static_cast<std::uint32_t>(in[k]));
            if (known[at] && sums[k] != sum) Fail("AddBlock sum differs", i + k * stride);
            value[at] = sums[k];
            known[at] = 1;
        }
    }
    // Frames first .. end - 1 of a document of `frames` frames and `channels` channels removed.
    SV_PLAIN void Delete(int channels, std::int64_t frames, std::int64_t first, std::int64_t end) {
        const std::int64_t removed = (end - first) * channels;
        const auto to = static_cast<std::size_t>(channels * (first + sv::MarginFrames));
        std::copy(value.begin() + to + removed, value.begin() + length, value.begin() + to);
        std::copy(known.begin() + to + removed, known.begin() + length, known.begin() + to);
        const std::int64_t marginStart = channels * (frames - (end - first) + sv::MarginFrames);
        std::fill(value.begin() + marginStart,
                  value.begin() + marginStart + channels * sv::MarginFrames, 0);
        std::fill(known.begin() + marginStart,
                  known.begin() + marginStart + channels * sv::MarginFrames, 1);
        Resize(marginStart + channels * sv::MarginFrames);
    }
};

SV_PLAIN void Ramp(std::int32_t* v, std::int64_t count, std::int32_t first) {
    for (std::int64_t k = 0; k < count; ++k)
        v[k] = static_cast<std::int32_t>(static_cast<std::uint32_t>(first) +
                                         static_cast<std::uint32_t>(k * 7919));
}

StoreModel& Model() {
    static StoreModel model{std::vector<std::int32_t>(MaxValues, 0),
                            std::vector<std::uint8_t>(MaxValues, 1), 0};
    return model;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Bytes in(data, size);
    const int channels = 1 + static_cast<int>(in.Take(1) % 3);
    FileMemory::UseBlockTransfers(in.Take(1) % 16 != 0);
    const std::int64_t frames =
        1 + static_cast<std::int64_t>(in.Take(3)) % (MaxValues / channels - 2 * sv::MarginFrames);
    StoreModel& model = Model();
    std::fill(model.value.begin(), model.value.end(), 0);
    std::fill(model.known.begin(), model.known.end(), 1);

    sv::WaveEnvironment env;
    env.WorkFolder = Folder();
    {
        auto wave =
            sv::Wave::CreateEmpty(1, static_cast<std::uint16_t>(channels), 44100, 16, frames, env);
        FileMemory& store = wave->Memory();
        model.length = store.Length();
        std::vector<std::int32_t> buffer(MaxBlock), sums(MaxBlock), input(MaxBlock);
        for (int op = 0; in.More() && op < 32; ++op) {
            const auto kind = in.Take(1) % 8;
            const std::int64_t n = model.length;
            if (kind <= 1) {  // one value
                const std::int64_t i = in.Index(n);
                if (kind == 0) {
                    const auto v = static_cast<std::int32_t>(in.Take(4));
                    store.WriteValue(i, v);
                    model.Set(i, 1, &v, 1);
                } else {
                    const std::int32_t v = store.ReadValue(i);
                    model.Check(i, 1, &v, 1, "ReadValue differs");
                }
            } else if (kind <= 4) {  // a strided block
                const std::int64_t i = in.Index(n);
                const std::int64_t stride = 1 + static_cast<std::int64_t>(in.Take(1) % 4);
                const std::int64_t room = (n - 1 - i) / stride + 1;
                const std::int64_t count = std::min<std::int64_t>(
                    {room, MaxBlock, static_cast<std::int64_t>(in.Take(3) % (MaxBlock + 1))});
                const auto fill = static_cast<std::int32_t>(in.Take(4));
                Ramp(input.data(), count, fill);
                if (kind == 2) {
                    store.WriteBlock(i, stride, count, input.data());
                    model.Set(i, stride, input.data(), count);
                } else if (kind == 3) {
                    store.ReadBlock(i, stride, count, buffer.data());
                    model.Check(i, stride, buffer.data(), count, "ReadBlock differs");
                } else {
                    store.AddBlock(i, stride, count, input.data(), sums.data());
                    model.Add(i, stride, input.data(), sums.data(), count);
                }
            } else if (kind == 5) {  // a different length
                const std::int64_t count = 1 + static_cast<std::int64_t>(in.Take(3)) % MaxValues;
                store.SetLength(count);
                model.Resize(count);
            } else if (kind == 6) {  // a block of frames deleted from the document
                const std::int64_t docFrames = wave->FrameCount();
                if (docFrames < 1 || model.length != channels * (docFrames + 2 * sv::MarginFrames))
                    continue;
                const std::int64_t first = static_cast<std::int64_t>(in.Take(3)) % docFrames;
                const std::int64_t end =
                    first + 1 + static_cast<std::int64_t>(in.Take(3)) % (docFrames - first);
                DeleteBlock(*wave, first, end);
                model.Delete(channels, docFrames, first, end);
                if (store.Length() != model.length)
                    Fail("DeleteBlock left a wrong length", store.Length());
            } else {  // a long read, across window edges
                const std::int64_t from = in.Index(n);
                const std::int64_t to = std::min(n, from + Window / 4);
                for (std::int64_t i = from; i < to; i += MaxBlock) {
                    const std::int64_t count = std::min(MaxBlock, to - i);
                    store.ReadBlock(i, 1, count, buffer.data());
                    model.Check(i, 1, buffer.data(), count, "long read differs");
                }
            }
        }
    }
    FileMemory::UseBlockTransfers(true);
    for (const auto& e : fs::directory_iterator(Folder())) {
        (void)e;
        Fail("the swap file was left behind", 0);
    }
    return 0;
}
