#pragma once
// The download problem dialogs and the procedures that open them.
#include "download/core/problems.h"

#include <QObject>

class QDialog;

namespace velmora {

// Announces each problem dialog just before its modal loop runs, so that a
// test or a script can answer it; and each beep the dialogs sound.
class AlertDialogs : public QObject
{
    Q_OBJECT
public:
    static AlertDialogs *instance();
signals:
    void aboutToShow(QDialog *dialog);
    void beeped();
};

// The file dialog: "文件已存在" (blnReset false) or "服务器连接重置" (true).
// Returns 1 continue, 2 download again / give up (reset mode), 3 give up.
int ShowFileAlert(const QString &strFile, bool blnReset);
// The general dialog; the cancel choice only when blnOfferCancel.
// Returns 1 ignore, 2 cancel, 0 when closed by its close box.
int ShowAlert(const QString &strProblem, const QString &strFile, bool blnOfferCancel);

// Puts the download's problems to the user in the dialogs above.
class DialogProblemAnswerer : public IProblemAnswerer
{
public:
    FileAlertAnswer ShowFileAlert(const QString &strFile, bool blnReset) override;
    AlertAnswer ShowAlert(const DownloadProblem &problem, const QString &strFile, bool blnOfferCancel) override;
};

} // namespace velmora
