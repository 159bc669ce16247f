// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "download/core/engine.h"

#include "download/core/linkrefresher.h"

#include "download/core/diskspace.h"
#include "download/core/filename.h"
#include "download/core/origin.h"
#include "download/core/probe.h"
#include "net/piece.h"
#include "net/transfer.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <utility>

namespace velmora {

QString DefaultNameOf(const QString &address)
{
    return ProposedFileName(QByteArray(), address);
}

DownloadEngine::DownloadEngine(DownloadState &state, DownloadView *view, ISaveDialog *saveDialog,
                               IProblemAnswerer *answerer, QObject *parent)
    : QObject(parent), freeSpace(&DiskFreeSpace), m_state(state), m_view(view), m_saveDialog(saveDialog),
      m_answerer(answerer), m_probe(new Probe(this)), m_transfer(new net::Transfer(nullptr, this))
{
    m_clock.start();
    TimerTime.setInterval(1000);
    connect(&TimerTime, &QTimer::timeout, this, &DownloadEngine::TimerTime_Timer);
    connect(m_probe, &Probe::wake, this, &DownloadEngine::wake);
    connect(m_probe, &Probe::dataArrived, this, &DownloadEngine::onProbeData);
    connect(m_transfer, &net::Transfer::wake, this, &DownloadEngine::wake);
    connect(&m_hasher, &Hasher::progressed, this, &DownloadEngine::wake);
    m_file.setTap(&m_hasher);
}

DownloadEngine::~DownloadEngine() = default;

void DownloadEngine::TimerTime_Timer()
{
    m_state.varElapsed = qint64(bodySecondsNow());
    // A server that stops sending must not leave the last figures standing:
    // measured again now, the rate falls and the time left grows.
    if (m_run.figuresShown)
        showProgress();
    emit wake();
}

void DownloadEngine::setNetSettings(const net::NetSettings &limits)
{
    m_limits = limits;
    m_transfer->setSettings(limits);
}

AlertAnswer DownloadEngine::showAlert(const DownloadProblem &problem, const QString &file, bool offerCancel)
{
    if (problem.kind != Problem::Incomplete) {
        m_run.outcome.hasProblem = true;
        m_run.outcome.problem = problem.kind;
    }
    return m_answerer->ShowAlert(problem, net::WithoutUserInfo(file), offerCancel);
}

void DownloadEngine::Cancel()
{
    m_state.blnCancel = true;
    if (m_running)
        m_run.outcome.ending = DownloadOutcome::Ending::Cancelled;
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
        if (m_state.blnCancel)
            return false;
        QEventLoop loop;
        const QMetaObject::Connection c = connect(this, &DownloadEngine::wake, &loop, &QEventLoop::quit);
        loop.exec();
        disconnect(c);
        if (m_state.blnCancel)
            return false;
    }
    return !m_state.blnCancel;
}

void DownloadEngine::yieldOnce()
{
    QCoreApplication::processEvents();
}

void DownloadEngine::onProbeData(const QString &text)
{
    m_run.probeAnswer = text;
    const QString status = StatusOf(m_run.probeAnswer);
    if (status == QLatin1String("302")) {
        const QString location = GetDataHead(m_run.probeAnswer, QStringLiteral("Location:"));
        if (!location.isEmpty())
            followProbeRedirect(location);
    } else if (status == QLatin1String("404")) {
        // Told once the probe has been waited for: the item's page may know
        // a fresh address for it first.
        m_run.probeNotFound = true;
    }
    m_run.headReceived = true;
    m_probe->close();
}

void DownloadEngine::followProbeRedirect(const QString &location)
{
    // Servers send relative addresses too: they are taken against the probed one.
    QString &requestURL = m_run.probed.strRequestURL;
    const QString resolved = ResolveProbeLocation(requestURL, location);
    if (IsHttpsAddress(requestURL) && resolved.startsWith(QLatin1String("http:"), Qt::CaseInsensitive)) {
        showAlert(Problem::Downgrade, requestURL, false);
        m_run.probeOutcome = Next::Stop;
        return;
    }
    requestURL = resolved;
}

namespace {
} // namespace

bool DownloadEngine::DownloadFile(const QString &StrURL, const QString &UserName, const QString &Password)
{
    beginRun(StrURL, UserName, Password);
    Next next = probe();
    if (next == Next::GoOn)
        next = chooseTarget();
    for (;;) {
        if (next == Next::GoOn)
            next = transferOnce();
        // A download that ended short may be continued from where it stopped,
        // and one that did not match may be fetched once more.
        const Next after = finish(next);
        if (after == Next::Resume)
            m_run.resume = true;
        else if (after == Next::Refetch)
            startAgain();
        else
            break;
        next = Next::GoOn;
    }
    endRun();
    return m_run.success;
}

void DownloadEngine::beginRun(const QString &StrURL, const QString &UserName, const QString &Password)
{
    m_running = true;
    m_file.close();
    m_hasher.stop();
    m_run = Run{};
    m_run.address = StrURL;
    m_run.userName = UserName;
    m_run.password = Password;
    AnalyseAddress(m_run.probed, StrURL);

    m_state.blnCancel = false;
    m_state.blnComplete = false;
    m_state.varElapsed = 0;
    m_view->ShowWindow();
    m_view->SetSourceLabel(QString());
    m_view->SetTimeLabel(QString());
    m_view->SetToLabel(QString());
    m_view->SetRateLabel(QString());
    m_view->SetPhase(Phase::Connecting);
}

DownloadEngine::Next DownloadEngine::probe()
{
    const QString &address = m_run.address;
    // An address with a line break would write header lines of its own.
    if (HoldsLineBreak(address)) {
        showAlert(Problem::InvalidAddress, address, false);
        return Next::Finish;
    }
    const bool https = IsHttpsAddress(address);
    QString &server = m_run.probed.strServer;
    const int port = https && !HasPort(server) ? 443 : GetPort(server);
    // The user name and password of an address are no part of the host.
    server = RemoveUserInfo(RemovePort(server));
    // A port no TCP connection can have fails like an unreachable host,
    // rather than wrapping round to some other port.
    const bool portValid = port >= 1 && port <= 65535;
    if (portValid) {
        m_probe->start(https, server, quint16(port), BuildProbeRequest(m_run.probed.strRequestURL, server), m_limits);
        if (!waitUntil([this] { return m_run.headReceived || m_probe->failed(); }))
            return Next::Finish;
    }
    if (m_run.probeNotFound)
        return probeFoundNothing();
    if (m_run.probeOutcome != Next::GoOn)
        return m_run.probeOutcome;
    if (!m_run.headReceived) {
        m_probe->close();
        // A server that never answers, or a proxy that cannot be used, is not a name that does not resolve.
        const net::NetFailure failure = m_probe->failure();
        const bool noConnection = failure == net::NetFailure::TimedOut || failure == net::NetFailure::Proxy;
        const Problem otherwise = noConnection ? Problem::CannotConnect : Problem::CannotResolve;
        showAlert(ProblemOfNet(failure, m_probe->certificateProblem(), otherwise), address, false);
        return Next::Finish;
    }
    return Next::GoOn;
}

DownloadEngine::Next DownloadEngine::probeFoundNothing()
{
    // A file host's signed link that expired answers "404" too; its page
    // may list the file under a fresh one, which the transfer then takes.
    if (refreshLink(404) == Next::Refreshed) {
        m_run.probed.strRequestURL = m_run.address;
        return Next::GoOn;
    }
    showAlert(Problem::FileNotFound, m_run.probed.strRequestURL, false);
    return Next::Stop;
}

DownloadEngine::Next DownloadEngine::chooseTarget()
{
    // The probe may have been sent elsewhere by a redirect.
    const QString &requestURL = m_run.probed.strRequestURL;
    if (!requestURL.trimmed().isEmpty())
        m_run.address = requestURL;
    // The server's own name for the file, when the probe's answer gives one.
    const QByteArray disposition = GetDataHead(m_run.probeAnswer, QStringLiteral("Content-Disposition:")).toUtf8();
    const QString defaultName = ProposedFileName(disposition, requestURL);
    m_run.savePath = m_saveDialog->ShowSaveDialog(defaultName, GetExtension(defaultName));
    if (m_run.savePath.isEmpty()) {
        m_run.outcome.ending = DownloadOutcome::Ending::Cancelled;
        return Next::Stop;
    }
    m_state.strSavePath = m_run.savePath;
    const Next next = askExistingFile();
    m_run.localName = SplitPath(m_run.savePath, true, false);
    m_run.remoteName = SplitPath(m_run.address, true, true);
    return next;
}

DownloadEngine::Next DownloadEngine::askExistingFile()
{
    if (!FileExists(m_run.savePath))
        return Next::GoOn;
    switch (m_answerer->ShowFileAlert(m_run.savePath, false)) {
    case FileAlertAnswer::Resume:
        m_run.resume = true;
        takeKeptVersion();
        break;
    case FileAlertAnswer::DownloadAgain:
        QFile::remove(m_run.savePath);
        break;
    case FileAlertAnswer::Ignore:  // "忽略此问题.": the user leaves the file as it is
        m_run.outcome.ending = DownloadOutcome::Ending::Cancelled;
        return Next::Finish;
    default:
        break;
    }
    // Any other answer: written again from the start.
    return Next::GoOn;
}

void DownloadEngine::takeKeptVersion()
{
    // A part from an earlier run of this address names the version it is
    // of: the range asks for that one (If-Range), so a file that changed
    // meanwhile is fetched anew, even where the bytes around the resume point agree.
    const std::optional<PartVersion> kept = ReadPartVersion(m_run.savePath);
    if (kept && !kept->validator.isEmpty() && kept->address == OriginValue(m_run.address))
        m_run.validator = kept->validator;
}

DownloadEngine::Next DownloadEngine::transferOnce()
{
    Next next = askLength();
    while (next == Next::GoOn) {
        next = transferSteps();
        if (next == Next::Refreshed) {
            // On with the new address as a resume of what is on disk: the
            // overlap check and the first answer's validator make sure the
            // part belongs to the file behind it.
            m_file.close();
            m_run.resume = m_run.resume || m_run.received > 0;
            next = askLength();
            continue;
        }
        if (next != Next::Restart)
            break;
        // What is on disk is not the start of this file: all of it is fetched anew.
        m_file.close();
        m_run.resume = false;
        m_run.received = 0;
        m_run.startOffset = 0;
        next = Next::GoOn;
    }
    return next;
}

DownloadEngine::Next DownloadEngine::transferSteps()
{
    using Step = Next (DownloadEngine::*)();
    static constexpr Step kSteps[] = {&DownloadEngine::askRange, &DownloadEngine::judgeStatus,
                                      &DownloadEngine::openTarget, &DownloadEngine::receiveBody};
    for (Step step : kSteps) {
        const Next next = (this->*step)();
        if (next != Next::GoOn)
            return next;
    }
    return Next::Finish;
}

DownloadEngine::Next DownloadEngine::askLength()
{
    qint64 &received = m_run.received;
    const qint64 receivedBefore = received;
    if (m_run.resume) {
        m_view->SetPhase(Phase::Resuming);
        // The last bytes of what is on disk are fetched again: the end of an
        // interrupted write may not have reached the disk whole.
        if (received > 0)
            received -= kResumeMargin;
        else
            received = FileLength(m_run.savePath) - kResumeMargin;
        if (received < 0)
            received = 0;
        m_run.startOffset = received;
    } else {
        m_view->SetPhase(Phase::AskingInfo);
    }
    yieldOnce();

    // The length request is stopped as soon as its headers are in.
    m_transfer->setCredentials(m_run.userName, m_run.password);
    if (request(QByteArray(), true) != Next::GoOn)
        return Next::Finish;
    // A resumed download learns of an expired address here, before its range.
    const int status = m_transfer->status();
    if ((status == 403 || status == 404 || status == 410) && refreshLink(status) == Next::Refreshed) {
        received = receivedBefore;
        return askLength();
    }
    // One second before now, so the first rate is not a division by almost nothing.
    m_run.startTime = clockSeconds() - 1.0;
    // A request that failed is told as what failed, not as a file of no length.
    if (m_transfer->failure() != net::NetFailure::None) {
        showAlert(ProblemOfFailedRequest(m_transfer->failure(), m_transfer->certificateProblem()), m_run.address,
                  false);
        return Next::Finish;
    }
    m_run.total = LeadingNumber(m_transfer->header("Content-Length"));
    takeValidator();
    if (m_run.total == 0) {
        showAlert(Problem::ZeroLength, m_run.address, false);
        return Next::Finish;
    }
    return Next::GoOn;
}

void DownloadEngine::takeValidator()
{
    // The first answer of the run names the version the whole run fetches; a
    // later range must belong to that version, or the server sends it whole.
    if (!m_run.validator.isEmpty())
        return;
    const QByteArray etag = m_transfer->header("ETag").trimmed();
    if (!etag.isEmpty() && !etag.startsWith("W/"))  // a weak tag cannot vouch for bytes
        m_run.validator = etag;
    else
        m_run.validator = m_transfer->header("Last-Modified").trimmed();
}

DownloadEngine::Next DownloadEngine::request(const QByteArray &range, bool headersOnly, const QByteArray &ifRange)
{
    if (!m_transfer->execute(m_run.address, range, headersOnly, ifRange)) {
        showAlert(Problem::InvalidAddress, m_run.address, false);
        return Next::Finish;
    }
    if (!waitUntil([this] { return !m_transfer->stillExecuting(); }))
        return Next::Finish;
    return Next::GoOn;
}

DownloadEngine::Next DownloadEngine::askRange()
{
    // A fresh download asks from byte 0 too.
    const QByteArray ifRange = m_run.received > 0 ? m_run.validator : QByteArray();
    if (request("bytes=" + QByteArray::number(m_run.received) + '-', false, ifRange) != Next::GoOn)
        return Next::Finish;
    if (m_run.received > 0 && m_run.received > m_run.total) {
        // The local file is longer than the remote one: it is not a part of it.
        if (showAlert(Problem::CannotResume, m_run.address, true) != AlertAnswer::Ignore)
            return Next::Stop;
        if (restartFromZero() != Next::GoOn)
            return Next::Finish;
    }
    if (m_run.received == m_run.total) {
        // Nothing left to fetch. What lies beyond the remote length is an
        // old tail, not part of this file.
        if (FileLength(m_run.savePath) > m_run.total)
            QFile::resize(m_run.savePath, m_run.total);
        return Next::Finish;
    }
    return Next::GoOn;
}

DownloadEngine::Next DownloadEngine::restartFromZero()
{
    // The request sent with the old offset is of no use: ask again from byte 0.
    m_run.resume = false;
    m_run.received = 0;
    m_run.startOffset = 0;
    return request("bytes=0-", false);
}

DownloadEngine::Next DownloadEngine::judgeStatus()
{
    m_view->SetPhase(Phase::Saving);
    m_view->SetSourceLabel(m_run.remoteName + QStringLiteral(" 来自 Quillon"));
    m_view->SetToLabel(m_run.savePath);
    if (!waitUntil([this] { return !m_transfer->stillExecuting(); }))
        return Next::Finish;
    const net::NetFailure failure = m_transfer->failure();
    if (failure != net::NetFailure::None && m_transfer->status() == 0)
        return stopWith(ProblemOfFailedRequest(failure, m_transfer->certificateProblem()), m_run.address);
    return checkStatus(m_transfer->status());
}

DownloadEngine::Next DownloadEngine::checkStatus(int status)
{
    switch (status) {
    case 200:
        if (!m_run.resume)
            return Next::GoOn;
        if (showAlert(Problem::ResumeRefused, m_run.address, true) != AlertAnswer::Ignore)
            return Next::Stop;
        m_run.resume = false;
        return Next::GoOn;
    case 206: {
        // A part that does not start where it was asked to would land at
        // the wrong place in the file.
        const qint64 asked = m_run.resume ? m_run.received : 0;
        if (ContentRangeStart(m_transfer->header("Content-Range")) == asked)
            return Next::GoOn;
        return stopWith(Problem::BadAnswer, m_run.address);
    }
    case 204:
        return stopWith(Problem::EmptyContent, m_run.address);
    case 401:
        return stopWith(Problem::NoPermission, m_run.address);
    case 403:
    case 410:
        if (refreshLink(status) == Next::Refreshed)
            return Next::Refreshed;
        return stopWith(Problem::BadAnswer, m_run.address);
    case 404:
        if (refreshLink(status) == Next::Refreshed)
            return Next::Refreshed;
        return stopWith(Problem::FileNotFound, m_run.address);
    case 0:  // no status at all: the connection failed before an answer
        return stopWith(Problem::CannotConnect, m_run.address);
    default:
        return stopWith(Problem::BadAnswer, m_run.address);
    }
}

DownloadEngine::Next DownloadEngine::refreshLink(int status)
{
    if (!m_refresher || m_run.linkRefreshed)
        return Next::Stop;
    m_run.linkRefreshed = true;
    const QString fresh = m_refresher->FreshAddress(m_run.address, status);
    if (fresh.isEmpty() || fresh == m_run.address || m_state.blnCancel)
        return Next::Stop;
    m_run.address = fresh;
    m_run.remoteName = SplitPath(fresh, true, true);
    // Nothing on disk yet: the failed answers named no version of the file.
    if (m_run.received == 0 && !m_run.resume)
        m_run.validator.clear();
    m_view->SetStatusLabel(QStringLiteral("链接已更新"));
    return Next::Refreshed;
}

DownloadEngine::Next DownloadEngine::stopWith(const DownloadProblem &problem, const QString &file)
{
    showAlert(problem, file, false);
    return Next::Stop;
}

DownloadEngine::Next DownloadEngine::openTarget()
{
    const QString &savePath = m_run.savePath;
    // Room for the whole file on the volume that will hold it.
    if (freeSpace(savePath) < m_run.total) {
        showAlert(Problem::DiskFull, savePath, false);
        return Next::Finish;
    }
    yieldOnce();
    if (!m_run.resume)
        m_run.received = 0;
    const QString folder = QFileInfo(savePath).absolutePath();
    if (!QFileInfo(folder).isDir() && !QDir().mkdir(folder))
        return stopWith(DownloadProblem::Unexpected(QStringLiteral("无法创建文件夹 ") + folder), savePath);
    // A resumed file is left as it is until the bytes fetched again over its
    // end have been compared with it; the cut happens then.
    m_run.checkEnd = m_run.resume && m_run.received > 0 ? qMin(FileLength(savePath), m_run.received + kResumeMargin) : 0;
    m_run.held.clear();
    const bool cutNow = m_run.checkEnd <= m_run.received;
    // Everything from the write offset on is written anew; whatever the old
    // file held beyond it must not survive as a tail.
    if (!m_file.open(savePath, m_run.received, m_run.total, cutNow))
        return stopWith(DownloadProblem::Unexpected(m_file.errorString()), savePath);
    keepVersion();
    m_run.figuresShown = false;
    startBodyClock();
    TimerTime.start();
    m_sinceYield.invalidate();
    return Next::GoOn;
}

void DownloadEngine::keepVersion()
{
    // The version the body now written is of goes with the file, for a resume in a later run.
    const QByteArray validator = net::ValidatorOf(m_transfer->header("ETag"), m_transfer->header("Last-Modified"));
    if (!validator.isEmpty())
        m_run.validator = validator;
    WritePartVersion(m_run.savePath, m_run.address, validator);
}

DownloadEngine::Next DownloadEngine::receiveBody()
{
    for (;;) {
        if (!m_transfer->chunkReady(kChunk)) {
            // What has arrived goes to the disk before the wait: the file
            // keeps up with the figures shown whenever the network is slower.
            if (flushBody() != Next::GoOn)
                return Next::Stop;
            waitUntil([this] { return m_transfer->chunkReady(kChunk); });
        }
        // The chunk is looked at where the transfer holds it, and taken once
        // stored: the file and the hashes share the transfer's block.
        const net::SharedView piece = m_transfer->peekShared(kChunk);
        const QByteArrayView chunk = piece.bytes;
        const qsizetype size = chunk.size();
        // The last chunk is the one that empties a body that has ended.
        const bool last = m_transfer->bodyEnded() && size == m_transfer->bufferedBytes();
        const Next next =
            m_run.received < m_run.checkEnd ? checkResumedBytes(chunk, last) : storeChunk(chunk, piece.owner);
        m_transfer->consume(size);
        if (next != Next::GoOn)
            return next;
        waitForHashing();
        // One clock reading serves the figures and the yield below.
        const qint64 nowNs = m_clock.nsecsElapsed();
        showProgress(double(nowNs) / 1e9);
        emit bodyProgress(m_run.received, m_run.total);
        // The window's events are served between chunks, at most every few
        // milliseconds: often enough for painting and the Cancel button,
        // rare enough that a fast link is not slowed by the event loop.
        if (!m_sinceYield.isValid() || nowNs / 1000000 - m_clock.msecsTo(m_sinceYield) >= kYieldIntervalMs) {
            if (flushBody() != Next::GoOn)
                return Next::Stop;
            yieldOnce();
            m_sinceYield.start();
        }
        if (last)
            break;
    }
    if (!m_file.close())
        return stopWith(DownloadProblem::Unexpected(m_file.errorString()), m_run.savePath);
    return Next::Finish;
}

DownloadEngine::Next DownloadEngine::checkResumedBytes(QByteArrayView chunk, bool last)
{
    // The bytes fetched again before the old end of the local file must be
    // the ones it holds; otherwise the local file is not the start of this
    // one, and continuing it would join two different files.
    m_run.held += chunk;
    if (m_run.held.size() < m_run.checkEnd - m_run.received && !last && !m_state.blnCancel)
        return Next::GoOn;
    const QByteArray held = std::exchange(m_run.held, QByteArray());
    m_run.checkEnd = 0;
    if (m_state.blnCancel) {
        m_file.close();
        return Next::Finish;
    }
    if (!matchesDisk(held)) {
        m_file.close();
        if (showAlert(Problem::CannotResume, m_run.address, true) == AlertAnswer::Ignore)
            return Next::Restart;
        return Next::Stop;
    }
    if (!m_file.resize(m_run.received) || !m_file.seek(m_run.received)) {
        const QString error = m_file.errorString();
        m_file.close();
        return stopWith(DownloadProblem::Unexpected(error), m_run.savePath);
    }
    return storeChunk(held, held);
}

bool DownloadEngine::matchesDisk(const QByteArray &bytes)
{
    const qint64 onDisk = qMin<qint64>(bytes.size(), FileLength(m_run.savePath) - m_run.received);
    if (onDisk <= 0 || !m_file.seek(m_run.received))
        return onDisk <= 0;
    return m_file.read(onDisk) == bytes.left(qsizetype(onDisk));
}

DownloadEngine::Next DownloadEngine::flushBody()
{
    if (m_file.flush())
        return Next::GoOn;
    m_file.close();
    return stopWith(DownloadProblem::Unexpected(m_file.errorString()), m_run.savePath);
}

DownloadEngine::Next DownloadEngine::storeChunk(QByteArrayView chunk, const QByteArray &owner)
{
    BodyFile &file = m_file;
    if (m_run.received + chunk.size() > m_run.total) {
        // More than the file's length: this is not the file that was
        // measured. Nothing beyond it is written.
        chunk = chunk.first(qsizetype(m_run.total - m_run.received));
        m_run.badBody = true;
    }
    // Hashed first: the hashes must stand at this chunk before the file's
    // writer can tell them of it.
    hashChunk(chunk, owner);
    // Collected into large writes; every way out of the body writes what was collected.
    if (!chunk.isEmpty() && !file.append(chunk, owner)) {
        file.close();
        return stopWith(DownloadProblem::Unexpected(file.errorString()), m_run.savePath);
    }
    if (m_state.blnCancel) {
        file.close();
        return Next::Finish;
    }
    m_run.received += chunk.size();
    if (m_run.badBody) {
        file.close();
        return stopWith(Problem::BadAnswer, m_run.address);
    }
    return Next::GoOn;
}

void DownloadEngine::showProgress()
{
    showProgress(clockSeconds());
}

void DownloadEngine::showProgress(double now)
{
    // Only numbers here, for every chunk: the view makes its texts when it shows them.
    m_view->SetFigures(BodyFigures{m_run.received, m_run.total, m_run.startOffset, m_run.resume,
                                   now - m_run.startTime, m_run.localName});
    m_run.figuresShown = true;
}

void DownloadEngine::startBodyClock()
{
    // A transfer begun again from byte 0 keeps the time of the one before.
    stopBodyClock();
    m_run.bodySince = clockSeconds();
}

void DownloadEngine::stopBodyClock()
{
    if (m_run.bodySince < 0)
        return;
    m_run.bodySeconds = bodySecondsNow();
    m_run.bodySince = -1;
    m_run.fetched += m_run.resume ? m_run.received - m_run.startOffset : m_run.received;
    m_state.varElapsed = qint64(m_run.bodySeconds);
}

double DownloadEngine::bodySecondsNow() const
{
    return m_run.bodySeconds + (m_run.bodySince < 0 ? 0.0 : clockSeconds() - m_run.bodySince);
}

DownloadEngine::Next DownloadEngine::finish(Next outcome)
{
    TimerTime.stop();
    // Every transfer of the download counts towards its time, not only the last one.
    stopBodyClock();
    const bool whole = m_run.received != 0 && m_run.total != 0 && m_run.received == m_run.total && !m_run.badBody
        && FileLength(m_run.savePath) == m_run.total;
    m_run.outcome.bytes = FileLength(m_run.savePath);
    if (whole)
        return finishWhole();
    m_hasher.stop();
    return finishIncomplete(outcome == Next::Stop);
}

void DownloadEngine::showComplete()
{
    m_view->SetPhase(Phase::Saving);
    m_view->SetCancelCaption(QStringLiteral("关闭"));
    m_view->SetEstimatedTimeLeft(QStringLiteral("下载完毕:"));
    m_view->SetOpenFolderEnabled(true);
    // The summary speaks for the whole download, across its resumes: the
    // body time in whole seconds (a file that came at all took at least a
    // part of one) and the average rate over it, its divisor at least one
    // second as while the body ran.
    m_state.varElapsed = qMax<qint64>(m_run.fetched > 0 ? 1 : 0, qRound64(m_run.bodySeconds));
    m_view->SetTimeLabel(CompletedTimeText(m_run.total, m_state.varElapsed));
    const QString verdict = VerdictStatusText(m_run.outcome.verdict);
    if (!verdict.isEmpty())
        m_view->SetStatusLabel(verdict);
    m_view->SetRateLabel(AverageRateText(m_run.fetched, qMax(1.0, m_run.bodySeconds)));
    m_view->Beep();
}

DownloadEngine::Next DownloadEngine::finishIncomplete(bool stopped)
{
    m_run.success = false;
    if (m_run.outcome.ending == DownloadOutcome::Ending::Cancelled) {
        // The user's own decision is no error: the window just closes.
        m_file.close();
        return Next::Finish;
    }
    // A download a step stopped after showing its problem is not offered
    // to be continued.
    const bool mayContinue = !stopped && FileExists(m_run.savePath);
    if (!m_run.savePath.isEmpty() && mayContinue && m_run.received != 0 && m_run.total != 0) {
        // The body ended before the whole length arrived.
        m_file.close();
        if (m_answerer->ShowFileAlert(m_run.savePath, true) == FileAlertAnswer::Resume)
            return Next::Resume;
    }
    m_file.close();
    m_run.outcome.ending = DownloadOutcome::Ending::Failed;
    showAlert(Problem::Incomplete, m_run.address, false);
    return Next::Finish;
}

void DownloadEngine::hashChunk(QByteArrayView chunk, const QByteArray &owner)
{
    // The hashes follow the file as it is written: a transfer that starts
    // elsewhere than where they stand starts them anew over the kept part.
    if (!m_hasher.active() || m_hasher.position() != m_run.received)
        startHashing(m_run.received);
    m_hasher.feed(chunk, owner);
}

void DownloadEngine::waitForHashing()
{
    // The hashing threads may fall behind a fast link only by a few blocks.
    // Waited for between chunks, when no chunk is looked at in the transfer.
    if (m_hasher.busy())
        waitUntil([this] { return !m_hasher.busy(); });
}

void DownloadEngine::startHashing(qint64 prefix)
{
    m_run.expected = expectations();
    QList<HashKind> kinds;
    for (const Expectation &e : std::as_const(m_run.expected))
        if (!kinds.contains(e.kind))
            kinds << e.kind;
    // From the first byte, the fast kinds are reckoned on the file's writer as it writes.
    m_hasher.start(m_run.savePath, prefix, kinds, Hasher::FastOn::Writer);
}

QList<Expectation> DownloadEngine::expectations() const
{
    QList<Expectation> out;
    if (const std::optional<quint32> crc = ChecksumInName(m_run.localName))
        out << Crc32Expectation(*crc);
    // Repr-Digest and Digest speak of the whole file, on a part too; a
    // Content-Digest only of the bytes of its own answer.
    const int status = m_transfer->status();
    if (status != 200 && status != 206)
        return out;
    out << ReprDigestExpectations(m_transfer->header("Repr-Digest"));
    out << DigestExpectations(m_transfer->header("Digest"));
    if (status == 200)
        out << ReprDigestExpectations(m_transfer->header("Content-Digest"));
    return out;
}

Verdict DownloadEngine::verifyWhole()
{
    // A file that needed no transfer (already whole on disk) is read whole.
    if (!m_hasher.active() || m_hasher.position() != m_run.total)
        startHashing(m_run.total);
    // Every byte on disk, so that the writer has told the hashes of it.
    m_file.close();
    m_hasher.close();
    const bool done = waitUntil([this] { return m_hasher.done(); });
    const Verdict verdict = done ? Judge(m_run.expected, m_hasher.result()) : Verdict{};
    m_hasher.stop();
    return verdict;
}

DownloadEngine::Next DownloadEngine::finishWhole()
{
    const Verdict verdict = verifyWhole();
    if (m_state.blnCancel)
        return finishIncomplete(true);
    m_run.outcome.verdict = verdict;
    if (verdict.result != Verdict::Result::None)
        WriteVerdictMark(m_run.savePath, verdict);
    if (verdict.result == Verdict::Result::Mismatch)
        return finishMismatch(verdict);
    // The file keeps the address it came from, as browsers and wget mark
    // theirs; where the file system cannot, the download is complete all the same.
    WriteOriginUrl(m_run.savePath, m_run.address);
    showComplete();
    m_run.success = true;
    m_run.outcome.ending = DownloadOutcome::Ending::Finished;
    m_run.outcome.hasProblem = false;
    return Next::Finish;
}

DownloadEngine::Next DownloadEngine::finishMismatch(const Verdict &verdict)
{
    m_run.outcome.hasProblem = true;
    m_run.outcome.problem = Problem::VerifyMismatch;
    if (m_answerer->ShowVerifyAlert(verdict, m_run.savePath) == VerifyAnswer::DownloadAgain)
        return Next::Refetch;
    // Kept as it is, but never called complete.
    showAlert(Problem::Incomplete, m_run.address, false);
    m_run.success = false;
    m_run.outcome.ending = DownloadOutcome::Ending::Kept;
    return Next::Finish;
}

void DownloadEngine::startAgain()
{
    // Nothing of the file that did not match is kept, nor the version it named.
    m_file.close();
    QFile::remove(m_run.savePath);
    m_run.resume = false;
    m_run.received = 0;
    m_run.startOffset = 0;
    m_run.validator.clear();
    m_run.outcome = DownloadOutcome{};
}

void DownloadEngine::endRun()
{
    m_state.blnComplete = m_run.success;
    m_transfer->cancel();
    m_probe->close();
    m_running = false;
    if (!m_run.success)
        m_view->CloseWindow();
}

} // namespace velmora
