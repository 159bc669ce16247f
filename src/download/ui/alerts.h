// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The download problem dialogs and the procedures that open them.
#include "download/core/problems.h"

#include <QObject>
#include <QPointer>
#include <QWidget>

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

// Each opens its dialog modally, owned by `owner` (the window asking), and
// returns the user's answer once the dialog has closed.
// The file dialog: "文件已存在" (blnReset false) or "服务器连接重置" (true).
FileAlertAnswer ShowFileAlert(const QString &strFile, bool blnReset, QWidget *owner = nullptr);
// The general dialog; the cancel choice only when blnOfferCancel. None when
// closed by its close box.
AlertAnswer ShowAlert(const QString &strProblem, const QString &strFile, bool blnOfferCancel,
                      QWidget *owner = nullptr);

// "校验不符" for a saved file that does not match; None when closed by its close box.
VerifyAnswer ShowVerifyAlert(const Verdict &verdict, const QString &strFile, QWidget *owner = nullptr);

// Puts the download's problems to the user in the dialogs above, owned by
// the window that asks (the download window).
class DialogProblemAnswerer : public IProblemAnswerer
{
public:
    explicit DialogProblemAnswerer(QWidget *owner = nullptr) : m_owner(owner) {}
    FileAlertAnswer ShowFileAlert(const QString &strFile, bool blnReset) override;
    AlertAnswer ShowAlert(const DownloadProblem &problem, const QString &strFile, bool blnOfferCancel) override;
    VerifyAnswer ShowVerifyAlert(const Verdict &verdict, const QString &strFile) override;

private:
    QPointer<QWidget> m_owner;
};

} // namespace velmora
