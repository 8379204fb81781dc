// The default set-up of graphs 1 to 5 for a new document, by meter family.
#pragma once

#include "records/graph_record.h"

namespace zentra {

struct CZentraDoc;

// Default set-up of graphs 1 to 5 for a new document, by meter family.
void ApplyGraphDefaults(CZentraDoc& doc);

} // namespace zentra
