// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
#include "download/ui/problemdialog.h"
#include "download/core/problems.h"

namespace velmora {

// The file dialog about strFile: an existing target file, or (blnReset) a
// connection the server reset before the file was complete. Its answer is
// the choice selected when it closes.
class frmFileAlert : public ProblemDialog
{
    Q_OBJECT
public:
    frmFileAlert(const QString &strFile, bool blnReset, QWidget *owner = nullptr);

    FileAlertAnswer answer() const { return m_answer; }

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void operationSelected(int position);
    bool m_reset = false;
    FileAlertAnswer m_answer = FileAlertAnswer::None;
};

} // namespace velmora
