#include "about/core/system.h"
