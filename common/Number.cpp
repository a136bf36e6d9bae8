#include "common/Number.h"
