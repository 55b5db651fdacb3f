#include "storage/Link_arc.h"
