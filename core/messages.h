#pragma once

#include <functional>
#include <string>
#include <vector>

namespace kx {

inline constexpr const char* ApplicationTitle = "KX3105 Evaluation Software";

enum class Icon { None, Warning, Information, Question };
enum class Buttons { Ok, YesNo };
enum class Answer { Ok, Yes, No };

// One message box as the program means it: exact text (line breaks as written, CR or CR LF),
// title, icon and buttons. Display layers translate line breaks; tests compare the text as is.
struct Message {
    std::string text;
    std::string title;
    Icon icon = Icon::None;
    Buttons buttons = Buttons::Ok;

    bool operator==(const Message&) const = default;
};

// Every message box of the program goes through the installed service, so a test can answer
// them from a script instead of waiting on a real dialog.
class MessageService {
public:
    virtual ~MessageService() = default;
    virtual Answer show(const Message& message) = 0;
};

// Installs the service that shows messages; nullptr restores the default, which writes the
// message to standard error and answers OK, or No to a question.
void SetMessageService(MessageService* service);

// Shows a message; an empty title becomes the application title.
Answer ShowMessage(const std::string& text, Icon icon = Icon::None, Buttons buttons = Buttons::Ok,
                   const std::string& title = {});

// While one lives on a thread, ShowMessage there records the message instead of showing it and
// answers as the default service does (OK, or No to a question): work on a worker thread hands
// its messages to the window's thread this way.
class MessageCapture {
public:
    MessageCapture();
    ~MessageCapture();
    MessageCapture(const MessageCapture&) = delete;
    MessageCapture& operator=(const MessageCapture&) = delete;

    std::vector<Message> messages;

private:
    MessageCapture* previous_;
};

// The program is about to wait for the user (a message box, an idle event loop). Whatever must
// be complete at that moment, such as the port trace, registers a hook here.
void AddUserWaitHook(std::function<void()> hook);
void ClearUserWaitHooks();
void BeforeUserWait();

}  // namespace kx
