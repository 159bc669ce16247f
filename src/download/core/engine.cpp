#include "download/core/engine.h"

#include "download/core/diskspace.h"
#include "download/core/probe.h"
#include "download/core/progress.h"
#include "download/core/transfer.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>

namespace velmora {

QString DefaultNameOf(const QString &address)
{
    QString rest = address;
    const int scheme = rest.indexOf(QStringLiteral("://"));
    if (scheme >= 0)
        rest = rest.mid(scheme + 3);
    if (!rest.contains(QLatin1Char('/')))
        return QString();
    return SplitPath(rest, true, true);
}

qint64 LeadingNumber(const QByteArray &text)
{
    const QByteArray t = text.trimmed();
    qint64 value = 0;
    for (char c : t) {
        if (c < '0' || c > '9')
            break;
        if (value > (std::numeric_limits<qint64>::max() - 9) / 10)
            return 0;  // not a length any file has
        value = value * 10 + (c - '0');
    }
    return value;
}

// Start of the byte range a 206 answer carries ("bytes <from>-<to>/<size>"); -1 when unreadable.
static qint64 ContentRangeStart(const QByteArray &value)
{
    QByteArray v = value.trimmed();
    if (!v.startsWith("bytes"))
        return -1;
    v = v.mid(5).trimmed();
    const int dash = v.indexOf('-');
    if (dash <= 0)
        return -1;
    bool ok = false;
    const qint64 from = v.left(dash).toLongLong(&ok);
    return ok ? from : -1;
}

DownloadEngine::DownloadEngine(DownloadState &state, DownloadView *view, ISaveDialog *saveDialog,
                               IProblemAnswerer *answerer, QObject *parent)
    : QObject(parent), freeSpace(&DiskFreeSpace), S(state), m_view(view), m_saveDialog(saveDialog),
      m_answerer(answerer), m_probe(new Probe(this)), m_transfer(new Transfer(this))
{
    m_clock.start();
    TimerTime.setInterval(1000);
    connect(&TimerTime, &QTimer::timeout, this, [this] {
        ++S.varElapsed;
        emit wake();
    });
    connect(m_probe, &Probe::wake, this, &DownloadEngine::wake);
    connect(m_probe, &Probe::dataArrived, this, &DownloadEngine::onProbeData);
    connect(m_transfer, &Transfer::wake, this, &DownloadEngine::wake);
}

DownloadEngine::~DownloadEngine() = default;

void DownloadEngine::Cancel()
{
    S.blnCancel = true;
    emit wake();
}

double DownloadEngine::clockSeconds() const
{
    return double(m_clock.nsecsElapsed()) / 1e9;
}

bool DownloadEngine::waitUntil(const std::function<bool()> &done)
{
    // Blocks in an event loop until something the engine listens to happens
    // (socket, HTTP client, timer, cancel); a silent server costs nothing.
    while (!done()) {
        if (S.blnCancel)
            return false;
        QEventLoop loop;
        const QMetaObject::Connection c = connect(this, &DownloadEngine::wake, &loop, &QEventLoop::quit);
        loop.exec();
        disconnect(c);
        if (S.blnCancel)
            return false;
    }
    return !S.blnCancel;
}

void DownloadEngine::yieldOnce()
{
    QCoreApplication::processEvents();
}

void DownloadEngine::onProbeData(const QString &text)
{
    S.strResponse = text;
    const QString status = StatusOf(S.strResponse);
    if (status == QLatin1String("302")) {
        const QString location = GetDataHead(S.strResponse, QStringLiteral("Location:"));
        if (!location.isEmpty())
            S.strRequestURL = location;
    } else if (status == QLatin1String("404")) {
        m_answerer->ShowAlert(QStringLiteral("文件不存在"), S.strRequestURL, false);
        S.blnCancel = true;
    }
    S.blnHeadReceived = true;
    m_probe->close();
}

bool DownloadEngine::DownloadFile(const QString &StrURL, QString &UserName, QString &Password)
{
    m_running = true;
    QString address = StrURL;
    QString savePath;
    QString localName;
    QString remoteName;
    bool resume = false;
    qint64 &received = m_received;
    qint64 &total = m_total;
    qint64 startOffset = 0;
    double startTime = 0;
    bool success = false;
    bool badBody = false;   // the server sent something that cannot be this file
    QElapsedTimer sinceYield;
    QFile file;
    received = 0;
    total = 0;

    // Step 1-2: fresh state, window shown.
    S.blnCancel = false;
    AnalyseAddress(S, address);
    S.sngProgress = 0;
    m_view->ShowWindow();
    m_view->SetSourceLabel(QString());
    m_view->SetTimeLabel(QString());
    m_view->SetToLabel(QString());
    m_view->SetRateLabel(QString());
    m_view->SetStatusLabel(QStringLiteral("连接"));
    S.blnComplete = false;
    S.blnHeadReceived = false;

    // An address with a line break would write header lines of its own.
    if (HoldsLineBreak(address)) {
        m_answerer->ShowAlert(QStringLiteral("无效的地址"), address, false);
        goto Finish;
    }

    // Step 3-4: the probe.
    {
        const int port = GetPort(S.strServer);
        S.strServer = RemovePort(S.strServer);
        m_probe->start(S.strServer, quint16(port), BuildProbeRequest(S.strRequestURL, S.strServer));
        if (!waitUntil([this] { return S.blnHeadReceived || m_probe->failed(); }))
            goto Finish;
        if (!S.blnHeadReceived) {
            m_probe->close();
            m_answerer->ShowAlert(QStringLiteral("无法解析域名"), address, false);
            goto Finish;
        }
    }

    // Step 5-6: the address to fetch and where it goes.
    if (!S.strRequestURL.trimmed().isEmpty())
        address = S.strRequestURL;
    {
        const QString defaultName = DefaultNameOf(S.strRequestURL);
        const QString type = GetExtension(defaultName);
        savePath = m_saveDialog->ShowSaveDialog(defaultName, type);
    }
    if (savePath.isEmpty()) {
        S.blnCancel = true;
        goto Finish;
    }
    S.strSavePath = savePath;

    // Step 7: an existing file.
    if (FileExists(savePath)) {
        const int answer = m_answerer->ShowFileAlert(savePath, false);
        if (answer == 1) {
            resume = true;
        } else if (answer == 2) {
            QFile::remove(savePath);
        } else if (answer == 3) {
            goto Finish;
        }
        // Any other answer: written again from the start.
    }

    // Step 8.
    localName = SplitPath(savePath, true, false);
    remoteName = SplitPath(address, true, true);

ResumePoint:
    // Step 9.
    if (resume) {
        m_view->SetStatusLabel(QStringLiteral("续传"));
        if (received > 0)
            received -= kResumeMargin;
        else
            received = FileLength(savePath) - kResumeMargin;
        if (received < 0)
            received = 0;
        startOffset = received;
    } else {
        m_view->SetStatusLabel(QStringLiteral("获取文件信息"));
    }
    yieldOnce();

    // Step 10-11: the length request, stopped as soon as its headers are in.
    m_transfer->setCredentials(UserName, Password);
    if (!m_transfer->execute(address, QByteArray(), true)) {
        m_answerer->ShowAlert(m_transfer->errorString(), address, false);
        goto Finish;
    }
    if (!waitUntil([this] { return !m_transfer->stillExecuting(); }))
        goto Finish;
    startTime = clockSeconds() - 1.0;
    total = LeadingNumber(m_transfer->header("Content-Length"));
    if (total == 0) {
        m_answerer->ShowAlert(QStringLiteral("文件长度为零"), address, false);
        goto Finish;
    }

    // Step 12: the range request. A fresh download asks from byte 0.
    if (!m_transfer->execute(address, "bytes=" + QByteArray::number(received) + '-', false)) {
        m_answerer->ShowAlert(m_transfer->errorString(), address, false);
        goto Finish;
    }
    if (!waitUntil([this] { return !m_transfer->stillExecuting(); }))
        goto Finish;

    // Step 13: the local file is longer than the remote one.
    if (received > 0 && received > total) {
        const int answer = m_answerer->ShowAlert(QStringLiteral("无法续传"), address, true);
        if (answer != 1) {
            S.blnCancel = true;
            goto Finish;
        }
        // Download again from the start: the request sent with the old
        // offset is of no use, ask again from byte 0.
        resume = false;
        received = 0;
        startOffset = 0;
        if (!m_transfer->execute(address, "bytes=0-", false)) {
            m_answerer->ShowAlert(m_transfer->errorString(), address, false);
            goto Finish;
        }
        if (!waitUntil([this] { return !m_transfer->stillExecuting(); }))
            goto Finish;
    }

    // Step 14: nothing left to fetch. What lies beyond the remote length is
    // an old tail, not part of this file.
    if (received == total) {
        if (FileLength(savePath) > total)
            QFile::resize(savePath, total);
        S.blnCancel = true;
        goto Finish;
    }

    // Step 15-16: the answer's status.
    m_view->SetStatusLabel(QStringLiteral("保存"));
    m_view->SetSourceLabel(remoteName + QStringLiteral(" 来自 Quillon"));
    m_view->SetToLabel(savePath);
    if (!waitUntil([this] { return !m_transfer->stillExecuting(); }))
        goto Finish;
    {
        const QString headerText = m_transfer->headerText();
        // No status at all (the connection failed first) reads as CR LF.
        const QString status = headerText.isEmpty() ? QStringLiteral("\r\n") : StatusOf(headerText);
        QString problem;
        if (status == QLatin1String("200")) {
            if (resume) {
                const int answer = m_answerer->ShowAlert(QStringLiteral("服务器不支持续传"), address, true);
                if (answer != 1) {
                    S.blnCancel = true;
                    goto Finish;
                }
                resume = false;
            }
        } else if (status == QLatin1String("206")) {
            // A part that does not start where it was asked to would land
            // at the wrong place in the file.
            const qint64 asked = resume ? received : 0;
            if (ContentRangeStart(m_transfer->header("Content-Range")) != asked)
                problem = QStringLiteral("无效服务器响应");
        } else if (status == QLatin1String("204")) {
            problem = QStringLiteral("内容为空");
        } else if (status == QLatin1String("401")) {
            problem = QStringLiteral("无法获得权限");
        } else if (status == QLatin1String("404")) {
            problem = QStringLiteral("文件不存在");
        } else if (status == QLatin1String("\r\n")) {
            problem = QStringLiteral("无法建立连接");
        } else {
            problem = QStringLiteral("无效服务器响应");
        }
        if (!problem.isEmpty()) {
            m_answerer->ShowAlert(problem, address, false);
            S.blnCancel = true;
            goto Finish;
        }
    }

    // Step 17: room for the whole file on the volume that will hold it.
    if (freeSpace(savePath) < total) {
        m_answerer->ShowAlert(QStringLiteral("磁盘空间不足"), savePath, false);
        goto Finish;
    }

    // Step 18-19: open the local file at the write offset.
    yieldOnce();
    if (!resume)
        received = 0;
    {
        const QString folder = QFileInfo(savePath).absolutePath();
        if (!QFileInfo(folder).isDir() && !QDir().mkdir(folder)) {
            m_answerer->ShowAlert(QStringLiteral("无法创建文件夹 ") + folder, savePath, false);
            S.blnCancel = true;
            goto Finish;
        }
        file.setFileName(savePath);
        // Everything from the write offset on is written anew; whatever the
        // old file held beyond it must not survive as a tail.
        if (!file.open(QIODevice::ReadWrite) || !file.resize(received) || !file.seek(received)) {
            m_answerer->ShowAlert(file.errorString(), savePath, false);
            file.close();
            S.blnCancel = true;
            goto Finish;
        }
    }
    S.varElapsed = 0;
    TimerTime.start();
    sinceYield.invalidate();

    // Step 20: the body, chunk by chunk.
    for (;;) {
        waitUntil([this] { return m_transfer->chunkReady(kChunk); });
        QByteArray chunk = m_transfer->getChunk(kChunk);
        if (received + chunk.size() > total) {
            // More than the file's length: this is not the file that was
            // measured. Nothing beyond it is written.
            chunk.truncate(int(total - received));
            badBody = true;
        }
        if (!chunk.isEmpty() && file.write(chunk) != chunk.size()) {
            const QString error = file.errorString();
            file.close();
            m_answerer->ShowAlert(error, savePath, false);
            S.blnCancel = true;
            goto Finish;
        }
        if (S.blnCancel) {
            file.close();
            goto Finish;
        }
        received += chunk.size();
        if (badBody) {
            file.close();
            m_answerer->ShowAlert(QStringLiteral("无效服务器响应"), address, false);
            S.blnCancel = true;
            goto Finish;
        }
        if (m_view->ShowsProgress()) {
            const ProgressFigures f = ComputeProgress(received, total, startOffset, resume,
                                                      clockSeconds() - startTime, localName);
            m_view->SetTimeLabel(f.timeLabel);
            m_view->SetRateLabel(f.rateLabel);
            S.sngProgress = f.sngProgress;
            m_view->SetProgress(f.sngProgress, f.knobTwips);
            m_view->SetCompleteLabel(f.completeLabel);
        } else {
            S.sngProgress = float(double(received) / double(total));
        }
        emit bodyProgress(received, total);
        // The window's events are served between chunks, at most every few
        // milliseconds: often enough for painting and the Cancel button,
        // rare enough that a fast link is not slowed by the event loop.
        if (!sinceYield.isValid() || sinceYield.hasExpired(kYieldIntervalMs)) {
            yieldOnce();
            sinceYield.start();
        }
        if (chunk.size() < 2)
            break;
    }
    file.close();

Finish:
    // Step 21.
    TimerTime.stop();
    if (received != 0 && total != 0 && received == total && !badBody && FileLength(savePath) == total) {
        m_view->SetStatusLabel(QStringLiteral("保存"));
        m_view->SetCancelCaption(QStringLiteral("关闭"));
        m_view->SetEstimatedTimeLeft(QStringLiteral("下载完毕:"));
        m_view->SetOpenFolderEnabled(true);
        m_view->SetTimeLabel(CompletedTimeText(total, S.varElapsed));
        success = true;
        m_view->Beep();
    } else {
        if (savePath.isEmpty() || !FileExists(savePath)) {
            S.blnCancel = true;
        } else if (received != 0 && total != 0 && !S.blnCancel) {
            // The body ended before the whole length arrived.
            file.close();
            const int answer = m_answerer->ShowFileAlert(savePath, true);
            if (answer == 1) {
                resume = true;
                goto ResumePoint;
            }
        }
        file.close();
        m_answerer->ShowAlert(QStringLiteral("下载未完成"), address, false);
        success = false;
    }

    // Step 22.
    S.blnComplete = success;
    m_transfer->cancel();
    m_probe->close();
    m_running = false;
    if (!success)
        m_view->CloseWindow();
    return success;
}

} // namespace velmora
