// The one way any part of the program talks to the user in a modal box. The desktop
// program installs a handler that shows real dialogs; tests install scripted answers;
// the command-line tools print to standard error.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace zentra::platform {

// YesNoCancel: Escape and the box's close button answer Cancel, which means "leave
// everything as it was".
enum class MessageButtons { Ok, YesNo, YesNoCancel };
enum class MessageIcon { None, Information, Warning, Error, Question };
enum class MessageAnswer { Ok, Yes, No, Cancel };

struct Message {
    std::string text;
    std::string caption; // empty: the program's default caption
    MessageButtons buttons = MessageButtons::Ok;
    MessageIcon icon = MessageIcon::None;
};

using MessageHandler = std::function<MessageAnswer(const Message&)>;

MessageAnswer ShowMessage(std::string_view text, std::string_view caption,
                          MessageButtons buttons = MessageButtons::Ok,
                          MessageIcon icon = MessageIcon::None);

// True when the user answered Yes to a Yes/No question.
inline bool AskYesNo(std::string_view text, std::string_view caption,
                     MessageIcon icon = MessageIcon::Question) {
    return ShowMessage(text, caption, MessageButtons::YesNo, icon) == MessageAnswer::Yes;
}

// Installs the handler; an empty one restores the default (standard error; Ok, No, or
// Cancel for a box that offers it).
void SetMessageHandler(MessageHandler handler);

} // namespace zentra::platform
