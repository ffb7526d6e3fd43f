#include "core/messages.h"

#include <cstdio>
#include <vector>

namespace kx {
namespace {

class StderrMessageService final : public MessageService {
public:
    Answer show(const Message& message) override {
        std::string text = message.text;
        for (char& c : text)
            if (c == '\r') c = '\n';
        std::fprintf(stderr, "%s: %s\n", message.title.c_str(), text.c_str());
        return message.buttons == Buttons::YesNo ? Answer::No : Answer::Ok;
    }
};

StderrMessageService defaultService;
MessageService* currentService = &defaultService;
std::vector<std::function<void()>> userWaitHooks;
thread_local MessageCapture* capture = nullptr;

}  // namespace

void SetMessageService(MessageService* service) {
    currentService = service ? service : &defaultService;
}

Answer ShowMessage(const std::string& text, Icon icon, Buttons buttons, const std::string& title) {
    Message message{text, title.empty() ? ApplicationTitle : title, icon, buttons};
    if (capture) {
        capture->messages.push_back(message);
        return buttons == Buttons::YesNo ? Answer::No : Answer::Ok;
    }
    BeforeUserWait();
    return currentService->show(message);
}

MessageCapture::MessageCapture() : previous_(capture) {
    capture = this;
}

MessageCapture::~MessageCapture() {
    capture = previous_;
}

void AddUserWaitHook(std::function<void()> hook) {
    userWaitHooks.push_back(std::move(hook));
}

void ClearUserWaitHooks() {
    userWaitHooks.clear();
}

void BeforeUserWait() {
    for (auto& hook : userWaitHooks)
        hook();
}

}  // namespace kx
