#pragma once
// Message boxes of the core. The core never talks to a window system: it raises
// its messages through one handler that the editor replaces with real dialogs,
// the command-line tool with a line on stderr, and the tests with a recorder.
#include <deque>
#include <functional>
#include <string>
#include <vector>

enum class MsgIcon { None, Critical, Question, Exclamation, Information };
enum class MsgButtons { OK, OKCancel, YesNo, YesNoCancel };
enum class MsgAnswer { OK, Cancel, Yes, No };

// The application's default message title.
inline const std::string AppTitle = "Celwright";

struct Message {
    std::string Text;
    MsgButtons Buttons = MsgButtons::OK;
    MsgIcon Icon = MsgIcon::None;
    std::string Title;
};

using MessageHandler = std::function<MsgAnswer(const Message&)>;

// Shows a message through the installed handler and returns the answer.
MsgAnswer MsgBox(const std::string& text, MsgButtons buttons = MsgButtons::OK,
                 MsgIcon icon = MsgIcon::None, const std::string& title = AppTitle);

// Installs a handler (an empty one restores the default) and returns the previous one.
// The default prints "title: text" to stderr and answers OK, or No to a question,
// so that nothing is ever overwritten without somebody saying yes.
MessageHandler SetMessageHandler(MessageHandler handler);

// Records every message while it lives and answers from a queue (OK, or No for
// Yes/No questions, when the queue is empty). Restores the previous handler.
class MessageRecorder {
public:
    MessageRecorder();
    ~MessageRecorder();
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    std::vector<Message> Shown;
    std::deque<MsgAnswer> Answers;

    // Texts of all shown messages, for compact assertions.
    std::vector<std::string> Texts() const;

private:
    MessageHandler previous_;
};
