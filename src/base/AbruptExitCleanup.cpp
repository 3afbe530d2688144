#include "base/AbruptExitCleanup.h"

#include <unistd.h>

#include <array>
#include <atomic>
#include <climits>
#include <cstring>

namespace sv {

namespace {

enum SlotState : int { Free = 0, Filling = 1, Listed = 2 };

struct Slot {
    std::atomic<int> state{Free};
    char path[PATH_MAX]{};
};

constexpr int SlotCount = 64;
// Constant-initialised, so starting the program touches none of its 64 pages.
constinit std::array<Slot, SlotCount> slots{};

static_assert(std::atomic<int>::is_always_lock_free, "read from a signal handler");

}  // namespace

RemovedOnAbruptExit::RemovedOnAbruptExit(const std::filesystem::path& path) {
    const std::string& text = path.native();
    if (text.size() >= PATH_MAX) return;
    for (int i = 0; i < SlotCount; ++i) {
        int expected = Free;
        if (!slots[i].state.compare_exchange_strong(expected, Filling)) continue;
        std::memcpy(slots[i].path, text.c_str(), text.size() + 1);
        slots[i].state.store(Listed);
        slot_ = i;
        return;
    }
}

RemovedOnAbruptExit::~RemovedOnAbruptExit() {
    if (slot_ >= 0) slots[slot_].state.store(Free);
}

void RemoveListedFilesNow() {
    for (auto& slot : slots) {
        if (slot.state.load() == Listed) ::unlink(slot.path);
    }
}

}  // namespace sv
