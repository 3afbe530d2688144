#include "view/WaveOverview.h"

#include <algorithm>
#include <cmath>

#include "audio/Wave.h"

namespace sv {

namespace {

// Raises maximum and lowers minimum to take in count values, without a branch per value.
void TakeIn(const std::int32_t* v, std::int64_t count, std::int32_t& maximum,
            std::int32_t& minimum) {
    std::int32_t hi = maximum, lo = minimum;
    for (std::int64_t i = 0; i < count; ++i) {
        hi = std::max(hi, v[i]);
        lo = std::min(lo, v[i]);
    }
    maximum = hi;
    minimum = lo;
}

// The same for count stereo frames; maximum and minimum each hold the two channels.
void TakeInStereo(const std::int32_t* v, std::int64_t count, std::int32_t* maximum,
                  std::int32_t* minimum) {
    std::int32_t hi0 = maximum[0], lo0 = minimum[0], hi1 = maximum[1], lo1 = minimum[1];
    for (std::int64_t i = 0; i < 2 * count; i += 2) {
        hi0 = std::max(hi0, v[i]);
        lo0 = std::min(lo0, v[i]);
        hi1 = std::max(hi1, v[i + 1]);
        lo1 = std::min(lo1, v[i + 1]);
    }
    maximum[0] = hi0;
    maximum[1] = hi1;
    minimum[0] = lo0;
    minimum[1] = lo1;
}

// One column's run of count values, every stride-th raw value from channel c on, into its cells:
// the maxima of the first two channels, then their minima (ch values apart).
void TakeInRun(const std::int32_t* v, std::int64_t count, int ch, std::int64_t c,
               std::int64_t stride, std::int32_t* cells) {
    if (stride == 1 && ch == 1) return TakeIn(v, count, cells[0], cells[1]);
    if (stride == 1 && ch == 2) {
        // Read in file order, as loading does: whole frames, and a lone value at either end.
        std::int64_t k = 0;
        if (c == 1) TakeIn(v + k++, 1, cells[1], cells[3]);
        const std::int64_t frames = (count - k) / 2;
        TakeInStereo(v + k, frames, cells, cells + 2);
        k += 2 * frames;
        if (k < count) TakeIn(v + k, 1, cells[0], cells[2]);
        return;
    }
    const std::int64_t step = stride % ch;
    for (std::int64_t k = 0; k < count; ++k) {
        if (c == 0)
            TakeIn(v + k, 1, cells[0], cells[ch]);
        else if (c == 1 && ch == 2)
            TakeIn(v + k, 1, cells[1], cells[3]);
        c += step;
        if (c >= ch) c -= ch;
    }
}

}  // namespace

WaveOverview::Table& WaveOverview::TableOf(const Wave& wave) {
    const std::lock_guard lock(mutex_);
    Table& table = tables_[&wave];
    const auto size = static_cast<std::size_t>(wave.Channels()) * 2 * Columns;
    if (table.values.size() != size) table.values.assign(size, 0);
    return table;
}

void WaveOverview::Build(Wave& wave, std::int64_t firstFrame, std::int64_t lastFrame) {
    Table& table = TableOf(wave);
    const float w = static_cast<float>(lastFrame - firstFrame) / static_cast<float>(Columns);
    const auto cnt = std::max<std::int64_t>(static_cast<std::int64_t>(std::nearbyint(w)), 0);
    const int ch = wave.Channels();
    // Mono and stereo columns are read in one piece, all channels at once; wider documents
    // channel by channel so that the buffer stays one channel's column.
    const bool together = ch <= 2;
    Int32Array buffer(static_cast<std::size_t>(cnt * (together ? ch : 1)));
    for (int k = 0; k < Columns; ++k) {
        const std::int64_t s = static_cast<std::int64_t>(
            std::nearbyint(static_cast<double>(k) * static_cast<double>(w)));
        std::int32_t* maxima = &table.values[static_cast<std::size_t>(2 * k * ch)];
        std::int32_t* minima = &table.values[static_cast<std::size_t>((2 * k + 1) * ch)];
        // Maxima start at 0 and minima at 0, so no value can raise one and lower the other.
        std::fill(maxima, maxima + ch, 0);
        std::fill(minima, minima + ch, 0);
        if (cnt > 0 && together) {
            ReadInterleaved(wave, buffer.data(), SampleIndex{(firstFrame + s) * ch}, cnt * ch);
            if (ch == 2)
                TakeInStereo(buffer.data(), cnt, maxima, minima);
            else
                TakeIn(buffer.data(), cnt, maxima[0], minima[0]);
        } else if (cnt > 0) {
            for (int c = 0; c < ch; ++c) {
                ReadChannel(wave, buffer.data(), FrameIndex{firstFrame + s}, c, cnt);
                TakeIn(buffer.data(), cnt, maxima[c], minima[c]);
            }
        }
    }
    table.built = true;
}

std::int32_t WaveOverview::Value(const Wave& wave, int slot, int channel) const {
    const std::lock_guard lock(mutex_);
    const auto found = tables_.find(&wave);
    if (found == tables_.end()) return 0;
    const auto at = static_cast<std::size_t>(slot * wave.Channels() + channel);
    return at < found->second.values.size() ? found->second.values[at] : 0;
}

bool WaveOverview::Built(const Wave& wave) const {
    const std::lock_guard lock(mutex_);
    const auto found = tables_.find(&wave);
    return found != tables_.end() && found->second.built;
}

// The column of each value is its raw index's frame, a channel counting as a fraction of a frame
// later, mapped onto the visible span and rounded to nearest (ties to even). Only the first two
// channels are summarized this way; wider documents need Build. The column never falls as the
// index grows, so it is worked out once per run of values that share it, not once per value.
void WaveOverview::Written(const Wave& document, std::int64_t rawIndex, std::int64_t stride,
                           const std::int32_t* v, std::int64_t count) {
    const std::int64_t viewStart = view_.ViewStart;
    const std::int64_t zoom = std::max<std::int32_t>(view_.HorizontalZoom, 1);
    const std::int64_t viewEnd = viewStart + document.FrameCount() / zoom;
    if (viewEnd == viewStart || count <= 0) return;  // nothing visible
    const double span = static_cast<double>(viewEnd - viewStart);
    const double offset = static_cast<double>(viewStart + MarginFrames);
    const int ch = document.Channels();
    const std::int64_t limit = static_cast<std::int64_t>(ch) * 2 * Columns;
    const auto columnOf = [&](std::int64_t i) {
        const std::int64_t r = rawIndex + i * stride;
        const double x = (static_cast<double>(r) / ch - offset) * Columns / span;
        return std::llrint(x);  // x is far inside the 64-bit range
    };
    // Values per column, a first guess at where a run ends.
    const double perColumn = span * ch / Columns / static_cast<double>(stride);
    std::int32_t* table = TableOf(document).values.data();
    for (std::int64_t i = 0; i < count;) {
        const std::int64_t column = columnOf(i);
        // The last index of the run, by bisection from a guess past the column's end.
        std::int64_t high = std::min(count - 1, i + static_cast<std::int64_t>(perColumn) + 2);
        while (high < count - 1 && columnOf(high) == column)
            high = std::min(count - 1, 2 * high - i + 1);
        std::int64_t last = i;
        while (last < high) {
            const std::int64_t middle = last + (high - last + 1) / 2;
            if (columnOf(middle) == column)
                last = middle;
            else
                high = middle - 1;
        }
        const std::int64_t u = column * ch * 2;
        if (u >= 0 && u < limit)
            TakeInRun(v + i, last - i + 1, ch, (rawIndex + i * stride) % ch, stride, table + u);
        i = last + 1;
    }
}

void WaveOverview::Renewed(Wave& document) {
    const std::int64_t start = view_.ViewStart;
    const std::int32_t zoom = std::max<std::int32_t>(view_.HorizontalZoom, 1);
    Build(document, start, start + document.FrameCount() / zoom);
}

void WaveOverview::Closed(const Wave& document) {
    const std::lock_guard lock(mutex_);
    tables_.erase(&document);
}

}  // namespace sv
