#pragma once
#include "alerts/ui/problemdialog.h"

namespace velmora {

// The file dialog: an existing target file, or a connection the server
// reset before the file was complete (blnConnectionReset decides, read at load).
class FrmFileAlert : public ProblemDialog
{
    Q_OBJECT
public:
    FrmFileAlert();

private:
    void operationSelected(int position);
    bool m_reset = false;
};

} // namespace velmora
