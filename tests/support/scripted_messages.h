#pragma once

#include <deque>
#include <vector>

#include "core/messages.h"

// Answers message boxes from a script and remembers every one shown. An unscripted question is
// answered No and an unscripted OK box Ok, so a test never waits on a dialog.
class ScriptedMessages final : public kx::MessageService {
public:
    ScriptedMessages() { kx::SetMessageService(this); }
    ~ScriptedMessages() override { kx::SetMessageService(nullptr); }
    ScriptedMessages(const ScriptedMessages&) = delete;
    ScriptedMessages& operator=(const ScriptedMessages&) = delete;

    void answer(kx::Answer a) { answers.push_back(a); }

    kx::Answer show(const kx::Message& message) override {
        shown.push_back(message);
        if (onShow) onShow(message);
        if (!answers.empty()) {
            const kx::Answer a = answers.front();
            answers.pop_front();
            return a;
        }
        return message.buttons == kx::Buttons::YesNo ? kx::Answer::No : kx::Answer::Ok;
    }

    std::vector<kx::Message> shown;
    std::deque<kx::Answer> answers;
    std::function<void(const kx::Message&)> onShow;
};
