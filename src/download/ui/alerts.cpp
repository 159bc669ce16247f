// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "download/ui/alerts.h"

#include "download/ui/frmalert.h"
#include "download/ui/frmfilealert.h"
#include "download/ui/frmverifyalert.h"

namespace velmora {

AlertDialogs *AlertDialogs::instance()
{
    static AlertDialogs hub;
    return &hub;
}

namespace {

// Runs a freshly built dialog modally and returns its answer; the dialog is
// deleted once control is back in whatever event loop called us, never
// under its own loop.
template<typename Dialog>
auto RunModal(Dialog *dialog)
{
    emit AlertDialogs::instance()->aboutToShow(dialog);
    dialog->exec();
    dialog->hide();
    const auto answer = dialog->answer();
    dialog->deleteLater();
    return answer;
}

} // namespace

FileAlertAnswer ShowFileAlert(const QString &strFile, bool blnReset, QWidget *owner)
{
    return RunModal(new frmFileAlert(strFile, blnReset, owner));
}

AlertAnswer ShowAlert(const QString &strProblem, const QString &strFile, bool blnOfferCancel, QWidget *owner)
{
    return RunModal(new frmAlert(strProblem, strFile, blnOfferCancel, owner));
}

VerifyAnswer ShowVerifyAlert(const Verdict &verdict, const QString &strFile, QWidget *owner)
{
    return RunModal(new frmVerifyAlert(verdict, strFile, owner));
}

FileAlertAnswer DialogProblemAnswerer::ShowFileAlert(const QString &strFile, bool blnReset)
{
    return velmora::ShowFileAlert(strFile, blnReset, m_owner);
}

AlertAnswer DialogProblemAnswerer::ShowAlert(const DownloadProblem &problem, const QString &strFile,
                                             bool blnOfferCancel)
{
    return velmora::ShowAlert(problem.title(), strFile, blnOfferCancel, m_owner);
}

VerifyAnswer DialogProblemAnswerer::ShowVerifyAlert(const Verdict &verdict, const QString &strFile)
{
    return velmora::ShowVerifyAlert(verdict, strFile, m_owner);
}

} // namespace velmora
