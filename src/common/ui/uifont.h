#pragma once
#include <QFont>

namespace velmora {
// The windows are designed for Tahoma; where it is missing the CJK sans face
// stands in, so Chinese captions always render.
QFont UiFont(qreal pointSize);
}
