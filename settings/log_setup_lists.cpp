#include "settings/log_setup_lists.h"

#include <algorithm>

namespace zentra {
namespace {

int ClampSelection(int selection, std::size_t size) {
    if (size == 0)
        return -1;
    return std::clamp(selection, 0, static_cast<int>(size) - 1);
}

bool Valid(int selection, std::size_t size) {
    return selection >= 0 && selection < static_cast<int>(size);
}

} // namespace

ParameterLists InitialLists(const LabelSlots& offered, const LabelSlots& printable) {
    ParameterLists lists;
    for (const std::string& label : offered)
        if (std::find(printable.begin(), printable.end(), label) == printable.end())
            lists.availableList.push_back(label);
    for (const std::string& label : printable)
        if (!label.empty())
            lists.printableList.push_back(label);
    lists.availableSelection = lists.availableList.empty() ? -1 : 0;
    lists.printableSelection = lists.printableList.empty() ? -1 : 0;
    return lists;
}

MoveResult MoveToPrintable(ParameterLists& lists) {
    if (lists.printableList.size() >= kSelectedParameters)
        return MoveResult::ListFull;
    auto& available = lists.availableList;
    auto& printable = lists.printableList;
    if (!Valid(lists.availableSelection, available.size()))
        return MoveResult::NothingSelected;

    std::string label = std::move(available[static_cast<std::size_t>(lists.availableSelection)]);
    available.erase(available.begin() + lists.availableSelection);
    // The same position stays selected; past the end that is the new last entry.
    lists.availableSelection = ClampSelection(lists.availableSelection, available.size());

    const int selected = lists.printableSelection;
    if (printable.empty()) {
        printable.push_back(std::move(label));
        lists.printableSelection = 0;
    } else if (!Valid(selected, printable.size())) {
        printable.push_back(std::move(label));
        lists.printableSelection = 0;
    } else if (selected == static_cast<int>(printable.size()) - 1) {
        printable.push_back(std::move(label));
        lists.printableSelection = static_cast<int>(printable.size()) - 1;
    } else {
        // Inserted before the selected entry, which keeps the selection.
        printable.insert(printable.begin() + selected, std::move(label));
        lists.printableSelection = selected + 1;
    }
    return MoveResult::Moved;
}

MoveResult MoveToAvailable(ParameterLists& lists) {
    auto& printable = lists.printableList;
    if (!Valid(lists.printableSelection, printable.size()))
        return MoveResult::NothingSelected;
    std::string label = std::move(printable[static_cast<std::size_t>(lists.printableSelection)]);
    printable.erase(printable.begin() + lists.printableSelection);
    lists.printableSelection = ClampSelection(lists.printableSelection, printable.size());
    lists.availableList.push_back(std::move(label));
    if (lists.availableSelection < 0)
        lists.availableSelection = 0;
    return MoveResult::Moved;
}

void ClearPrintable(ParameterLists& lists, const LabelSlots& offered) {
    lists.printableList.clear();
    lists.printableSelection = -1;
    lists.availableList.assign(offered.begin(), offered.end());
    lists.availableSelection = lists.availableList.empty() ? -1 : 0;
}

LabelSlots PrintableSlots(const ParameterLists& lists) {
    LabelSlots slots{};
    const std::size_t n = std::min(lists.printableList.size(), slots.size());
    std::copy_n(lists.printableList.begin(), n, slots.begin());
    return slots;
}

} // namespace zentra
