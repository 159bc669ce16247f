#pragma once
#include "alerts/ui/problemdialog.h"

namespace velmora {

// The file dialog: an existing target file, or a connection the server
// reset before the file was complete (blnConnectionReset decides, read at load).
class frmFileAlert : public ProblemDialog
{
    Q_OBJECT
public:
    frmFileAlert();

private:
    void operationSelected(int position);
    bool m_reset = false;
};

} // namespace velmora
