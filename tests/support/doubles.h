// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

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
        Problem kind = Problem::Unexpected;  // the problem asked about
    };

    void setFileAnswers(const QList<int> &codes) { m_fileAnswers = codes; }
    void setAlertAnswers(const QList<int> &codes) { m_alertAnswers = codes; }
    void setVerifyAnswers(const QList<int> &codes) { m_verifyAnswers = codes; }

    FileAlertAnswer ShowFileAlert(const QString &strFile, bool blnReset) override;
    AlertAnswer ShowAlert(const DownloadProblem &problem, const QString &strFile, bool blnOfferCancel) override;
    VerifyAnswer ShowVerifyAlert(const Verdict &verdict, const QString &strFile) override;

    QList<Problem> kinds();      // the kind of every question, in order
    QList<Verdict> verdicts;     // every mismatch shown by the verify dialog
    QStringList asked;           // every title asked, in order
    QList<Question> questions;   // the same questions in full
    // Called for each question before it is answered (may change the answers).
    std::function<void(const Question &)> onQuestion;

private:
    int answer(const Question &q, QList<int> &queue);

    QList<int> m_fileAnswers;
    QList<int> m_alertAnswers;
    QList<int> m_verifyAnswers;
};

// A view that keeps what it was last shown, and every status in order.
class RecordingView : public DownloadView
{
public:
    QStringList statuses;  // consecutive repeats kept once
    QList<Phase> phases;   // every phase told, in order
    QString cancelCaption = QStringLiteral("取消");
    QString estimated;
    QString timeLabel;
    BodyFigures figures;  // the last ones handed over
    QString sourceLabel;
    bool openEnabled = false;
    bool shown = false;
    bool closed = false;
    void ShowWindow() override { shown = true; }
    void CloseWindow() override { closed = true; }
    void SetStatusLabel(const QString &t) override;
    void SetPhase(Phase phase) override
    {
        phases << phase;
        DownloadView::SetPhase(phase);
    }
    void SetSourceLabel(const QString &t) override { sourceLabel = t; }
    void SetTimeLabel(const QString &t) override { timeLabel = t; }
    void SetFigures(const BodyFigures &f) override { figures = f; }
    void SetEstimatedTimeLeft(const QString &t) override { estimated = t; }
    void SetCancelCaption(const QString &t) override { cancelCaption = t; }
    void SetOpenFolderEnabled(bool on) override { openEnabled = on; }
};

// One download engine with the recording view, the fixed-path Save-As and
// the scripted answers.
struct EngineHarness
{
    DownloadState state;
    RecordingView view;
    FixedSavePath dialog;
    ScriptedProblemAnswerer answerer;
    DownloadEngine engine {state, &view, &dialog, &answerer};

    bool run(const QString &url);
};

} // namespace velmora::testing
