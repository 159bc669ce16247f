// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "doubles.h"

namespace velmora::testing {

QString FixedSavePath::ShowSaveDialog(const QString &DefaultName, const QString &FileType)
{
    ++shown;
    defaultName = DefaultName;
    fileType = FileType;
    proposed << DefaultName;
    return path;
}

FileAlertAnswer ScriptedProblemAnswerer::ShowFileAlert(const QString &strFile, bool blnReset)
{
    const Problem problem = blnReset ? Problem::ConnectionReset : Problem::FileExists;
    return FileAlertAnswer(answer({true, ProblemText(problem), strFile, blnReset, problem}, m_fileAnswers));
}

AlertAnswer ScriptedProblemAnswerer::ShowAlert(const DownloadProblem &problem, const QString &strFile,
                                               bool blnOfferCancel)
{
    return AlertAnswer(answer({false, problem.title(), strFile, blnOfferCancel, problem.kind}, m_alertAnswers));
}

VerifyAnswer ScriptedProblemAnswerer::ShowVerifyAlert(const Verdict &verdict, const QString &strFile)
{
    verdicts << verdict;
    const Problem problem = Problem::VerifyMismatch;
    return VerifyAnswer(answer({false, ProblemText(problem), strFile, false, problem}, m_verifyAnswers));
}

QList<Problem> ScriptedProblemAnswerer::kinds()
{
    QList<Problem> out;
    for (const Question &q : std::as_const(questions))
        out << q.kind;
    return out;
}

int ScriptedProblemAnswerer::answer(const Question &q, QList<int> &queue)
{
    asked << q.title;
    questions << q;
    if (onQuestion)
        onQuestion(q);
    return queue.isEmpty() ? 1 : queue.takeFirst();
}

void RecordingView::SetStatusLabel(const QString &t)
{
    if (statuses.isEmpty() || statuses.last() != t)
        statuses << t;
}

bool EngineHarness::run(const QString &url)
{
    return engine.DownloadFile(url, QString(), QString());
}

} // namespace velmora::testing
