#pragma once
// Stand-ins for the user in front of the download: the Save-As dialog answered
// with a fixed path, the problem dialogs answered from a script.
#include "download/core/engine.h"
#include "download/core/problems.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

namespace velmora::testing {

class FixedSavePath : public ISaveDialog
{
public:
    QString path;
    QString defaultName;  // as last proposed
    QString fileType;
    QStringList proposed; // every name proposed, in order
    int shown = 0;
    QString ShowSaveDialog(const QString &DefaultName, const QString &FileType) override;
};

// Answers from a script, in the dialogs' own codes. Each dialog kind has a
// queue of answers used in order; once its queue is empty the default answer
// is given (1, what a user who just presses "下一步>" answers).
class ScriptedProblemAnswerer : public IProblemAnswerer
{
public:
    struct Question
    {
        bool fileDialog = false;  // the file dialog (true) or the general one
        QString title;            // "文件已存在", "服务器连接重置" or the problem's title
        QString file;             // strFile as passed
        bool flag = false;        // blnReset (file dialog) or blnOfferCancel
    };

    void setFileAnswers(const QList<int> &codes) { m_fileAnswers = codes; }
    void setAlertAnswers(const QList<int> &codes) { m_alertAnswers = codes; }

    FileAlertAnswer ShowFileAlert(const QString &strFile, bool blnReset) override;
    AlertAnswer ShowAlert(const DownloadProblem &problem, const QString &strFile, bool blnOfferCancel) override;

    QStringList asked;           // every title asked, in order
    QList<Question> questions;   // the same questions in full
    // Called for each question before it is answered (may change the answers).
    std::function<void(const Question &)> onQuestion;

private:
    int answer(const Question &q, QList<int> &queue);

    QList<int> m_fileAnswers;
    QList<int> m_alertAnswers;
};

// One download engine with a view that shows nothing, the fixed-path
// Save-As and the scripted answers.
struct EngineHarness
{
    DownloadState state;
    DownloadView view;
    FixedSavePath dialog;
    ScriptedProblemAnswerer answerer;
    DownloadEngine engine {state, &view, &dialog, &answerer};

    bool run(const QString &url);
};

} // namespace velmora::testing
