#include "display/graph/graph_record.h"
