#include "download/core/problems.h"

namespace velmora {

int ScriptedProblemAnswerer::ShowFileAlert(const QString &strFile, bool blnReset)
{
    const QString title = blnReset ? QStringLiteral("服务器连接重置") : QStringLiteral("文件已存在");
    return answer(title, strFile, blnReset, m_fileAnswers, m_fileDefault, true);
}

int ScriptedProblemAnswerer::ShowAlert(const QString &strProblem, const QString &strFile, bool blnOfferCancel)
{
    return answer(strProblem, strFile, blnOfferCancel, m_alertAnswers, m_alertDefault, false);
}

int ScriptedProblemAnswerer::answer(const QString &title, const QString &strFile, bool flag, QList<int> &queue,
                                    int fallback, bool fileDialog)
{
    asked << title;
    Question q;
    q.fileDialog = fileDialog;
    q.title = title;
    q.file = strFile;
    q.flag = flag;
    questions << q;
    if (onQuestion)
        onQuestion(q);
    return queue.isEmpty() ? fallback : queue.takeFirst();
}

} // namespace velmora
