#include "catalogue/ui/frmsearch.h"

namespace velmora {

frmSearch::frmSearch(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Velmora Music Search"));
}

} // namespace velmora
