#pragma once
#include <QString>

namespace velmora {
class System;  // facts about this computer
}
