#include "cli/TerminalProgress.h"

#include <unistd.h>

#include <atomic>
#include <csignal>

#include "base/AbruptExitCleanup.h"
#include "text/Language.h"

namespace sv::cli {

namespace {
// Set by the handler on whichever thread takes the signal and read by every batch worker, so an
// atomic rather than a volatile sig_atomic_t (which is safe only within one thread); lock-free,
// so the handler may touch it.
std::atomic<int> interrupted{0};
static_assert(std::atomic<int>::is_always_lock_free);

// The first signal cancels like the Cancel button, so the program winds down through its
// ordinary paths. A second one from the user ends it at once; only the files that must not
// outlive it are removed. A reader that went away (SIGPIPE) may raise the signal on every
// write, so it never counts as the second one.
extern "C" void OnInterrupt(int signal) {
    if (interrupted != 0 && signal != SIGPIPE) {
        RemoveListedFilesNow();
        ::_exit(130);
    }
    interrupted = 1;
}
}  // namespace

void InstallInterruptHandlers() {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a call blocked on a FIFO, pipe or stalled file returns EINTR, so a stop
    // request cannot wait behind it.
    action.sa_flags = 0;
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE})
        sigaction(signal, &action, nullptr);
}

bool Interrupted() { return interrupted != 0; }

TerminalProgress::TerminalProgress(std::FILE* out, bool terminal)
    : out_(out), terminal_(terminal) {}

TerminalProgress::~TerminalProgress() {
    if (!shown_ || !out_) return;
    if (terminal_) {
        std::fputc('\n', out_);
    } else if (lastPlainTenth_ < 10 && pixels_ == BarPixels) {
        std::fprintf(out_, "%s: 100%%\n", title_.c_str());
    }
    std::fflush(out_);
}

void TerminalProgress::Show() {
    shown_ = true;
    Draw();
}

void TerminalProgress::ShowPosition(int pixels) {
    pixels_ = pixels;
    if (shown_) Draw();
}

// A signal cancels even where the window's Cancel button is off (saving): the operation decides
// whether it can stop.
void TerminalProgress::DispatchEvents() {
    if (Interrupted()) RequestCancel();
}

void TerminalProgress::Draw() {
    if (!out_ || title_.empty()) return;
    const int percent = pixels_ * 100 / BarPixels;
    if (terminal_) {
        constexpr int width = 30;
        std::string bar(static_cast<std::size_t>(pixels_ * width / BarPixels), '#');
        bar.resize(width, '.');
        std::fprintf(out_, "\r%-24s [%s] %3d%%  %s %s\x1b[K", title_.c_str(), bar.c_str(), percent,
                     (Texts().TimeRemainingLabel + ":").c_str(), estimate_.c_str());
    } else {
        const int tenth = percent / 10;
        if (tenth == lastPlainTenth_) return;
        lastPlainTenth_ = tenth;
        std::fprintf(out_, "%s: %d%%\n", title_.c_str(), tenth * 10);
    }
    std::fflush(out_);
}

ProgressFactory TerminalProgressFactory(bool quiet) {
    const bool terminal = ::isatty(STDERR_FILENO) == 1;
    return [quiet, terminal]() -> std::unique_ptr<Progress> {
        if (quiet) {
            // Nothing is shown, but Ctrl+C must still cancel.
            struct QuietProgress final : Progress {
                void SetCaption(const std::string&) override {}
                void EnableCancel(bool) override {}
                void Show() override {}
                void ShowEstimate(const std::string&) override {}
                void ShowPosition(int) override {}
                void DispatchEvents() override {
                    if (Interrupted()) RequestCancel();
                }
            };
            return std::make_unique<QuietProgress>();
        }
        return std::make_unique<TerminalProgress>(stderr, terminal);
    };
}

}  // namespace sv::cli
