#pragma once
// Who answers the download's problems. The program opens the problem dialogs;
// a test or a headless tool answers from a script.
#include <QString>

namespace velmora {

class IProblemAnswerer
{
public:
    virtual ~IProblemAnswerer() = default;
    // "文件已存在" (blnReset false) or "服务器连接重置" (true); strFile is the local path.
    // Returns 1, 2 or 3 as the file dialog does.
    virtual int ShowFileAlert(const QString &strFile, bool blnReset) = 0;
    // Any other problem; returns 1 or 2 (0 when closed without an answer).
    virtual int ShowAlert(const QString &strProblem, const QString &strFile, bool blnOfferCancel) = 0;
};

} // namespace velmora
