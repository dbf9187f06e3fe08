#include "base/Messages.h"

#include <cstdio>

namespace {

MsgAnswer DefaultAnswer(MsgButtons buttons) {
    switch (buttons) {
    case MsgButtons::YesNo:
    case MsgButtons::YesNoCancel: return MsgAnswer::No;
    case MsgButtons::OKCancel:
    case MsgButtons::OK: break;
    }
    return MsgAnswer::OK;
}

MsgAnswer PrintToStderr(const Message& m) {
    std::fprintf(stderr, "%s: %s\n", m.Title.c_str(), m.Text.c_str());
    return DefaultAnswer(m.Buttons);
}

MessageHandler& Current() {
    static MessageHandler handler = PrintToStderr;
    return handler;
}

} // namespace

MsgAnswer MsgBox(const std::string& text, MsgButtons buttons, MsgIcon icon, const std::string& title) {
    return Current()(Message{text, buttons, icon, title});
}

MessageHandler SetMessageHandler(MessageHandler handler) {
    MessageHandler previous = Current();
    Current() = handler ? std::move(handler) : MessageHandler(PrintToStderr);
    return previous;
}

MessageRecorder::MessageRecorder() {
    previous_ = SetMessageHandler([this](const Message& m) {
        Shown.push_back(m);
        if (!Answers.empty()) {
            MsgAnswer a = Answers.front();
            Answers.pop_front();
            return a;
        }
        return DefaultAnswer(m.Buttons);
    });
}

MessageRecorder::~MessageRecorder() { SetMessageHandler(previous_); }

std::vector<std::string> MessageRecorder::Texts() const {
    std::vector<std::string> out;
    for (const auto& m : Shown) out.push_back(m.Text);
    return out;
}
