#pragma once
// Progress on stderr: a bar with the estimate on a terminal, plain lines otherwise. Ctrl+C,
// SIGTERM, SIGHUP, SIGQUIT and SIGPIPE press Cancel; a second Ctrl+C ends the program at once.
#include <cstdio>
#include <string>

#include "base/Progress.h"

namespace sv::cli {

// Installs the interrupt handlers; call once at start.
void InstallInterruptHandlers();
bool Interrupted();

class TerminalProgress final : public Progress {
  public:
    TerminalProgress(std::FILE* out, bool terminal);
    ~TerminalProgress() override;
    void SetCaption(const std::string& title) override { title_ = title; }
    void EnableCancel(bool) override {}
    void Show() override;

  protected:
    void ShowEstimate(const std::string& text) override { estimate_ = text; }
    void ShowPosition(int pixels) override;
    void PollCancel() override;

  private:
    void Draw();
    std::FILE* out_;
    bool terminal_;
    bool shown_ = false;
    std::string title_;
    std::string estimate_;
    int pixels_ = 0;
    int lastPlainTenth_ = -1;
};

ProgressFactory TerminalProgressFactory(bool quiet);

}  // namespace sv::cli
