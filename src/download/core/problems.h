#pragma once
// Who answers the download's problems. The program opens the problem dialogs;
// a test or a headless tool answers from a script.
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

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

// Answers from a script. Each dialog kind has a queue of answers used in
// order; once its queue is empty the default answer is given (1, what a user
// who just presses "下一步>" answers).
class ScriptedProblemAnswerer : public IProblemAnswerer
{
public:
    struct Question
    {
        bool fileDialog = false;  // the file dialog (true) or the general one
        QString title;            // "文件已存在", "服务器连接重置" or the problem text
        QString file;             // strFile as passed
        bool flag = false;        // blnReset (file dialog) or blnOfferCancel
    };

    ScriptedProblemAnswerer() = default;
    ScriptedProblemAnswerer(int fileAnswer, int alertAnswer) : m_fileDefault(fileAnswer), m_alertDefault(alertAnswer) {}

    void setFileAnswer(int code) { m_fileDefault = code; }
    void setAlertAnswer(int code) { m_alertDefault = code; }
    void setFileAnswers(const QList<int> &codes) { m_fileAnswers = codes; }
    void setAlertAnswers(const QList<int> &codes) { m_alertAnswers = codes; }

    int ShowFileAlert(const QString &strFile, bool blnReset) override;
    int ShowAlert(const QString &strProblem, const QString &strFile, bool blnOfferCancel) override;

    QStringList asked;           // every title asked, in order
    QList<Question> questions;   // the same questions in full
    // Called for each question before it is answered (may change the answers).
    std::function<void(const Question &)> onQuestion;

private:
    int answer(const QString &title, const QString &strFile, bool flag, QList<int> &queue, int fallback,
               bool fileDialog);

    int m_fileDefault = 1;
    int m_alertDefault = 1;
    QList<int> m_fileAnswers;
    QList<int> m_alertAnswers;
};

} // namespace velmora
