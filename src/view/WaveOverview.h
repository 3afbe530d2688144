#pragma once
// The overview tables the waveform view draws from: per document, 1200 columns that each hold the
// largest and the smallest value of every channel in their stretch of the visible span. Kept
// current by watching the documents' writes; rebuilt for a new span by Build.
#include <cstdint>
#include <mutex>
#include <unordered_map>

#include "audio/SampleWriteListener.h"
#include "base/CoreTypes.h"

namespace sv {

// The visible span the tables summarize: frames ViewStart .. ViewStart +
// FrameCount / HorizontalZoom.
struct ViewPosition {
    std::int64_t ViewStart = 0;
    std::int32_t HorizontalZoom = 1;
};

class WaveOverview final : public SampleWriteListener {
  public:
    static constexpr int Columns = 1200;

    // Reads the visible span from view whenever a write is told.
    explicit WaveOverview(const ViewPosition& view) : view_(view) {}

    // Fills the whole table of wave for document frames firstFrame .. lastFrame.
    void Build(Wave& wave, std::int64_t firstFrame, std::int64_t lastFrame);
    // Slot 2k holds column k's maxima (never below 0), slot 2k + 1 its minima (never above 0).
    // A document never written nor built reads 0 everywhere.
    std::int32_t Value(const Wave& wave, int slot, int channel) const;
    // True once Build ran for wave.
    bool Built(const Wave& wave) const;

    void Written(const Wave& document, std::int64_t rawIndex, std::int64_t stride,
                 const std::int32_t* values, std::int64_t count) override;
    void Renewed(Wave& document) override;
    void Closed(const Wave& document) override;

  private:
    struct Table {
        Int32Array values;
        bool built = false;
    };
    // Found or made (zeroed); stays where it is while other tables come and go.
    Table& TableOf(const Wave& wave);

    const ViewPosition& view_;
    mutable std::mutex mutex_;  // guards the map, not the values of a table
    std::unordered_map<const Wave*, Table> tables_;
};

}  // namespace sv
