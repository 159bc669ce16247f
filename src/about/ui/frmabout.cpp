#include "about/ui/frmabout.h"

#include "common/core/globals.h"

namespace velmora {

frmAbout::frmAbout(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("关于 Velmora"));
}

} // namespace velmora
