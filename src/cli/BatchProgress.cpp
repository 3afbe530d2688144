#include "cli/BatchProgress.h"

#include <cmath>

#include "base/Time.h"
#include "text/Language.h"

namespace sv::cli {

BatchProgress::BatchProgress(std::FILE* out, std::size_t files, std::uint64_t totalBytes)
    : out_(out), files_(files), totalBytes_(totalBytes) {}

void BatchProgress::Started(const std::string& path) {
    ++started_;
    if (!out_) return;
    std::fprintf(out_, "[%zu/%zu] %s\n", started_, files_, path.c_str());
    std::fflush(out_);
}

void BatchProgress::Finished(std::uint64_t bytes) {
    ++finished_;
    doneBytes_ += bytes;
    if (!out_) return;
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    // Files take time in proportion to their size; an empty file counts as one byte.
    const double done = static_cast<double>(std::max<std::uint64_t>(doneBytes_, 1));
    const double total = static_cast<double>(std::max<std::uint64_t>(totalBytes_, 1));
    const auto remaining =
        static_cast<std::int64_t>(std::nearbyint(std::max(0.0, elapsed * (total / done - 1.0))));
    std::fprintf(out_, "batch: %zu/%zu files done, %s: %s\n", finished_, files_,
                 Texts().TimeRemainingLabel.c_str(), DurationText(remaining, 1).c_str());
    std::fflush(out_);
}

}  // namespace sv::cli
