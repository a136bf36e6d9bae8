#include "common/Profile.h"
