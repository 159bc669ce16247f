#include "common/ui/tooltip.h"

namespace velmora {

// Minimal first version: the tip text shows as the control's plain tooltip.
clsToolTip::~clsToolTip() = default;
void clsToolTip::setParentControl(QWidget *vData) { m_parent = vData; }
void clsToolTip::setToolTipTitle(const QString &vData) { m_title = vData; }
void clsToolTip::setToolTipText(const QString &vData) { m_text = vData; }
bool clsToolTip::Create()
{
    if (m_parent)
        m_parent->setToolTip(m_title + QLatin1Char('\n') + m_text);
    return false;
}

} // namespace velmora
