#include "download/ui/frmdownload.h"

#include <QWidget>

namespace velmora {

bool StartDownload(QWidget *mainWindow, const QString &, QString &, QString &)
{
    if (mainWindow)
        mainWindow->setEnabled(true);
    return false;
}

} // namespace velmora
