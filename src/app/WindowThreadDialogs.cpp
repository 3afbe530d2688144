#include "app/WindowThreadDialogs.h"

#include <QThread>

namespace sv {

template <typename Call>
void WindowThreadDialogs::OnWindowThread(Call call, bool wait) {
    auto onWindow = [dialogs = dialogs_, call = std::move(call)]() mutable {
        if (*dialogs) call(**dialogs);
    };
    if (QThread::currentThread() == context_->thread()) return onWindow();
    QMetaObject::invokeMethod(context_, std::move(onWindow),
                              wait ? Qt::BlockingQueuedConnection : Qt::QueuedConnection);
}

void WindowThreadDialogs::Message(const std::string& text) {
    OnWindowThread([text](UserDialogs& d) { d.Message(text); }, false);
}

bool WindowThreadDialogs::Question(const std::string& text) {
    bool yes = false;
    OnWindowThread([text, &yes](UserDialogs& d) { yes = d.Question(text); }, true);
    return yes;
}

Answer WindowThreadDialogs::QuestionOrCancel(const std::string& text) {
    Answer answer = Answer::No;
    OnWindowThread([text, &answer](UserDialogs& d) { answer = d.QuestionOrCancel(text); }, true);
    return answer;
}

void WindowThreadDialogs::SetBusy(bool busy) {
    OnWindowThread([busy](UserDialogs& d) { d.SetBusy(busy); }, false);
}

}  // namespace sv
