#include "app/message_box_qt.h"

#include "app/menu_layout.h"

#include <QApplication>
#include <QMessageBox>
#include <QString>

namespace zentra {

QtMessageLook LookOf(const platform::Message& message) {
    QtMessageLook look;
    const bool question = message.buttons != platform::MessageButtons::Ok;
    switch (message.buttons) {
    case platform::MessageButtons::Ok:
        look.buttons = int(QMessageBox::Ok);
        break;
    case platform::MessageButtons::YesNo:
        look.buttons = int(QMessageBox::Yes | QMessageBox::No);
        break;
    case platform::MessageButtons::YesNoCancel:
        // With a Cancel button the box takes Escape and its close button as Cancel.
        look.buttons = int(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    }
    look.defaultButton = question ? int(QMessageBox::Yes) : int(QMessageBox::Ok);
    switch (message.icon) {
    case platform::MessageIcon::Information:
        look.icon = QMessageBox::Information;
        break;
    case platform::MessageIcon::Warning:
        look.icon = QMessageBox::Warning;
        break;
    case platform::MessageIcon::Error:
        look.icon = QMessageBox::Critical;
        break;
    case platform::MessageIcon::Question:
        look.icon = QMessageBox::Question;
        break;
    case platform::MessageIcon::None:
        // A plain question still gets the question mark, as the platform's boxes do.
        look.icon = question ? QMessageBox::Question : QMessageBox::NoIcon;
        break;
    }
    return look;
}

platform::MessageAnswer ShowQtMessage(const platform::Message& message) {
    const QtMessageLook look = LookOf(message);
    const QString caption =
        message.caption.empty()
            ? QString::fromUtf8(kApplicationTitle.data(), qsizetype(kApplicationTitle.size()))
            : QString::fromLocal8Bit(message.caption.c_str());
    QMessageBox box(QMessageBox::Icon(look.icon), caption,
                    QString::fromLocal8Bit(message.text.c_str()),
                    QMessageBox::StandardButtons(look.buttons), QApplication::activeWindow());
    box.setDefaultButton(QMessageBox::StandardButton(look.defaultButton));
    box.setTextFormat(Qt::PlainText);
    const int result = box.exec();
    if (message.buttons == platform::MessageButtons::Ok)
        return platform::MessageAnswer::Ok;
    if (result == QMessageBox::Yes)
        return platform::MessageAnswer::Yes;
    if (result == QMessageBox::No || message.buttons == platform::MessageButtons::YesNo)
        return platform::MessageAnswer::No;
    return platform::MessageAnswer::Cancel;
}

void InstallQtMessageHandler() {
    platform::SetMessageHandler(ShowQtMessage);
}

} // namespace zentra
