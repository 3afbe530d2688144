#include "app/QtSoundOutput.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QIODevice>
#include <QMediaDevices>
#include <algorithm>
#include <cstring>

namespace sv {
namespace {

constexpr std::size_t WavHeaderBytes = 44;

std::uint32_t LittleEndian(const std::uint8_t* at, int bytes) {
    std::uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | at[i];
    return v;
}

}  // namespace

// Reads the image's data section round and round, as the device consumes it.
class QtSoundOutput::LoopDevice final : public QIODevice {
  public:
    void Restart(const std::uint8_t* data, qint64 size) {
        data_ = data;
        size_ = size;
        position_ = 0;
        // Unbuffered: a buffer would keep what the last sink read ahead, and the next sink
        // would play that first.
        if (!isOpen()) open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override { return size_ + QIODevice::bytesAvailable(); }

  protected:
    qint64 readData(char* out, qint64 maxSize) override {
        if (size_ <= 0) return 0;
        qint64 done = 0;
        while (done < maxSize) {
            const qint64 n = std::min(maxSize - done, size_ - position_);
            // The writer fills slots half a ring ahead of what is read here.
            std::memcpy(out + done, data_ + position_, static_cast<std::size_t>(n));
            done += n;
            position_ = (position_ + n) % size_;
        }
        return done;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

  private:
    const std::uint8_t* data_ = nullptr;
    qint64 size_ = 0;
    qint64 position_ = 0;
};

QtSoundOutput::QtSoundOutput(std::function<void()> onUnavailable, QObject* parent)
    : QObject(parent),
      onUnavailable_(std::move(onUnavailable)),
      device_(std::make_unique<LoopDevice>()) {}

QtSoundOutput::~QtSoundOutput() { StopSink(); }

void QtSoundOutput::StartLoop(const std::uint8_t* image, std::size_t size) {
    {
        std::lock_guard lock(mutex_);
        image_ = image;
        size_ = size;
        wanted_ = true;
        ++startRequests_;
    }
    QMetaObject::invokeMethod(
        this, [this] { Apply(); }, Qt::QueuedConnection);
}

void QtSoundOutput::StopPlaying() {
    {
        std::lock_guard lock(mutex_);
        wanted_ = false;
    }
    QMetaObject::invokeMethod(
        this, [this] { Apply(); }, Qt::QueuedConnection);
}

bool QtSoundOutput::Unavailable() const {
    std::lock_guard lock(mutex_);
    return unavailable_;
}

bool QtSoundOutput::Running() const { return sink_ != nullptr; }

// Only the latest request counts: a stop and a new start that arrive together restart the
// sink at the ring's first slot, where the new run writes.
void QtSoundOutput::Apply() {
    const std::uint8_t* image;
    std::size_t size;
    bool wanted;
    bool start;
    {
        std::lock_guard lock(mutex_);
        image = image_;
        size = size_;
        wanted = wanted_;
        start = wanted && startsApplied_ != startRequests_;
        if (!wanted || start) startsApplied_ = startRequests_;
    }
    if (!wanted) {
        StopSink();
        return;
    }
    if (start) {
        StopSink();
        StartSink(image, size);
    }
}

void QtSoundOutput::StartSink(const std::uint8_t* image, std::size_t size) {
    if (!image || size <= WavHeaderBytes) return;
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull()) {
        ReportUnavailable();
        return;
    }
    QAudioFormat format;
    format.setChannelCount(static_cast<int>(LittleEndian(image + 22, 2)));
    format.setSampleRate(static_cast<int>(LittleEndian(image + 24, 4)));
    format.setSampleFormat(QAudioFormat::Int16);
    sink_ = std::make_unique<QAudioSink>(device, format);
    device_->Restart(image + WavHeaderBytes, static_cast<qint64>(size - WavHeaderBytes));
    sink_->start(device_.get());
    if (sink_->error() != QAudio::NoError) {
        StopSink();
        ReportUnavailable();
    }
}

void QtSoundOutput::StopSink() {
    if (!sink_) return;
    sink_->stop();
    sink_.reset();
}

void QtSoundOutput::ReportUnavailable() {
    {
        std::lock_guard lock(mutex_);
        unavailable_ = true;
        if (reported_) return;
        reported_ = true;
    }
    if (onUnavailable_) onUnavailable_();
}

}  // namespace sv
