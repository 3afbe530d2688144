#include "app/BackgroundLoudness.h"

#include <utility>

namespace sv {

BackgroundLoudness::BackgroundLoudness(PostToWindow post, Failed failed)
    : post_(std::move(post)), failed_(std::move(failed)) {}

BackgroundLoudness::~BackgroundLoudness() { Stop(); }

void BackgroundLoudness::Start(Wave& wave, Shown shown) {
    Stop();
    shown_ = std::move(shown);
    measured_ = &wave;
    measuredIdentity_ = wave.Identity();
    auto progress = std::make_shared<SilentProgress>();
    cancel_ = progress->SharedCancelFlag();
    const std::uint64_t generation = ++*generation_;
    std::weak_ptr<std::uint64_t> current = generation_;
    thread_ = std::thread([this, &wave, progress, generation, current] {
        std::optional<LoudnessFigures> figures;
        std::exception_ptr error;
        try {
            figures = MeasureLoudness(wave, *progress);
        } catch (const LoudnessUnavailable&) {
            // a layout the meter refuses shows no figures; read errors still reach the user
        } catch (...) {
            error = std::current_exception();
        }
        if (progress->CancelRequested()) return;
        post_([this, figures, error, generation, current] {
            const auto latest = current.lock();
            if (latest && *latest == generation) Finish(figures, error);
        });
    });
}

void BackgroundLoudness::Finish(const std::optional<LoudnessFigures>& figures,
                                std::exception_ptr error) {
    thread_.join();  // it ends with the report
    measured_ = nullptr;
    const Shown shown = std::exchange(shown_, nullptr);
    if (error) return failed_(error);
    shown(figures);
}

void BackgroundLoudness::Stop() {
    if (!thread_.joinable()) return;
    cancel_->store(true);
    thread_.join();
    ++*generation_;  // a report already on its way is dropped
}

void BackgroundLoudness::Resume(Wave* wave) {
    if (!shown_ || Running()) return;
    if (wave && wave == measured_ && wave->Identity() == measuredIdentity_)
        return Start(*wave, std::move(shown_));
    shown_ = nullptr;
    measured_ = nullptr;
}

}  // namespace sv
