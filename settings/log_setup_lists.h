// The two parameter lists of the logging page as plain data: the offered parameters
// not yet chosen (availableList) and the chosen, printable ones (printableList), with
// the ">>", "<<" and "Clear" moves between them.
#pragma once

#include "document/zentra_doc.h"

#include <array>
#include <string>
#include <vector>

namespace zentra {

using LabelSlots = std::array<std::string, kSelectedParameters>;

struct ParameterLists {
    std::vector<std::string> availableList;
    std::vector<std::string> printableList;
    int availableSelection = -1; // -1: nothing selected
    int printableSelection = -1;
};

// availableList: the offered labels not among the printable ones, in offered order;
// printableList: the non-empty printable labels in slot order. First entries selected.
ParameterLists InitialLists(const LabelSlots& offered, const LabelSlots& printable);

enum class MoveResult { Moved, ListFull, NothingSelected };

// ">>": the selected available entry goes before the selected printable entry (or at
// the end when the last one, or none, is selected). Refused when 23 are printable.
MoveResult MoveToPrintable(ParameterLists& lists);

// "<<": the selected printable entry goes to the end of availableList.
MoveResult MoveToAvailable(ParameterLists& lists);

// "Clear": nothing printable, every offered label available again.
void ClearPrintable(ParameterLists& lists, const LabelSlots& offered);

// The printable entries in list order; the remaining slots empty.
LabelSlots PrintableSlots(const ParameterLists& lists);

} // namespace zentra
