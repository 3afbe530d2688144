#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include "audio/Wave.h"
#include "playback/CaptureSoundOutput.h"
#include "playback/LevelMatch.h"
#include "playback/ManualClock.h"
#include "playback/Player.h"
#include "support/TestFiles.h"

namespace sv {
namespace {

using test::Eventually;
using test::ManualClock;
constexpr int Chunk = SoundRing::ChunkValues;

std::uint32_t Le(const std::uint8_t* at, int bytes) {
    std::uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | at[i];
    return v;
}

// The internal value of every raw index: distinct per index, so misplaced chunks show.
std::int32_t Ramp(std::int64_t frame, int channel) {
    return static_cast<std::int32_t>(((frame * 2 + channel) % 60000 - 30000) * 256);
}

class PlayerThread : public ::testing::Test {
  protected:
    void Open(int channels, std::int32_t rate, std::int64_t frames,
              std::function<std::int32_t(std::int64_t, int)> value = Ramp) {
        player_.reset();
        wave_ = test::MakeDocument(test::MakeEnv(dir_.path()), channels, rate, frames, value);
        values_ = test::StoreValues(*wave_);
        values_.erase(values_.begin(), values_.begin() + MarginFrames * channels);
        values_.resize(static_cast<std::size_t>(frames * channels));
        active_ = true;
        player_ = std::make_unique<Player>(*wave_, output_, clock_, active_);
    }
    SoundRing& Ring() { return player_->Ring(); }
    // One slot duration passes and the ring has taken its tick.
    void TickOnce() {
        const auto before = Ring().Ticks();
        clock_.AdvanceTo(Ring().Ticker().NextTickMs());
        ASSERT_TRUE(Eventually([&] { return Ring().Ticks() == before + 1; }))
            << "ticks " << Ring().Ticks() << " written " << Ring().SlotsWritten() << " playing "
            << output_.Playing();
    }
    // The device plays a slot, then its tick comes, until the run ends by itself. A slot is
    // played once written: a slow writer at the start of a run is not a device playing ahead.
    void HearToTheEnd() {
        for (int slot = 0; slot < 10000 && active_; ++slot) {
            ASSERT_TRUE(Eventually([&] { return !active_ || Ring().SlotsWritten() > slot; }));
            output_.HearSlots(1);
            const auto before = Ring().Ticks();
            clock_.AdvanceTo(Ring().Ticker().NextTickMs());
            ASSERT_TRUE(Eventually([&] { return !active_ || Ring().Ticks() > before; }));
        }
    }
    bool WrittenReaches(std::int64_t slots) {
        return Eventually([&] { return Ring().SlotsWritten() >= slots; });
    }
    // What the 16-bit output must hold for `count` document values from raw index `from`.
    std::vector<std::int16_t> Expected(std::int64_t from, std::int64_t count) const {
        std::vector<std::int16_t> out;
        for (std::int64_t i = from; i < from + count; ++i)
            out.push_back(static_cast<std::int16_t>(values_[static_cast<std::size_t>(i)] / 256));
        return out;
    }
    std::vector<std::int16_t> HeardSlot(int index) const {
        const auto rec = output_.Recording();
        return {rec.begin() + index * Chunk, rec.begin() + (index + 1) * Chunk};
    }

    test::TempDir dir_;
    ManualClock clock_;
    CaptureSoundOutput output_;
    std::atomic<bool> active_{false};
    std::unique_ptr<Wave> wave_;
    std::vector<std::int32_t> values_;
    std::unique_ptr<Player> player_;
};

TEST_F(PlayerThread, SlotDurationAndImageHeaderFollowTheDocumentFormat) {
    struct Case {
        int channels;
        std::int32_t rate;
        double interval;
    };
    for (const Case c : {Case{2, 44100, 100}, Case{1, 22050, 400}, Case{2, 48000, 91.875},
                         Case{1, 44100, 200}, Case{2, 96000, 45.9375}}) {
        SCOPED_TRACE(testing::Message() << c.channels << " x " << c.rate);
        EXPECT_EQ(SoundRing::SlotInterval(c.channels, c.rate).Ms(), c.interval);
        SoundRing ring(1, static_cast<std::uint16_t>(c.channels), c.rate, 1 << 23, output_, clock_);
        EXPECT_EQ(ring.Interval().Ms(), c.interval);
        const std::uint8_t* h = ring.Image();
        EXPECT_EQ(std::memcmp(h, "RIFF", 4), 0);
        EXPECT_EQ(Le(h + 4, 4), 1128996u);
        EXPECT_EQ(std::memcmp(h + 8, "WAVEfmt ", 8), 0);
        EXPECT_EQ(Le(h + 16, 4), 16u);
        EXPECT_EQ(Le(h + 20, 2), 1u);
        EXPECT_EQ(Le(h + 22, 2), static_cast<std::uint32_t>(c.channels));
        EXPECT_EQ(Le(h + 24, 4), static_cast<std::uint32_t>(c.rate));
        EXPECT_EQ(Le(h + 28, 4), static_cast<std::uint32_t>(c.rate * c.channels * 2));
        EXPECT_EQ(Le(h + 32, 2), static_cast<std::uint32_t>(c.channels * 2));
        EXPECT_EQ(Le(h + 34, 2), 16u);
        EXPECT_EQ(std::memcmp(h + 36, "data", 4), 0);
        EXPECT_EQ(Le(h + 40, 4), 1128960u);
        EXPECT_EQ(SoundRing::ImageBytes, 1129004u);
    }
}

TEST_F(PlayerThread, WritesThirtyFourSlotsAtOnceThenOnePerTick) {
    Open(2, 44100, 44100 * 20);
    player_->PlayFrom(0);
    ASSERT_TRUE(WrittenReaches(34));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(Ring().SlotsWritten(), 34);
    EXPECT_EQ(output_.StartCount(), 1);
    for (int tick = 1; tick <= 5; ++tick) {
        TickOnce();
        ASSERT_TRUE(WrittenReaches(34 + tick));
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        EXPECT_EQ(Ring().SlotsWritten(), 34 + tick);
    }
    EXPECT_EQ(Ring().LowestLead(), 33);
    player_->Stop();
    EXPECT_FALSE(output_.Playing());
    EXPECT_TRUE(active_);  // a stop is not the end of the document
}

// Values below full scale keep their 16 bits; values beyond are clamped, and the division
// truncates toward zero.
TEST_F(PlayerThread, PlaysSixteenBitValuesExactlyAndClampsTheRest) {
    const std::vector<std::int32_t> special = {8388352,  8388353,     9000000,     -8388608,
                                               -8388609, -9999999,    255,         -255,
                                               -257,     32767 * 256, -32768 * 256};
    const std::int64_t frames = Chunk + Chunk / 2;  // mono: one full and one partial chunk
    Open(1, 44100, frames, [&](std::int64_t f, int c) {
        return f < static_cast<std::int64_t>(special.size()) ? special[f] : Ramp(f, c);
    });
    player_->PlayFrom(0);
    ASSERT_TRUE(WrittenReaches(2));
    output_.HearSlots(2);
    const std::vector<std::int16_t> clamped = {32767, 32767, 32767, -32768, -32768, -32768,
                                               0,     0,     -1,    32767,  -32768};
    const auto first = HeardSlot(0);
    EXPECT_TRUE(std::equal(clamped.begin(), clamped.end(), first.begin()));
    auto expected = Expected(special.size(), Chunk - special.size());
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), first.begin() + special.size()));
    const auto second = HeardSlot(1);
    expected = Expected(Chunk, Chunk / 2);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), second.begin()));
}

TEST_F(PlayerThread, PlayFromASecondInStartsThereForMonoAndStereo) {
    for (int channels : {1, 2}) {
        SCOPED_TRACE(channels);
        output_.ClearRecording();
        Open(channels, 44100, 44100 * 5);
        player_->PlayFrom(44100);
        EXPECT_EQ(player_->Position(), 44100);
        ASSERT_TRUE(WrittenReaches(3));
        output_.HearSlots(3);
        const auto rec = output_.Recording();
        const auto expected = Expected(44100 * channels, 3 * Chunk);
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), rec.begin()));
        clock_.Advance(1000);
        EXPECT_EQ(player_->Position(), 88200);
        player_->Stop();
    }
}

TEST_F(PlayerThread, ShortDocumentPlaysOnePartialChunkAndEndsByItself) {
    Open(2, 44100, 1000);
    player_->PlayFrom(0);
    ASSERT_TRUE(Eventually([&] { return output_.Playing(); }));
    const auto* ring =
        reinterpret_cast<const std::int16_t*>(Ring().Image() + SoundRing::HeaderBytes);
    const auto expected = Expected(0, 2000);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), ring));
    HearToTheEnd();
    ASSERT_TRUE(Eventually([&] { return player_->Idle(); }));
    EXPECT_EQ(output_.StartCount(), 1);
    EXPECT_FALSE(output_.Playing());
    EXPECT_EQ(Ring().SlotsWritten(), 0);  // the end of the run reset the ring
}

// Every run is heard to its last frame, the partial last slot included, from the start or from
// a clicked position; only silence follows, never what the ring held a lap earlier.
TEST_F(PlayerThread, EveryRunIsHeardToItsLastFrame) {
    struct Case {
        int channels;
        std::int32_t rate;
        std::int64_t frames;
        std::int64_t from;
    };
    for (const Case c :
         {Case{2, 44100, 10 * 4410 + 573, 0}, Case{2, 48000, 48000 * 7 + 77, 48000 * 3 + 11},
          Case{1, 22050, 3 * Chunk + 1, 8000}, Case{6, 96000, 96000 + 5, 1}}) {
        SCOPED_TRACE(testing::Message() << c.channels << " x " << c.rate << " from " << c.from);
        Open(c.channels, c.rate, c.frames);
        output_.ClearRecording();
        player_->PlayFrom(c.from);
        ASSERT_TRUE(Eventually([&] { return output_.Playing(); }));
        HearToTheEnd();
        EXPECT_FALSE(active_);
        const auto heard = output_.Recording();
        const auto expected = Expected(c.from * c.channels, (c.frames - c.from) * c.channels);
        ASSERT_GE(heard.size(), expected.size());
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), heard.begin()));
        EXPECT_TRUE(std::all_of(heard.begin() + static_cast<std::ptrdiff_t>(expected.size()),
                                heard.end(), [](auto v) { return v == 0; }));
    }
}

// Each depth's full scale plays as 16-bit full scale.
TEST_F(PlayerThread, EveryDepthPlaysAtItsTrueLevel) {
    struct Case {
        std::uint16_t tag;
        std::uint16_t bits;
    };
    for (const Case c : {Case{1, 8}, Case{1, 16}, Case{1, 24}, Case{1, 32}, Case{3, 32}}) {
        SCOPED_TRACE(testing::Message() << "tag " << c.tag << ", " << c.bits << " bits");
        player_.reset();
        wave_ = Wave::CreateEmpty(c.tag, 1, 44100, c.bits, 2 * Chunk, test::MakeEnv(dir_.path()));
        const auto full = static_cast<std::int32_t>(wave_->FullScale());
        const std::vector<std::int32_t> values = {full / 2, -full, full, full / 32768, -full / 4};
        wave_->WriteRaw(values.data(), MarginFrames, static_cast<std::int64_t>(values.size()));
        output_.ClearRecording();
        active_ = true;
        player_ = std::make_unique<Player>(*wave_, output_, clock_, active_);
        player_->PlayFrom(0);
        ASSERT_TRUE(Eventually([&] { return output_.Playing(); }));
        output_.HearSlots(1);
        const auto heard = output_.Recording();
        EXPECT_EQ(std::vector<std::int16_t>(heard.begin(), heard.begin() + 5),
                  (std::vector<std::int16_t>{16384, -32768, 32767, 1, -8192}));
    }
}

TEST_F(PlayerThread, StartAtOrBeyondTheEndStartsNoOutput) {
    Open(2, 44100, 44100);
    for (std::int64_t frame : {std::int64_t{44100}, std::int64_t{100000}}) {
        active_ = true;
        player_->PlayFrom(frame);
        ASSERT_TRUE(Eventually([&] { return !active_.load() && player_->Idle(); }));
    }
    EXPECT_EQ(output_.StartCount(), 0);
}

TEST_F(PlayerThread, NaturalEndStopsOnceTheLastSlotAndSomeSilenceAreHeard) {
    Open(2, 44100, 40 * Chunk / 2 + 100);  // 40 full chunks and a partial one
    player_->PlayFrom(0);
    ASSERT_TRUE(WrittenReaches(34));
    for (int i = 0; i < 7; ++i) TickOnce();
    ASSERT_TRUE(WrittenReaches(41));
    const std::int64_t silence = SoundRing::EndSilenceSlots(Ring().Interval());
    EXPECT_EQ(silence, 3);  // 300 ms
    // The 41st tick says the last slot has been heard; then the silence.
    for (std::int64_t i = 7; i < 41 + silence - 1; ++i) {
        SCOPED_TRACE(i);
        TickOnce();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_TRUE(output_.Playing());
    EXPECT_TRUE(active_);
    clock_.AdvanceTo(Ring().Ticker().NextTickMs());
    EXPECT_TRUE(Eventually([&] { return !active_.load() && player_->Idle(); }));
    EXPECT_FALSE(output_.Playing());
    EXPECT_EQ(output_.StopCount(), 1);
}

// A stopped (paused) run keeps its position however long the pause. A scan is heard from
// there, a stop during it keeps where it reached, and playing resumes there with a fresh ring.
TEST_F(PlayerThread, PauseAndResumeContinueWhereItPausedWithAFreshRing) {
    Open(2, 44100, 44100 * 20);
    player_->PlayFrom(0);
    ASSERT_TRUE(WrittenReaches(34));
    for (int i = 0; i < 10; ++i) TickOnce();  // one second of stereo 44.1 kHz
    player_->Stop();
    EXPECT_FALSE(output_.Playing());
    clock_.Advance(5000);
    EXPECT_EQ(player_->Position(), 44100);
    output_.ClearRecording();
    player_->PlayForward(4);
    ASSERT_TRUE(WrittenReaches(2));
    output_.HearSlots(2);
    auto expected = Expected(2 * 44100, Chunk);
    const auto next = Expected(2 * 44100 + 4 * Chunk, Chunk);
    expected.insert(expected.end(), next.begin(), next.end());
    EXPECT_EQ(output_.Recording(), expected);
    clock_.Advance(1000);
    player_->Stop();
    clock_.Advance(3000);
    const std::int64_t paused = player_->Position();
    EXPECT_EQ(paused, 5 * 44100);
    output_.ClearRecording();
    player_->PlayForward(1);
    ASSERT_TRUE(WrittenReaches(34));
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(Ring().SlotsWritten(), 34);  // no burst for the paused time
    EXPECT_EQ(Ring().Ticker().FiredCount(), 0);
    output_.HearSlots(1);
    EXPECT_EQ(output_.Recording(), Expected(2 * paused, Chunk));
}

TEST_F(PlayerThread, FastForwardPlaysOneChunkInFourAndMovesFourTimesAsFast) {
    Open(2, 44100, 44100 * 20);
    player_->PlayForward(4);
    EXPECT_EQ(player_->Step(), 4);
    ASSERT_TRUE(WrittenReaches(3));
    output_.HearSlots(3);
    const auto rec = output_.Recording();
    for (int k = 0; k < 3; ++k) {
        const auto expected = Expected(4LL * k * Chunk, Chunk);
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), rec.begin() + k * Chunk)) << k;
    }
    clock_.Advance(1000);
    EXPECT_EQ(player_->Position(), 4 * 44100);
    player_->PlayForward(1);  // release: normal playing from the cursor
    EXPECT_EQ(player_->Position(), 4 * 44100);
}

TEST_F(PlayerThread, RewindPastTheStartRepeatsTheFirstChunk) {
    Open(2, 44100, 44100 * 5);
    player_->PlayFrom(Chunk);  // two stereo chunks in
    player_->PlayBackward(4);
    EXPECT_EQ(player_->Step(), -4);
    ASSERT_TRUE(WrittenReaches(4));
    output_.HearSlots(4);
    const auto rec = output_.Recording();
    for (int k = 0; k < 4; ++k) {
        const auto expected = Expected(k == 0 ? 2 * Chunk : 0, Chunk);
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), rec.begin() + k * Chunk)) << k;
    }
    clock_.Advance(1000);
    EXPECT_LT(player_->Position(), 0);  // not limited to the document
    player_->PlayForward(1);
    output_.ClearRecording();
    ASSERT_TRUE(WrittenReaches(1));
    output_.HearSlots(1);
    EXPECT_EQ(output_.Recording(), Expected(0, Chunk));
}

// A rewind on a recording shorter than a chunk, or starting beyond its end, reads only what
// the recording holds and plays silence for the rest.
TEST_F(PlayerThread, RewindNeverReadsPastTheRecording) {
    Open(1, 22050, 100);
    player_->PlayFrom(5000);
    ASSERT_TRUE(Eventually([&] { return player_->Idle(); }));
    player_->PlayBackward(4);
    ASSERT_TRUE(WrittenReaches(3));
    output_.HearSlots(3);
    const auto rec = output_.Recording();
    EXPECT_TRUE(std::all_of(rec.begin(), rec.begin() + Chunk, [](auto v) { return v == 0; }));
    const auto expected = Expected(0, 100);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), rec.begin() + Chunk));
    EXPECT_TRUE(std::all_of(rec.begin() + Chunk + 100, rec.begin() + 2 * Chunk,
                            [](auto v) { return v == 0; }));
    player_->Stop();
}

TEST_F(PlayerThread, StopReleasesAWaitingWriterAndNeverRestartsTheOutput) {
    Open(2, 44100, 44100 * 20);
    for (int run = 0; run < 20; ++run) {
        player_->PlayFrom(run * 1000);
        if (run % 2) {
            ASSERT_TRUE(WrittenReaches(34));
        }
        player_->Stop();
        EXPECT_TRUE(player_->Idle());
        EXPECT_FALSE(output_.Playing());
    }
    EXPECT_EQ(output_.StartCount(), output_.StopCount());
    EXPECT_TRUE(active_);
}

// A/B mid-run: only the slots not yet heard are written again, from the same positions and at
// the other document's gain, so the switch is heard at the next slot and the output never
// stops; switching back works alike. A document of another rate cannot be compared.
TEST_F(PlayerThread, SwitchToTheComparedDocumentIsHeardAtTheNextSlotWithoutStopping) {
    Open(2, 44100, 44100 * 20);
    auto other = test::MakeDocument(test::MakeEnv(dir_.path()), 2, 44100, 44100 * 20,
                                    [](std::int64_t f, int c) { return -Ramp(f + 7, c); });
    auto otherValues = test::StoreValues(*other);
    otherValues.erase(otherValues.begin(), otherValues.begin() + MarginFrames * 2);
    auto otherRate = test::MakeDocument(test::MakeEnv(dir_.path()), 2, 48000, 100, Ramp);
    EXPECT_FALSE(player_->SetComparison(otherRate.get()));
    ASSERT_TRUE(player_->SetComparison(other.get(), 0.0, 20 * std::log10(0.5)));
    player_->PlayFrom(0);
    ASSERT_TRUE(WrittenReaches(34));
    // Heard slot by slot: the one being played when a switch comes stays as it was.
    auto hear = [&](int slots) {
        for (int i = 0; i < slots; ++i) {
            output_.HearSlots(1);
            TickOnce();
        }
    };
    auto switchAndWait = [&](bool toOther, std::int64_t rewrites) {
        // Each tick's slot written first, so the slots ahead are the ones counted below.
        ASSERT_TRUE(WrittenReaches(34 + Ring().Ticks()));
        player_->Hear(toOther);
        ASSERT_TRUE(Eventually([&] { return Ring().SlotsRewritten() == rewrites; }));
    };
    const auto otherHalf = [&](std::int64_t slot) {
        std::vector<std::int16_t> out;
        for (std::int64_t i = slot * Chunk; i < (slot + 1) * Chunk; ++i)
            out.push_back(static_cast<std::int16_t>(otherValues[std::size_t(i)] / 2 / 256));
        return out;
    };
    hear(3);                  // slot 3 plays
    switchAndWait(true, 33);  // slots 4 .. 36
    EXPECT_TRUE(player_->HearingOther());
    hear(10);                  // slots 3 .. 12; slot 13 plays
    switchAndWait(false, 66);  // slots 14 .. 46
    hear(3);
    const auto heard = output_.Recording();
    ASSERT_EQ(heard.size(), std::size_t{16 * Chunk});
    for (std::int64_t slot = 0; slot < 16; ++slot) {
        const bool fromOther = slot >= 4 && slot <= 13;
        const auto expected = fromOther ? otherHalf(slot) : Expected(slot * Chunk, Chunk);
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), heard.begin() + slot * Chunk))
            << "slot " << slot << (fromOther ? " from the other" : " from the document");
    }
    EXPECT_EQ(output_.StartCount(), 1);
    EXPECT_EQ(output_.StopCount(), 0);
}

TEST(LevelMatchTest, TheLouderIsLoweredToTheQuieterOnly) {
    struct Case {
        std::optional<double> first, second;
        LevelMatch expected;
    };
    for (const Case& c :
         {Case{-14.0, -20.5, {-6.5, 0.0, true}}, Case{-23.0, -9.0, {0.0, -14.0, true}},
          Case{-16.0, -16.0, {0.0, 0.0, true}}, Case{-16.0, std::nullopt, {}},
          Case{-HUGE_VAL, -16.0, {}}}) {
        const LevelMatch m = MatchLevels(c.first, c.second);
        EXPECT_EQ(m.FirstGainDb, c.expected.FirstGainDb);
        EXPECT_EQ(m.SecondGainDb, c.expected.SecondGainDb);
        EXPECT_EQ(m.Matched, c.expected.Matched);
    }
}

}  // namespace
}  // namespace sv
