#pragma once
// The download engine: one call of DownloadFile runs one download from the
// probe to the last byte, on the calling thread, and returns when it has
// finished, failed or been cancelled. It talks to its window, the Save-As
// dialog, the problem dialogs and the free-space query through the small
// interfaces below, so it runs the same in the window, in a headless tool
// and in a test.
#include "download/core/address.h"
#include "download/core/problems.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

namespace velmora {

class Probe;
class Transfer;

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
    virtual void SetRateLabel(const QString &) {}
    virtual void SetTimeLabel(const QString &) {}
    virtual void SetCompleteLabel(const QString &) {}
    virtual void SetEstimatedTimeLeft(const QString &) {}
    virtual void SetCancelCaption(const QString &) {}
    virtual void SetOpenFolderEnabled(bool) {}
    // sngProgress 0..1 and the filled length of the bar in twips.
    virtual void SetProgress(float, int) {}
    // False for a view that shows no figures: the engine then skips working them out.
    virtual bool ShowsProgress() const { return true; }
    virtual void Beep() {}
};

class ISaveDialog
{
public:
    virtual ~ISaveDialog() = default;
    // The chosen full path, or "" when the user cancelled.
    virtual QString ShowSaveDialog(const QString &DefaultName, const QString &FileType) = 0;
};

// The file name proposed for an address: the text after its last "/", and
// "" when nothing but a host follows the scheme.
QString DefaultNameOf(const QString &address);

// Leading decimal digits of a header value as a number (0 when none).
qint64 LeadingNumber(const QByteArray &text);

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

    bool DownloadFile(const QString &StrURL, QString &UserName, QString &Password);

    // Stop request (Cancel button, Escape, close box): wakes the current wait.
    void Cancel();

    bool isRunning() const { return m_running; }
    qint64 Received() const { return m_received; }
    qint64 Total() const { return m_total; }
    DownloadState &state() { return S; }
    void setProblemAnswerer(IProblemAnswerer *answerer) { m_answerer = answerer; }
    void setSaveDialog(ISaveDialog *dialog) { m_saveDialog = dialog; }

    // Free bytes for a file to be saved at path; DiskFreeSpace by default.
    std::function<qint64(const QString &)> freeSpace;

    // The window's one-second clock: varElapsed + 1 per tick while the body runs.
    QTimer TimerTime;

signals:
    void wake();
    // After each chunk of the body has been written and counted.
    void bodyProgress(qint64 received, qint64 total);

private:
    bool waitUntil(const std::function<bool()> &done);
    void yieldOnce();
    void onProbeData(const QString &text);
    double clockSeconds() const;

    DownloadState &S;
    DownloadView *m_view;
    ISaveDialog *m_saveDialog;
    IProblemAnswerer *m_answerer;
    Probe *m_probe;
    Transfer *m_transfer;
    QElapsedTimer m_clock;
    bool m_running = false;
    qint64 m_received = 0;
    qint64 m_total = 0;
};

} // namespace velmora
