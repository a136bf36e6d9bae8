#include "common/AutomationDate.h"
