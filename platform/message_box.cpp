#include "platform/message_box.h"

#include <cstdio>
#include <utility>

namespace zentra::platform {
namespace {
MessageHandler& HandlerSlot() {
    static MessageHandler slot;
    return slot;
}

MessageAnswer PrintToStandardError(const Message& message) {
    std::fprintf(stderr, "%s%s%s\n", message.caption.c_str(), message.caption.empty() ? "" : ": ",
                 message.text.c_str());
    // Nobody can answer: the choice that changes nothing.
    switch (message.buttons) {
    case MessageButtons::YesNo:
        return MessageAnswer::No;
    case MessageButtons::YesNoCancel:
        return MessageAnswer::Cancel;
    case MessageButtons::Ok:
        break;
    }
    return MessageAnswer::Ok;
}
} // namespace

MessageAnswer ShowMessage(std::string_view text, std::string_view caption, MessageButtons buttons,
                          MessageIcon icon) {
    Message message{std::string(text), std::string(caption), buttons, icon};
    if (const auto& handler = HandlerSlot())
        return handler(message);
    return PrintToStandardError(message);
}

void SetMessageHandler(MessageHandler handler) {
    HandlerSlot() = std::move(handler);
}

} // namespace zentra::platform
