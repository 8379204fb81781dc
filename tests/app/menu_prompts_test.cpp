// Status-bar prompts and tooltips of the commands, the recent-file entries included.
#include "app/command_ids.h"
#include "app/menu_layout.h"

#include <gtest/gtest.h>

namespace zentra {
namespace {

TEST(MenuPrompts, PromptBeforeTheLineBreakTipAfterIt) {
    EXPECT_EQ(CommandPrompt(cmd::kFileNew), "Create a new document");
    EXPECT_EQ(CommandTip(cmd::kFileNew), "New");
    EXPECT_EQ(CommandTip(cmd::kFileSaveAs), "Save As");
    // Every one of the ten recent-file entries, 57616 to 57625, opens a document.
    for (int id = 57616; id <= 57625; ++id) {
        EXPECT_EQ(CommandPrompt(id), "Open this document") << id;
        EXPECT_EQ(CommandTip(id), "") << id;
    }
    EXPECT_EQ(CommandPrompt(57626), "");
}

} // namespace
} // namespace zentra
