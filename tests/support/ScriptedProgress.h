#pragma once
// A progress port that presses Cancel at a chosen event dispatch and records what it was shown.
#include <memory>
#include <string>
#include <vector>

#include "base/Progress.h"

namespace sv::test {

struct TProgressScript {
    int cancelAtDispatch = -1;  // 1 = the dispatch of SGauMax of the first window, and so on
    int dispatches = 0;
    std::vector<std::string> captions;
    std::vector<std::int64_t> totals;
};

class TScriptedProgress final : public TProgress {
public:
    explicit TScriptedProgress(TProgressScript& script) : script_(script) {}
    void SetCaption(const std::string& title) override { script_.captions.push_back(title); }
    void EnableStorno(bool) override {}
    void Show() override { script_.totals.push_back(Total()); }

protected:
    void ShowEstimate(const std::string&) override {}
    void ShowPosition(int) override {}
    void DispatchEvents() override {
        if (++script_.dispatches == script_.cancelAtDispatch) BtStornoClick();
    }

private:
    TProgressScript& script_;
};

inline ProgressFactory ScriptedProgressFactory(TProgressScript& script) {
    return [&script] { return std::make_unique<TScriptedProgress>(script); };
}

}  // namespace sv::test
