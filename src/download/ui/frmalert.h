// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
#include "download/ui/problemdialog.h"
#include "download/core/problems.h"

namespace velmora {

// The general problem dialog for strProblem about strFile; offers
// "取消下载任务." when blnOfferCancel. Its answer is None until "下一步>".
class frmAlert : public ProblemDialog
{
    Q_OBJECT
public:
    frmAlert(const QString &strProblem, const QString &strFile, bool blnOfferCancel, QWidget *owner = nullptr);

    AlertAnswer answer() const { return m_answer; }

private:
    void operationSelected(int position);
    void next();
    bool m_canCancel = false;
    AlertAnswer m_answer = AlertAnswer::None;
};

} // namespace velmora
