#pragma once
#include "alerts/ui/problemdialog.h"

namespace velmora {

// The general problem dialog; offers "取消下载任务." when blnCanCancel is set
// at load.
class frmAlert : public ProblemDialog
{
    Q_OBJECT
public:
    frmAlert();

private:
    void operationSelected(int position);
    void next();
    bool m_canCancel = false;
};

} // namespace velmora
