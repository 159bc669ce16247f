// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The download engine: one call of DownloadFile runs one download from the
// probe to the last byte, on the calling thread, and returns when it has
// finished, failed or been cancelled. It talks to its window, the Save-As
// dialog, the problem dialogs and the free-space query through the small
// interfaces below, so it runs the same in the window, in a headless tool
// and in a test.
#include "download/core/address.h"
#include "download/core/bodyfile.h"
#include "download/core/digest.h"
#include "download/core/downloadstate.h"
#include "download/core/hasher.h"
#include "download/core/phase.h"
#include "download/core/httpheaders.h"
#include "download/core/problems.h"
#include "download/core/progress.h"
#include "net/failure.h"

#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

namespace velmora {

class Probe;
namespace net {
class Transfer;
}

// What the engine shows. Every call only sets texts or states; none blocks.
class DownloadView
{
public:
    virtual ~DownloadView() = default;
    virtual void ShowWindow() {}
    // Unload: the window leaves the screen. DownloadFile may still be running.
    virtual void CloseWindow() {}
    virtual void SetSourceLabel(const QString &) {}
    virtual void SetToLabel(const QString &) {}
    virtual void SetStatusLabel(const QString &) {}
    // Where the download stands; a view shows it as the phase's own words.
    virtual void SetPhase(Phase phase) { SetStatusLabel(PhaseText(phase)); }
    virtual void SetRateLabel(const QString &) {}
    virtual void SetTimeLabel(const QString &) {}
    virtual void SetEstimatedTimeLeft(const QString &) {}
    virtual void SetCancelCaption(const QString &) {}
    virtual void SetOpenFolderEnabled(bool) {}
    // Where the body stands: after every chunk, and on every tick of the
    // one-second clock while the body runs (so the rate falls while nothing
    // arrives). Called that often, it should only keep the numbers; the
    // texts (time, rate, percentage) and the bar come from ComputeProgress
    // when the view shows them.
    virtual void SetFigures(const BodyFigures &) {}
    virtual void Beep() {}
};

class ILinkRefresher;

class ISaveDialog
{
public:
    virtual ~ISaveDialog() = default;
    // The chosen full path, or "" when the user cancelled.
    virtual QString ShowSaveDialog(const QString &DefaultName, const QString &FileType) = 0;
};

// The file name proposed for an address: its last segment without query or
// fragment, decoded and made safe; "" when nothing but a host follows the scheme.
QString DefaultNameOf(const QString &address);

// What a download ended with, for whoever started it to act on or put into words.
struct DownloadOutcome
{
    enum class Ending {
        Finished,  // the whole file, and nothing said it is not the one published
        Kept,      // whole, but it does not match what vouches for it, and was kept so
        Failed,    // not the whole file: a problem ended it
        // Not the whole file, and the user's own choice (Cancel, Escape, the
        // close box, cancelling Save-As, giving up on an existing file): it
        // ends quietly, where a failure is told as "下载未完成".
        Cancelled,
    };
    Ending ending = Ending::Failed;
    bool hasProblem = false;
    Problem problem = Problem::Incomplete;  // the last problem met before the end, when hasProblem
    qint64 bytes = 0;     // of the file on disk
    Verdict verdict;      // of the whole file; None when it was not whole
};

class DownloadEngine : public QObject
{
    Q_OBJECT
public:
    static constexpr qint64 kChunk = 4096;        // body read size
    static constexpr qint64 kResumeMargin = 4096; // fetched again on resume
    static constexpr qint64 kYieldIntervalMs = 10; // event loop served between chunks

    DownloadEngine(DownloadState &state, DownloadView *view, ISaveDialog *saveDialog,
                   IProblemAnswerer *answerer, QObject *parent = nullptr);
    ~DownloadEngine() override;

    bool DownloadFile(const QString &StrURL, const QString &UserName, const QString &Password);

    // Stop request (Cancel button, Escape, close box): wakes the current wait.
    void Cancel();

    bool isRunning() const { return m_running; }
    // What the last DownloadFile ended with.
    const DownloadOutcome &Outcome() const { return m_run.outcome; }
    qint64 Received() const { return m_run.received; }
    qint64 Total() const { return m_run.total; }
    DownloadState &state() { return m_state; }
    void setProblemAnswerer(IProblemAnswerer *answerer) { m_answerer = answerer; }
    void setSaveDialog(ISaveDialog *dialog) { m_saveDialog = dialog; }
    // Asked for a fresh address once per failure when the server answers
    // 403, 404 or 410 (none by default: the problem is shown).
    void setLinkRefresher(ILinkRefresher *refresher) { m_refresher = refresher; }
    // Time limits of the probe and the transfer (velmora-fetch --timeout).
    void setNetSettings(const net::NetSettings &limits);

    // Free bytes for a file to be saved at path; DiskFreeSpace by default.
    std::function<qint64(const QString &)> freeSpace;

    // The window's one-second clock while the body runs: varElapsed follows
    // the download's body time, and the figures go to the view again.
    QTimer TimerTime;

signals:
    void wake();
    // After each chunk of the body has been written and counted.
    void bodyProgress(qint64 received, qint64 total);

private:
    // What a step of the download leads to.
    enum class Next {
        GoOn,    // the next step runs
        Finish,  // straight to the finish, which judges what was done
        Stop,    // the step has shown its own problem: the finish judges, but asks nothing more
        Resume,  // the finish asks to continue the file: back to the length request
        Restart, // the local file turned out not to be a part of this one: fetch it from byte 0
        Refetch, // the whole file did not match and the user asked for it once more from byte 0
        Refreshed, // the address expired and was found again: on with the new one, keeping what is on disk
    };

    // Everything one call of DownloadFile knows about its download.
    struct Run
    {
        AddressParts probed;  // the address as given; the probe's redirect changes its strRequestURL
        QString probeAnswer;  // the last text received on the probe connection
        bool headReceived = false;  // the probe's answer has arrived
        Next probeOutcome = Next::GoOn;  // Stop when that answer ended the download
        bool probeNotFound = false;      // that answer was a "404"
        QString address;      // the address fetched, after the probe's redirect
        QString userName;
        QString password;
        QString savePath;
        QString localName;    // file name part of savePath
        QString remoteName;   // file name part of the address
        bool resume = false;  // continuing a file already on disk
        bool badBody = false; // the server sent something that cannot be this file
        bool success = false;
        qint64 startOffset = 0;  // first byte fetched by this transfer
        double startTime = 0;    // clock seconds the rate is measured from
        QByteArray validator;    // ETag or Last-Modified of the version this run fetches
        qint64 checkEnd = 0;     // body bytes before this are compared with the disk first
        QByteArray held;         // body bytes waiting for that comparison
        bool figuresShown = false;  // this transfer has handed the view its figures
        // The body clock of the whole download: the seconds its body
        // transfers have run, resumes included, and the bytes they brought.
        double bodySeconds = 0;
        double bodySince = -1;   // clock seconds the running transfer began; -1: none runs
        qint64 fetched = 0;
        bool linkRefreshed = false; // the address was found again once: a second failure is shown
        qint64 received = 0;  // bytes of the file that are on disk (or held for the check)
        qint64 total = 0;     // the file's length, from the length request
        QList<Expectation> expected;  // what the name and the answer vouch for; set when hashing starts
        DownloadOutcome outcome;
    };

    void beginRun(const QString &StrURL, const QString &UserName, const QString &Password);
    Next probe();
    Next probeFoundNothing();
    Next chooseTarget();
    Next askExistingFile();
    void takeKeptVersion();
    void keepVersion();
    Next transferOnce();
    Next transferSteps();
    Next askLength();
    void takeValidator();
    Next askRange();
    Next restartFromZero();
    Next judgeStatus();
    Next checkStatus(int status);
    Next refreshLink(int status);
    Next openTarget();
    Next receiveBody();
    Next checkResumedBytes(QByteArrayView chunk, bool last);
    bool matchesDisk(const QByteArray &bytes);
    // owner: the block the chunk lies in, kept instead of a copy where given.
    Next storeChunk(QByteArrayView chunk, const QByteArray &owner = QByteArray());
    void hashChunk(QByteArrayView chunk, const QByteArray &owner);
    void waitForHashing();
    void startHashing(qint64 prefix);
    QList<Expectation> expectations() const;
    Verdict verifyWhole();
    Next finishWhole();
    Next finishMismatch(const Verdict &verdict);
    void startAgain();
    Next flushBody();
    void showProgress();
    void showProgress(double now);  // now: clockSeconds() as read by the caller
    void startBodyClock();
    void stopBodyClock();
    double bodySecondsNow() const;
    void TimerTime_Timer();
    Next finish(Next outcome);
    Next finishIncomplete(bool stopped);
    void showComplete();
    void endRun();

    // The general problem dialog, shown an address without user name or password.
    AlertAnswer showAlert(const DownloadProblem &problem, const QString &file, bool offerCancel);
    // Shows a problem and stops the download.
    Next stopWith(const DownloadProblem &problem, const QString &file);
    // Starts a request of the transfer and waits for its headers.
    Next request(const QByteArray &range, bool headersOnly, const QByteArray &ifRange = QByteArray());
    bool waitUntil(const std::function<bool()> &done);
    void yieldOnce();
    void onProbeData(const QString &text);
    void followProbeRedirect(const QString &location);
    double clockSeconds() const;

    DownloadState &m_state;
    DownloadView *m_view;
    ISaveDialog *m_saveDialog;
    IProblemAnswerer *m_answerer;
    ILinkRefresher *m_refresher = nullptr;
    Probe *m_probe;
    net::Transfer *m_transfer;
    net::NetSettings m_limits;
    QElapsedTimer m_clock;
    QElapsedTimer m_sinceYield;
    Run m_run;
    // The hashes of the file while it is written; before the file, which
    // tells it what it wrote until the file's writer has ended.
    Hasher m_hasher;
    // The local file while the body is written. One for all runs: its
    // write block is allocated once.
    BodyFile m_file;
    bool m_running = false;
};

} // namespace velmora
