// Real dialogs behind the message-box seam: every ShowMessage / AskYesNo of the
// program becomes a modal QMessageBox over the active window.
#pragma once

#include "platform/message_box.h"

namespace zentra {

// The QMessageBox buttons and icon for a message. Kept apart from showing so it can be
// checked without a dialog. An empty caption is shown as the program's title.
struct QtMessageLook {
    int buttons = 0; // QMessageBox::StandardButtons
    int defaultButton = 0;
    int icon = 0; // QMessageBox::Icon
};
QtMessageLook LookOf(const platform::Message& message);

// Shows one message as a modal QMessageBox and returns the answer.
platform::MessageAnswer ShowQtMessage(const platform::Message& message);

// Installs ShowQtMessage as the program's message handler.
void InstallQtMessageHandler();

} // namespace zentra
