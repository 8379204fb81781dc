#include "acquisition/calendar.h"
