#include "document/project_file.h"
