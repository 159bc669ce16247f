// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
#include "download/core/digest.h"
#include "download/core/problems.h"
#include "download/ui/problemdialog.h"

namespace velmora {

// "校验不符": the saved file strFile does not hash to what its name or its
// server said. Offers to fetch it once more or to keep it as it is. Its
// answer is None until "下一步>".
class frmVerifyAlert : public ProblemDialog
{
    Q_OBJECT
public:
    frmVerifyAlert(const Verdict &verdict, const QString &strFile, QWidget *owner = nullptr);

    VerifyAnswer answer() const { return m_answer; }

private:
    void operationSelected(int position);
    void next();
    QString m_mismatch;  // what was expected and what came
    VerifyAnswer m_answer = VerifyAnswer::None;
};

} // namespace velmora
