#pragma once
// The dialogs port for work on a worker thread: every message, question and cursor change is
// shown on the window's thread. Messages and the cursor do not wait; a question waits for its
// answer.
#include <QObject>

#include "base/Progress.h"

namespace sv {

class WindowThreadDialogs final : public UserDialogs {
  public:
    // dialogs is read on context's thread each time, so it may be swapped between calls.
    WindowThreadDialogs(QObject* context, UserDialogs* const* dialogs)
        : context_(context), dialogs_(dialogs) {}
    void Message(const std::string& text) override;
    bool Question(const std::string& text) override;
    Answer QuestionOrCancel(const std::string& text) override;
    void SetBusy(bool busy) override;

  private:
    template <typename Call>
    void OnWindowThread(Call call, bool wait);
    QObject* context_;
    UserDialogs* const* dialogs_;
};

}  // namespace sv
