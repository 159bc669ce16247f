#include "alerts/ui/alerts.h"

#include "alerts/ui/frmalert.h"
#include "alerts/ui/frmfilealert.h"
#include "common/core/globals.h"

namespace velmora {

AlertDialogs *AlertDialogs::instance()
{
    static AlertDialogs hub;
    return &hub;
}

namespace {

// Runs a freshly built dialog modally; it is deleted once control is back
// in whatever event loop called us, never under its own loop.
void RunModal(ProblemDialog *dialog)
{
    emit AlertDialogs::instance()->aboutToShow(dialog);
    dialog->exec();
    dialog->hide();
    dialog->deleteLater();
}

} // namespace

int ShowFileAlert(const QString &strFile, bool blnReset)
{
    blnConnectionReset = blnReset;
    auto *dialog = new frmFileAlert;
    dialog->setFile(strFile);
    RunModal(dialog);
    const int result = intAlertResult;
    intAlertResult = 0;
    blnConnectionReset = false;
    return result;
}

int ShowAlert(const QString &strProblem, const QString &strFile, bool blnOfferCancel)
{
    blnCanCancel = blnOfferCancel;
    auto *dialog = new frmAlert;
    dialog->setFile(strFile);
    dialog->setProblem(strProblem);
    RunModal(dialog);
    const int result = intAlertResult;
    intAlertResult = 0;
    blnCanCancel = false;
    return result;
}

FileAlertAnswer DialogProblemAnswerer::ShowFileAlert(const QString &strFile, bool blnReset)
{
    return FileAlertAnswer(velmora::ShowFileAlert(strFile, blnReset));
}

AlertAnswer DialogProblemAnswerer::ShowAlert(const DownloadProblem &problem, const QString &strFile,
                                             bool blnOfferCancel)
{
    return AlertAnswer(velmora::ShowAlert(problem.title(), strFile, blnOfferCancel));
}

} // namespace velmora
