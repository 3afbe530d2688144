#pragma once
// A progress port that presses Cancel at a chosen event dispatch, or when the bar reaches a
// chosen unit, and records what it was shown.
#include <memory>
#include <string>
#include <vector>

#include "base/Progress.h"

namespace sv::test {

struct ProgressScript {
    int cancelAtDispatch = -1;  // 1 = the dispatch of SetTotal of the first window, and so on
    // Cancel while unit cancelAtUnit is reported (0: already while the window opens, so the walk
    // ends after its first unit).
    std::int64_t cancelAtUnit = -1;
    int dispatches = 0;
    std::vector<std::string> captions;
    std::vector<std::int64_t> totals;
    std::vector<int> positions;
};

class ScriptedProgress final : public Progress {
  public:
    explicit ScriptedProgress(ProgressScript& script) : script_(script) {}
    void SetCaption(const std::string& title) override { script_.captions.push_back(title); }
    void EnableCancel(bool) override {}
    void Show() override { script_.totals.push_back(Total()); }

  protected:
    void ShowEstimate(const std::string&) override {}
    void ShowPosition(int) override {}
    void PollCancel() override {
        script_.positions.push_back(Position());
        if (++script_.dispatches == script_.cancelAtDispatch) RequestCancel();
        if (script_.cancelAtUnit >= 0 && Position() == script_.cancelAtUnit * BarPixels / Total())
            RequestCancel();
    }

  private:
    ProgressScript& script_;
};

inline ProgressFactory ScriptedProgressFactory(ProgressScript& script) {
    return [&script] { return std::make_unique<ScriptedProgress>(script); };
}

}  // namespace sv::test
