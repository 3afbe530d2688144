#pragma once
// The sound output of the desktop program: a QAudioSink pulling 16-bit frames from the sound
// ring's live image in an endless loop. Start and stop may be asked from any thread; the sink
// itself is driven on the thread this object lives on. With no sound device or server the
// program plays silently and says so once.
#include <QObject>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

#include "playback/SoundOutput.h"

class QAudioSink;

namespace sv {

class QtSoundOutput final : public QObject, public SoundOutput {
  public:
    // onUnavailable runs once, on this object's thread, when a start finds no usable output.
    explicit QtSoundOutput(std::function<void()> onUnavailable = {}, QObject* parent = nullptr);
    ~QtSoundOutput() override;

    void StartLoop(const std::uint8_t* image, std::size_t size) override;
    void StopPlaying() override;

    bool Unavailable() const;
    bool Running() const;  // a sink is pulling from the image (this object's thread)

  private:
    class LoopDevice;
    void Apply();
    void StartSink(const std::uint8_t* image, std::size_t size);
    void StopSink();
    void ReportUnavailable();

    std::function<void()> onUnavailable_;
    mutable std::mutex mutex_;
    // What the callers asked for; Apply brings the sink in line on this object's thread.
    const std::uint8_t* image_ = nullptr;
    std::size_t size_ = 0;
    bool wanted_ = false;
    std::uint64_t startRequests_ = 0;
    std::uint64_t startsApplied_ = 0;
    bool unavailable_ = false;
    bool reported_ = false;
    std::unique_ptr<LoopDevice> device_;
    std::unique_ptr<QAudioSink> sink_;
};

}  // namespace sv
