// The README and the user guide name menu items as the menus spell them.
#include "app/menu_layout.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>

namespace zentra {
namespace {

// "&Help Topics" -> "Help Topics", "&Print...\tCtrl+P" -> "Print".
std::string Plain(std::string_view text) {
    std::string plain;
    for (char c : text.substr(0, text.find('\t')))
        if (c != '&')
            plain += c;
    while (plain.ends_with("."))
        plain.pop_back();
    return plain;
}

std::string Slurp(const std::string& relative) {
    std::ifstream in(std::string(ZENTRA_SOURCE_DIR) + "/" + relative);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(DocsMenu, EveryMenuPathNamesAMenuItem) {
    std::map<std::string, std::set<std::string>> menus;
    for (const MenuSpec& menu : MainMenuSpec())
        for (const MenuItemSpec& item : menu.items)
            menus[Plain(menu.title)].insert(Plain(item.text));
    // "Help -> Help Topics" in the README, "<b>Help &gt; Help Topics</b>" in the guide.
    const std::regex readme(R"(\b([A-Z][a-z]+) -> ([A-Z][A-Za-z]*(?: [A-Z][A-Za-z]*)*))");
    const std::regex guide(R"(<b>([A-Z][a-z]+) &gt;\s+([^<]+)</b>)");
    int checked = 0;
    for (const auto& [file, pattern] :
         {std::pair{"README.md", readme}, std::pair{"app/help/guide.html", guide}}) {
        const std::string text = Slurp(file);
        ASSERT_FALSE(text.empty()) << file;
        for (std::sregex_iterator m(text.begin(), text.end(), pattern), end; m != end; ++m) {
            const auto menu = menus.find((*m)[1]);
            if (menu == menus.end())
                continue; // "Communication -> Connect": a page's button, not a menu
            // "Survey Report..." in a text names the item "S&urvey Report...".
            const std::string item =
                Plain(std::regex_replace((*m)[2].str(), std::regex(R"(\s+)"), " "));
            EXPECT_TRUE(menu->second.contains(item)) << file << ": " << (*m)[0];
            ++checked;
        }
    }
    EXPECT_GT(checked, 10);
}

} // namespace
} // namespace zentra
