// The real dialogs behind the message seam: buttons and icon for each kind of message,
// and a Yes/No box answered from the keyboard.
#include "app/message_box_qt.h"

#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace zentra {
namespace {

using platform::Message;
using platform::MessageButtons;
using platform::MessageIcon;

TEST(QtMessageBox, QuestionsGetYesNoAndPlainMessagesOk) {
    const QtMessageLook question = LookOf({"Quit?", "Quit Application", MessageButtons::YesNo});
    EXPECT_EQ(question.buttons, int(QMessageBox::Yes | QMessageBox::No));
    EXPECT_EQ(question.defaultButton, int(QMessageBox::Yes));
    EXPECT_EQ(question.icon, int(QMessageBox::Question));

    const QtMessageLook plain = LookOf({"Cannot Open/Create File", "", MessageButtons::Ok});
    EXPECT_EQ(plain.buttons, int(QMessageBox::Ok));
    EXPECT_EQ(plain.icon, int(QMessageBox::NoIcon));
    const QtMessageLook save = LookOf({"Save changes to NewLog?", "", MessageButtons::YesNoCancel});
    EXPECT_EQ(save.buttons, int(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel));
    EXPECT_EQ(save.defaultButton, int(QMessageBox::Yes));
    EXPECT_EQ(save.icon, int(QMessageBox::Question));
    // An explicit icon wins over the question mark.
    EXPECT_EQ(LookOf({"x", "", MessageButtons::YesNo, MessageIcon::Warning}).icon,
              int(QMessageBox::Warning));
}

// Answers the next message box from the keyboard and notes its caption and text.
// Qt::Key_unknown stands for the box's close button.
struct BoxAnswerer {
    QString caption, text;
    void Press(Qt::Key key) {
        QTimer::singleShot(0, [this, key] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            caption = box->windowTitle();
            text = box->text();
            if (key == Qt::Key_unknown)
                box->close();
            else
                QTest::keyClick(box, key);
        });
    }
};

TEST(QtMessageBox, ShowsTheCaptionOrTheProgramTitleAndReturnsTheAnswer) {
    InstallQtMessageHandler();
    BoxAnswerer answerer;
    answerer.Press(Qt::Key_Escape); // Escape on a Yes/No box is No
    EXPECT_FALSE(platform::AskYesNo("Quit Application: Are You Sure?", "Quit Application"));
    EXPECT_EQ(answerer.caption, "Quit Application");
    EXPECT_EQ(answerer.text, "Quit Application: Are You Sure?");

    answerer.Press(Qt::Key_Y);
    EXPECT_TRUE(platform::AskYesNo("Set the current settings as default?", "Default Settings"));

    answerer.Press(Qt::Key_Return);
    EXPECT_EQ(platform::ShowMessage("Cannot Open/Create File", ""), platform::MessageAnswer::Ok);
    EXPECT_EQ(answerer.caption, "Zentra");

    // The save question: Escape and the close button are Cancel, not No.
    const auto askSave = [] {
        return platform::ShowMessage("Save changes to NewLog?", {}, MessageButtons::YesNoCancel);
    };
    const std::pair<Qt::Key, platform::MessageAnswer> answers[] = {
        {Qt::Key_Escape, platform::MessageAnswer::Cancel},
        {Qt::Key_unknown, platform::MessageAnswer::Cancel},
        {Qt::Key_N, platform::MessageAnswer::No},
        {Qt::Key_Return, platform::MessageAnswer::Yes}};
    for (const auto& [key, answer] : answers) {
        answerer.Press(key);
        EXPECT_EQ(askSave(), answer) << key;
    }
    platform::SetMessageHandler({});
}

} // namespace
} // namespace zentra
