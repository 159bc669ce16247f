// SPDX-FileCopyrightText: 2026 Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/transfer.h"

#include "common/core/version.h"
#include "net/piecestream.h"
#include "net/route.h"

#include <algorithm>

namespace velmora::net {

namespace {

bool IsRedirect(int status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// Text that may stand in a header value as it is.
bool IsPlainField(const QByteArray &text)
{
    for (char c : text)
        if (uchar(c) < 0x20 || c == 0x7f)
            return false;
    return true;
}

// The three digits after "HTTP/x[.y] "; 0 when the line is no status line.
int StatusOfLine(const QByteArray &line)
{
    const int space = line.indexOf(' ');
    if (space < 0 || line.size() < space + 4)
        return 0;
    int code = 0;
    for (int i = space + 1; i < space + 4; ++i) {
        if (line[i] < '0' || line[i] > '9')
            return 0;
        code = code * 10 + (line[i] - '0');
    }
    return code;
}

// The first byte of "bytes=N-", a range open to the end of the file; -1 for any other.
qint64 OpenRangeStart(const QByteArray &range)
{
    if (!range.startsWith("bytes=") || !range.endsWith('-'))
        return -1;
    bool ok = false;
    const qint64 from = range.mid(6, range.size() - 7).toLongLong(&ok);
    return ok && from >= 0 ? from : -1;
}

// The file's length when contentRange is exactly "bytes from-(length-1)/length"; -1 otherwise.
qint64 LengthOfRestFrom(const QByteArray &contentRange, qint64 from)
{
    const QByteArray text = contentRange.trimmed();
    const int slash = text.indexOf('/');
    bool ok = false;
    const qint64 length = slash < 0 ? -1 : text.mid(slash + 1).toLongLong(&ok);
    if (!ok || length <= from)
        return -1;
    const QByteArray asked = "bytes " + QByteArray::number(from) + '-' + QByteArray::number(length - 1) + '/'
        + QByteArray::number(length);
    return text == asked ? length : -1;
}

const QByteArray &UserAgent()
{
    static const QByteArray agent = "Velmora/" + kVersion.toLatin1();
    return agent;
}

} // namespace

CertificateProblem CertificateProblemOf(long verifyResult)
{
    // OpenSSL's X509_V_ERR_* codes.
    switch (verifyResult) {
    case 0: return CertificateProblem::None;
    case 9:   // not yet valid
    case 10:  // expired
        return CertificateProblem::Expired;
    case 2:   // unable to get issuer certificate
    case 18:  // self-signed
    case 19:  // self-signed certificate in chain
    case 20:  // unable to get local issuer certificate
    case 21:  // unable to verify the first certificate
        return CertificateProblem::Untrusted;
    case 62:  // hostname mismatch
        return CertificateProblem::WrongName;
    default:
        return CertificateProblem::Other;
    }
}

QString WithoutUserInfo(const QString &address)
{
    if (!address.contains(QLatin1String("://")) || !address.contains(QLatin1Char('@')))
        return address;
    QUrl url(address, QUrl::TolerantMode);
    if (!url.isValid() || url.userInfo().isEmpty())
        return address;
    url.setUserInfo(QString());
    return url.toString();
}

Transfer::Transfer(CurlMulti *multi, QObject *parent)
    : QObject(parent), m_multi(multi ? multi : new CurlMulti(this))
{
    m_headTimer.setSingleShot(true);
    m_idleTimer.setSingleShot(true);
    m_idleTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_headTimer, &QTimer::timeout, this, [this] {
        fail(NetFailure::TimedOut, QStringLiteral("no whole answer in time"));
    });
    connect(&m_idleTimer, &QTimer::timeout, this, &Transfer::bodyTimedOut);
    connect(m_multi, &CurlMulti::acted, this, [this] {
        if (m_easy || !m_ended)
            emit wake();
    });
}

Transfer::~Transfer()
{
    dropEasy();
}

void Transfer::setCredentials(const QString &userName, const QString &password)
{
    m_userName = userName;
    m_password = password;
}

bool Transfer::execute(const QString &address, const QByteArray &range, bool headersOnly, const QByteArray &ifRange)
{
    cancel();
    m_failure = NetFailure::None;
    m_certificate = CertificateProblem::None;
    m_complete = false;
    m_error.clear();
    m_hops = 0;
    m_sendAuth = false;
    m_headersOnly = headersOnly;
    QUrl url(address, QUrl::TolerantMode);
    if (!url.isValid() || url.isRelative() || url.host().isEmpty() || !IsWebScheme(url) || !IsPlainField(range)
        || !IsPlainField(ifRange)) {
        m_error = QStringLiteral("not an address that can be asked for");
        return false;
    }
    // A name and password written into the address are the origin's, like those given.
    if (!url.userName().isEmpty() && m_userName.isEmpty()) {
        m_userName = url.userName(QUrl::FullyDecoded);
        m_password = url.password(QUrl::FullyDecoded);
    }
    url.setUserInfo(QString());
    m_origin = url;
    m_originEndpoint = Endpoint::of(url);
    m_range = range;
    m_ifRange = ifRange;
    m_ended = false;
    m_headTimer.start(m_limits.headMs);
    if (!startHop(url)) {
        m_headTimer.stop();
        m_ended = true;
        m_error = QStringLiteral("not an address that can be asked for");
        return false;
    }
    return true;
}

bool Transfer::startHop(const QUrl &url)
{
    dropEasy();
    m_url = url;
    m_hop = Hop{};
    m_body.clear();
    m_endpoint = Endpoint::of(url);
    if (m_endpoint.proxy.kind == ProxyChoice::Kind::Unusable) {
        // A proxy the user set is never gone round: the request fails instead.
        fail(NetFailure::Proxy, QStringLiteral("the proxy address cannot be used"));
        return true;
    }
    m_easy = curl_easy_init();
    if (!m_easy)
        return false;
    configure(m_easy, url);
    m_multi->add(m_easy, [this](CURLcode result) { hopEnded(result); });
    return true;
}

void Transfer::configure(CURL *easy, const QUrl &url)
{
    curl_easy_setopt(easy, CURLOPT_URL, url.toEncoded().constData());
    ConfigureRoute(easy, m_endpoint, m_limits);
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(easy, CURLOPT_USERAGENT, UserAgent().constData());
    // libcurl reads up to a hundred buffers at a go before its limit looks
    // at the time: under a limit, a go is kept to about a second's worth.
    const qint64 rate = m_limits.maxBytesPerSecond;
    curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, rate > 0 ? long(std::clamp<qint64>(rate / 100, 16 * 1024, kCurlBuffer)) : kCurlBuffer);
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, m_errorBuffer);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &Transfer::onHeaderLine);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Transfer::onBodyBytes);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(easy, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    curl_easy_setopt(easy, CURLOPT_MAX_RECV_SPEED_LARGE, curl_off_t(m_limits.maxBytesPerSecond));
    if (m_sendAuth && sameOrigin()) {
        curl_easy_setopt(easy, CURLOPT_HTTPAUTH, long(CURLAUTH_BASIC));
        curl_easy_setopt(easy, CURLOPT_USERNAME, m_userName.toUtf8().constData());
        curl_easy_setopt(easy, CURLOPT_PASSWORD, m_password.toUtf8().constData());
    }

    curl_slist_free_all(m_requestHeaders);
    m_requestHeaders = nullptr;
    // Byte ranges count the bytes as stored: no content coding.
    m_requestHeaders = curl_slist_append(m_requestHeaders, "Accept-Encoding: identity");
    if (!m_range.isEmpty())
        m_requestHeaders = curl_slist_append(m_requestHeaders, ("Range: " + m_range).constData());
    if (!m_ifRange.isEmpty())
        m_requestHeaders = curl_slist_append(m_requestHeaders, ("If-Range: " + m_ifRange).constData());
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, m_requestHeaders);
}

bool Transfer::sameOrigin() const
{
    return m_endpoint.sameOrigin(m_originEndpoint);
}

size_t Transfer::onHeaderLine(char *data, size_t size, size_t count, void *self)
{
    auto *t = static_cast<Transfer *>(self);
    const size_t bytes = size * count;
    t->m_hop.headerBytes += qint64(bytes);
    if (t->m_hop.headerBytes > kMaxHeaderBytes) {
        t->m_hop.pendingFailure = NetFailure::BadAnswer;
        return 0;
    }
    return t->takeHeaderLine(QByteArray(data, qsizetype(bytes))) == bytes ? bytes : 0;
}

size_t Transfer::takeHeaderLine(QByteArray line)
{
    const size_t bytes = size_t(line.size());
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    if (line.startsWith("HTTP/")) {
        // Each answer, interim or final, starts its own header list.
        m_hop.status = StatusOfLine(line);
        m_hop.statusLine = line;
        m_hop.headers.clear();
        return bytes;
    }
    if (line.isEmpty())
        return endOfHead() ? bytes : 0;
    if ((line.startsWith(' ') || line.startsWith('\t')) && !m_hop.headers.isEmpty()) {
        m_hop.headers.last().second += ' ' + line.trimmed();
        return bytes;
    }
    const int colon = line.indexOf(':');
    if (colon <= 0) {
        m_hop.pendingFailure = NetFailure::BadAnswer;  // a header line that is none
        return 0;
    }
    m_hop.headers.append({line.left(colon).trimmed(), line.mid(colon + 1).trimmed()});
    return bytes;
}

// The blank line after a head: what this answer makes of the hop. False ends the transfer.
bool Transfer::endOfHead()
{
    const int status = m_hop.status;
    if (status < 200)
        return true;  // an interim answer: the final one follows
    if (IsRedirect(status) && m_hops < kMaxHops && !header("Location").isEmpty()) {
        m_hop.state = HopState::Redirect;  // libcurl resolves the Location once the hop ends
        return true;
    }
    // Plain http through an HTTP proxy: a 407 is the proxy's own answer, not the server's.
    if (status == 407 && m_endpoint.proxyTakesRequest()) {
        m_hop.pendingFailure = NetFailure::ProxyCredentials;
        return false;
    }
    if (status == 401 && !m_sendAuth && !m_userName.isEmpty() && sameOrigin()) {
        m_hop.state = HopState::AuthRetry;
        return true;
    }
    // A server that says it is overloaded gets its connection back.
    if (status == 429 || status == 503)
        curl_easy_setopt(m_easy, CURLOPT_FORBID_REUSE, 1L);
    m_headTimer.stop();
    m_lastBodyByte.start();
    m_idleTimer.start(m_limits.idleMs);
    // Under a transfer-coding other than chunked a server's Content-Length
    // does not frame the body, and a server that keeps the connection open
    // would hold us to the idle limit; the length it named ends the body.
    const QByteArray coding = header("Transfer-Encoding");
    bool lengthKnown = false;
    const qint64 length = header("Content-Length").toLongLong(&lengthKnown);
    m_hop.lengthEnds = !coding.isEmpty() && !coding.contains("chunked") && lengthKnown ? length : -1;
    if (m_headersOnly) {
        // A short body is read to its end so the connection stays usable;
        // a long one is not fetched.
        const bool drain = lengthKnown && length <= kDrainLimit;
        m_hop.state = drain ? HopState::Drain : HopState::Ended;
        return drain;
    }
    m_hop.state = HopState::Body;
    if (status == 206)
        planPieces();
    return true;
}

// Inside libcurl's callback: whether this body may come in pieces; when is for considerPieces().
void Transfer::planPieces()
{
    const qint64 from = OpenRangeStart(m_range);
    if (m_limits.connections < 2 || from < 0 || m_hop.lengthEnds >= 0)
        return;
    const qint64 total = LengthOfRestFrom(header("Content-Range"), from);
    // Pieces of two versions must never be joined: without a version named,
    // or with another than the one asked for, one connection brings it all.
    const QByteArray validator = ValidatorOf(header("ETag"), header("Last-Modified"));
    if (total < 0 || validator.isEmpty() || (!m_ifRange.isEmpty() && m_ifRange != validator))
        return;
    if (total - from < PieceStream::kMinimumRest)
        return;
    PieceSource source;
    source.address = m_url.toString();
    if (sameOrigin()) {
        source.userName = m_userName;
        source.password = m_password;
    }
    source.validator = validator;
    source.total = total;
    source.settings = m_limits;
    m_hop.piecePlan = source;
    m_hop.planFrom = from;
    m_hop.sinceHead.start();
}

// Inside libcurl's callback, after a body write: once the pace of this
// connection is known, the rest is split into pieces, or left to it.
void Transfer::considerPieces()
{
    Hop &hop = m_hop;
    if (hop.bodyTaken >= kFastAlone) {
        hop.piecePlan.reset();
        return;
    }
    if (hop.sinceHead.elapsed() < kPaceMs)
        return;
    const PieceSource source = *std::exchange(hop.piecePlan, std::nullopt);
    // This connection brings one piece more, and ends with it.
    const qint64 cut = hop.bodyTaken + PieceStream::kPieceSize;
    if (source.total - (hop.planFrom + cut) < PieceStream::kMinimumRest)
        return;
    hop.lengthEnds = cut;
    m_pieces = std::make_unique<PieceStream>(m_multi, source, hop.planFrom + cut, m_limits.connections);
    connect(m_pieces.get(), &PieceStream::wake, this, &Transfer::wake);
    QMetaObject::invokeMethod(this, &Transfer::beginPieces, Qt::QueuedConnection);
}

void Transfer::beginPieces()
{
    if (!m_pieces)
        return;
    // The limit is shared by every connection of the download.
    if (m_easy && m_limits.maxBytesPerSecond > 0)
        curl_easy_setopt(m_easy, CURLOPT_MAX_RECV_SPEED_LARGE,
                         curl_off_t(std::max<qint64>(1, m_limits.maxBytesPerSecond / m_limits.connections)));
    m_pieces->begin();
}

bool Transfer::piecesFollow() const
{
    // Only after this connection's piece came whole do the others' continue it.
    return m_pieces && m_ended && m_complete;
}

bool Transfer::bodyEnded() const
{
    return m_ended && (!piecesFollow() || m_pieces->ended());
}

bool Transfer::complete() const
{
    return m_complete && (!m_pieces || m_pieces->complete());
}

qint64 Transfer::bufferedBytes() const
{
    return m_body.size() + (piecesFollow() ? m_pieces->readyBytes() : 0);
}

int Transfer::pieceConnections() const
{
    return m_pieces ? m_pieces->running() : 0;
}

SharedView Transfer::peekShared(qint64 size)
{
    if (m_body.size() > 0 || !piecesFollow())
        return m_body.peekShared(size);
    return m_pieces->peekShared(size);
}

size_t Transfer::onBodyBytes(char *data, size_t size, size_t count, void *self)
{
    return static_cast<Transfer *>(self)->takeBody(data, size * count);
}

size_t Transfer::takeBody(const char *data, size_t bytes)
{
    Hop &hop = m_hop;
    if (discarding()) {
        hop.discarded += qint64(bytes);
        if (hop.state == HopState::Drain) {
            m_lastBodyByte.start();
            if (hop.lengthEnds >= 0 && hop.discarded >= hop.lengthEnds)
                return endAtLength();
        }
        return hop.discarded > kDrainLimit ? 0 : bytes;
    }
    // Nothing beyond the length that ends the body is kept.
    const qint64 wanted = hop.lengthEnds >= 0 ? qMin(qint64(bytes), hop.lengthEnds - hop.bodyTaken) : qint64(bytes);
    if (wanted > m_body.room()) {
        // Full: libcurl keeps these bytes and stops reading until we take some.
        hop.paused = true;
        m_idleTimer.stop();
        return CURL_WRITEFUNC_PAUSE;
    }
    m_body.write(data, wanted);
    hop.bodyTaken += qint64(bytes);
    // A time stamp only: restarting a timer for every write costs more than the copy.
    m_lastBodyByte.start();
    if (hop.piecePlan)
        considerPieces();
    if (hop.lengthEnds >= 0 && hop.bodyTaken >= hop.lengthEnds)
        return endAtLength();
    return bytes;
}

// Ends the transfer from inside libcurl's callback; hopEnded takes it as complete.
size_t Transfer::endAtLength()
{
    m_hop.state = HopState::Ended;
    m_hop.whole = true;
    return 0;
}

void Transfer::hopEnded(CURLcode result)
{
    const QString error = QString::fromUtf8(m_errorBuffer);
    if (m_hop.pendingFailure != NetFailure::None)
        return fail(m_hop.pendingFailure, m_hop.pendingFailure == NetFailure::ProxyCredentials
                                              ? QStringLiteral("the proxy refused the credentials")
                                              : QStringLiteral("the answer's head is too long or malformed"));
    switch (m_hop.state) {
    case HopState::Ended:
        m_complete = m_hop.whole;
        return finish();
    case HopState::Redirect:
        followRedirect();
        return;
    case HopState::AuthRetry:
        m_sendAuth = true;
        if (!startHop(m_url))
            fail(NetFailure::Unreachable, QStringLiteral("cannot start a request"));
        return;
    case HopState::Head:
        if (result != CURLE_OK)
            return fail(FailureOf(m_easy, result, error, &m_certificate), error);
        break;
    case HopState::Drain:
    case HopState::Body:
        break;
    }
    // After the head a broken connection is a body that ended short: the caller sees how much came.
    m_error = result == CURLE_OK ? QString() : error;
    m_complete = result == CURLE_OK;
    finish();
}

bool Transfer::followRedirect()
{
    char *target = nullptr;
    curl_easy_getinfo(m_easy, CURLINFO_REDIRECT_URL, &target);
    QUrl next = target ? QUrl(QString::fromUtf8(target), QUrl::TolerantMode) : QUrl();
    if (!next.isValid() || !IsWebScheme(next)) {
        fail(NetFailure::Refused, QStringLiteral("redirect to something other than http or https refused"));
        return false;
    }
    if (IsHttps(m_url) && !IsHttps(next)) {
        fail(NetFailure::Downgrade, QStringLiteral("redirect from https to http refused"));
        return false;
    }
    next.setUserInfo(QString());
    ++m_hops;
    if (!startHop(next)) {
        fail(NetFailure::Unreachable, QStringLiteral("cannot start a request"));
        return false;
    }
    return true;
}

void Transfer::fail(NetFailure why, const QString &error)
{
    m_failure = why;
    m_error = error;
    m_hop = Hop{};
    m_body.clear();
    finish();
}

void Transfer::finish()
{
    if (m_pieces) {
        // This connection's piece came whole: it is free for the others'.
        // Ended short, the body ends here, and so do the pieces after it.
        if (m_complete)
            QMetaObject::invokeMethod(m_pieces.get(), &PieceStream::headDone, Qt::QueuedConnection);
        else
            m_pieces->stop();
    }
    dropEasy();
    m_headTimer.stop();
    m_idleTimer.stop();
    const bool wasRunning = !m_ended;
    m_ended = true;
    if (wasRunning)
        emit wake();
}

void Transfer::dropEasy()
{
    if (!m_easy)
        return;
    m_multi->remove(m_easy);
    curl_easy_cleanup(m_easy);
    m_easy = nullptr;
    curl_slist_free_all(m_requestHeaders);
    m_requestHeaders = nullptr;
}

void Transfer::cancel()
{
    m_pieces.reset();
    dropEasy();
    m_headTimer.stop();
    m_idleTimer.stop();
    m_ended = true;
    // The hop is over; the answer's headers stay readable.
    Hop over;
    over.headers = std::move(m_hop.headers);
    m_hop = std::move(over);
    m_body.clear();
}

bool Transfer::stillExecuting() const
{
    // A length request waits until its short body has been read off the connection.
    return !m_ended && m_hop.state != HopState::Body && m_hop.state != HopState::Ended;
}

QByteArray Transfer::header(const QByteArray &name) const
{
    for (const auto &h : m_hop.headers)
        if (h.first.compare(name, Qt::CaseInsensitive) == 0)
            return h.second;
    return {};
}

QString Transfer::headerText() const
{
    if (!headIn())
        return QString();
    QByteArray text = m_hop.statusLine + "\r\n";
    for (const auto &h : m_hop.headers)
        text += h.first + ": " + h.second + "\r\n";
    return QString::fromLatin1(text);
}

QByteArray Transfer::getChunk(qint64 size)
{
    QByteArray chunk;
    chunk.reserve(qsizetype(qMin(size, bufferedBytes())));
    while (chunk.size() < size) {
        const QByteArrayView part = peek(size - chunk.size());
        if (part.isEmpty())
            break;
        chunk.append(part);
        consume(part.size());
    }
    return chunk;
}

void Transfer::consume(qint64 bytes)
{
    if (m_body.size() > 0 || !piecesFollow()) {
        m_body.consume(bytes);
        resumeIfRoom();
        return;
    }
    m_pieces->consume(bytes);
}

void Transfer::bodyTimedOut()
{
    // Bytes came since the timer was set: it waits for the rest of the limit.
    const qint64 quiet = m_lastBodyByte.elapsed();
    if (quiet < m_limits.idleMs) {
        m_idleTimer.start(int(m_limits.idleMs - quiet));
        return;
    }
    // Silence in the body: the transfer counts as dropped, like a reset
    // connection. A body nobody wanted may stall: the answer's head is all that counted.
    if (!discarding()) {
        m_failure = NetFailure::TimedOut;
        m_error = QStringLiteral("the body stalled");
    }
    finish();
}

void Transfer::resumeIfRoom()
{
    // libcurl's held bytes come back in one go when resumed: room for its whole buffer.
    if (!m_hop.paused || !m_easy || m_body.room() < kCurlBuffer)
        return;
    m_hop.paused = false;
    m_lastBodyByte.start();
    m_idleTimer.start(m_limits.idleMs);
    // libcurl hands over the bytes it kept at once, then reads on.
    curl_easy_pause(m_easy, CURLPAUSE_CONT);
}

} // namespace velmora::net
