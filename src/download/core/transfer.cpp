#include "download/core/transfer.h"

#include <QSslSocket>
#include <QTcpSocket>

namespace velmora {

namespace {
// For the length request the socket holds little: its headers are all it wants.
constexpr qint64 kHeadOnlyBuffer = 16 * 1024;

bool IsRedirect(int status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

bool IsHttpScheme(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

bool IsHttps(const QUrl &url)
{
    return url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0;
}

// Text that may stand in a request line or a header value as it is.
bool IsPlainField(const QByteArray &text)
{
    for (char c : text)
        if (uchar(c) < 0x20 || c == 0x7f)
            return false;
    return true;
}

// All decimal digits, and not too many for a length.
bool ParseLength(const QByteArray &text, qint64 *value)
{
    const QByteArray t = text.trimmed();
    if (t.isEmpty() || t.size() > 18)
        return false;
    qint64 v = 0;
    for (char c : t) {
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + (c - '0');
    }
    *value = v;
    return true;
}
} // namespace

Transfer::Transfer(QObject *parent) : QObject(parent) {}

Transfer::~Transfer()
{
    cancel();
}

void Transfer::setCredentials(const QString &userName, const QString &password)
{
    m_userName = userName;
    m_password = password;
}

bool Transfer::execute(const QString &address, const QByteArray &rangeHeader, bool headersOnly,
                       const QByteArray &ifRange)
{
    cancel();
    m_ended = false;
    m_headersIn = false;
    m_failure = TransferFailure::None;
    m_error.clear();
    m_headers.clear();
    m_headerText.clear();
    m_headersOnly = headersOnly;
    m_authTried = false;
    m_sendAuth = false;
    m_hops = 0;

    const QUrl url(address, QUrl::TolerantMode);
    if (!url.isValid() || url.isRelative() || url.host().isEmpty() || !IsHttpScheme(url)
        || !IsPlainField(rangeHeader) || !IsPlainField(ifRange)) {
        m_error = QStringLiteral("无效的地址");
        m_ended = true;
        return false;
    }
    m_rangeHeader = rangeHeader;
    m_ifRange = ifRange;
    if (!startHop(url)) {
        m_error = QStringLiteral("无效的地址");
        m_ended = true;
        return false;
    }
    return true;
}

bool Transfer::startHop(const QUrl &url)
{
    dropSocket();
    m_url = url;
    const QByteArray request = buildRequest();
    if (request.isEmpty())
        return false;
    m_phase = Phase::Head;
    m_head.clear();
    m_status = 0;
    m_reason.clear();
    m_framing = Framing::None;
    m_wireLeft = 0;
    m_body.clear();
    m_bodyPos = 0;
    m_pending.clear();
    m_pendingPos = 0;
    m_chunkState = ChunkState::SizeLine;
    m_chunkLeft = 0;
    m_line.clear();
    m_trailerBytes = 0;
    m_closed = false;

    const bool tls = IsHttps(url);
    const quint16 port = quint16(url.port(tls ? 443 : 80));
    QTcpSocket *socket = nullptr;
    if (tls && QSslSocket::supportsSsl())
        socket = new QSslSocket(this);
    else
        socket = new QTcpSocket(this);
    m_socket = socket;
    // Nothing more is read off the network while this much waits unread:
    // the server is held back instead of our memory growing.
    socket->setReadBufferSize(m_headersOnly ? kHeadOnlyBuffer : kBodyBuffer - kMaxHeaderBlock);
    connect(socket, &QIODevice::readyRead, this, &Transfer::onReadyRead);
    connect(socket, &QAbstractSocket::disconnected, this, &Transfer::onClosed);
    connect(socket, &QAbstractSocket::errorOccurred, this, &Transfer::onClosed);
    const QString host = url.host();
    if (auto *ssl = qobject_cast<QSslSocket *>(socket)) {
        connect(ssl, &QSslSocket::encrypted, this, [this, ssl, request] {
            if (ssl == m_socket)
                ssl->write(request);
        });
        ssl->connectToHostEncrypted(host, port);
    } else if (tls) {
        // No TLS library here: the server cannot be reached as asked.
        QMetaObject::invokeMethod(this, [this, socket] {
            if (socket == m_socket)
                fail(TransferFailure::Unreachable, QStringLiteral("TLS is not available"));
        }, Qt::QueuedConnection);
    } else {
        connect(socket, &QAbstractSocket::connected, this, [this, socket, request] {
            if (socket == m_socket)
                socket->write(request);
        });
        socket->connectToHost(host, port);
    }
    return true;
}

QByteArray Transfer::buildRequest() const
{
    QByteArray path = m_url.path(QUrl::FullyEncoded).toLatin1();
    if (path.isEmpty())
        path = "/";
    if (m_url.hasQuery())
        path += '?' + m_url.query(QUrl::FullyEncoded).toLatin1();
    QByteArray host = m_url.host(QUrl::FullyEncoded).toLatin1();
    if (host.contains(':'))
        host = '[' + host + ']';
    const int defaultPort = IsHttps(m_url) ? 443 : 80;
    if (m_url.port(defaultPort) != defaultPort)
        host += ':' + QByteArray::number(m_url.port());
    if (!IsPlainField(path) || path.contains(' ') || !IsPlainField(host))
        return {};

    QByteArray request = "GET " + path + " HTTP/1.1\r\nHost: " + host + "\r\n";
    request += "Accept: */*\r\n";
    // Byte ranges are counted on the bytes as stored: no content coding.
    request += "Accept-Encoding: identity\r\n";
    if (!m_rangeHeader.isEmpty())
        request += "Range: " + m_rangeHeader + "\r\n";
    if (!m_ifRange.isEmpty())
        request += "If-Range: " + m_ifRange + "\r\n";
    if (m_sendAuth) {
        const QByteArray pair = m_userName.toUtf8() + ':' + m_password.toUtf8();
        request += "Authorization: Basic " + pair.toBase64() + "\r\n";
    }
    request += "Connection: close\r\n\r\n";
    return request;
}

void Transfer::onReadyRead()
{
    if (sender() != m_socket)
        return;
    if (m_phase == Phase::Head && !readHead())
        return;
    if (m_phase == Phase::Body) {
        if (m_framing == Framing::Chunked)
            decodeChunked();
        else if (m_framing == Framing::Length && rawAvailable() >= m_wireLeft)
            m_ended = true;
    }
    emit wake();
}

void Transfer::onClosed()
{
    if (sender() != m_socket || m_closed)
        return;
    if (m_phase == Phase::Head && !readHead())
        return;  // the rest of the data started another hop or ended the request
    m_closed = true;
    if (m_phase == Phase::Head) {
        // A status line that arrived whole makes this a broken answer, not a failed connection.
        const int eol = m_head.indexOf('\n');
        if (eol > 0 && parseStatusLine(m_head.left(eol)))
            fail(TransferFailure::BadAnswer, QStringLiteral("the answer ended inside its headers"));
        else
            fail(TransferFailure::Unreachable, m_socket->errorString());
        return;
    }
    if (m_phase == Phase::Body) {
        if (m_framing == Framing::Chunked)
            decodeChunked();
        if (m_framing != Framing::UntilClose && m_error.isEmpty())
            m_error = m_socket->errorString();
        m_ended = true;
    }
    emit wake();
}

// Reads the header block; false when the request moved on (a new hop) or ended.
bool Transfer::readHead()
{
    while (m_phase == Phase::Head) {
        const qint64 room = kMaxHeaderBlock - m_head.size();
        if (room <= 0) {
            fail(TransferFailure::BadAnswer, QStringLiteral("header block too large"));
            return false;
        }
        const QByteArray more = rawRead(room);
        if (more.isEmpty())
            return true;
        const qint64 scanFrom = std::max<qint64>(0, m_head.size() - 2);
        m_head += more;
        if (m_head.size() >= 5 && !m_head.startsWith("HTTP/")) {
            fail(TransferFailure::BadAnswer, QStringLiteral("not an HTTP answer"));
            return false;
        }
        // The block ends at the first empty line (CR LF CR LF, or bare LFs).
        qint64 end = -1;
        for (qint64 i = m_head.indexOf('\n', scanFrom); i >= 0; i = m_head.indexOf('\n', i + 1)) {
            if (i + 1 < m_head.size() && m_head[i + 1] == '\n') {
                end = i + 2;
                break;
            }
            if (i + 2 < m_head.size() && m_head[i + 1] == '\r' && m_head[i + 2] == '\n') {
                end = i + 3;
                break;
            }
        }
        if (end < 0)
            continue;
        // What follows the block is body (or the next block after a 1xx).
        m_pending = m_head.mid(end) + m_pending.mid(m_pendingPos);
        m_pendingPos = 0;
        const QByteArray block = m_head.left(end);
        m_head.clear();
        if (!takeHead(block))
            return false;
    }
    return true;
}

bool Transfer::parseStatusLine(const QByteArray &line)
{
    const QByteArray l = line.endsWith('\r') ? line.chopped(1) : line;
    // "HTTP/" digit "." digit SP three digits [SP reason]
    if (l.size() < 12 || !l.startsWith("HTTP/") || l[6] != '.' || l[8] != ' ')
        return false;
    for (int i : {5, 7, 9, 10, 11})
        if (l[i] < '0' || l[i] > '9')
            return false;
    if (l.size() > 12 && l[12] != ' ')
        return false;
    m_status = l.mid(9, 3).toInt();
    m_reason = l.mid(13);
    return true;
}

// One whole header block; false when the request moved on or ended.
bool Transfer::takeHead(const QByteArray &block)
{
    QList<QByteArray> lines = block.split('\n');
    if (!parseStatusLine(lines.value(0))) {
        fail(TransferFailure::BadAnswer, QStringLiteral("bad status line"));
        return false;
    }
    m_headers.clear();
    for (int i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines[i].endsWith('\r') ? lines[i].chopped(1) : lines[i];
        if (line.isEmpty())
            continue;
        const int colon = line.indexOf(':');
        if (colon <= 0 || line[0] == ' ' || line[0] == '\t') {
            fail(TransferFailure::BadAnswer, QStringLiteral("bad header line"));
            return false;
        }
        m_headers.append({line.left(colon).trimmed(), line.mid(colon + 1).trimmed()});
    }
    if (m_status >= 100 && m_status < 200)
        return true;  // an interim answer: the real one follows
    if (IsRedirect(m_status) && nextHop())
        return false;
    if (m_status == 401 && retryWithCredentials())
        return false;
    if (!chooseFraming())
        return false;

    m_headersIn = true;
    QString text = QStringLiteral("HTTP/1.1 ") + QString::number(m_status) + QLatin1Char(' ')
        + QString::fromLatin1(m_reason) + QStringLiteral("\r\n");
    for (const auto &h : std::as_const(m_headers))
        text += QString::fromLatin1(h.first) + QStringLiteral(": ") + QString::fromLatin1(h.second) + QStringLiteral("\r\n");
    m_headerText = text;
    if (m_headersOnly) {
        // The length is all this request is for: hang up before the body.
        dropSocket();
        finish();
        return false;
    }
    m_phase = Phase::Body;
    if (m_framing == Framing::None || (m_framing == Framing::Length && m_wireLeft == 0))
        finish();
    return true;
}

bool Transfer::nextHop()
{
    const QByteArray location = header("Location");
    if (location.isEmpty() || m_hops >= kMaxHops)
        return false;
    const QUrl next = m_url.resolved(QUrl::fromEncoded(location, QUrl::TolerantMode));
    if (!next.isValid() || next.host().isEmpty() || !IsHttpScheme(next))
        return false;  // a redirect nobody can follow ends the request as it is
    ++m_hops;
    // Credentials go only where they were first asked for.
    if (next.host() != m_url.host() || next.port() != m_url.port() || next.scheme() != m_url.scheme())
        m_sendAuth = false;
    if (!startHop(next)) {
        fail(TransferFailure::BadAnswer, QStringLiteral("redirect to an address that cannot be requested"));
        return true;
    }
    emit wake();
    return true;
}

bool Transfer::retryWithCredentials()
{
    if (m_authTried || m_userName.isEmpty() || !header("WWW-Authenticate").toLower().contains("basic"))
        return false;
    m_authTried = true;
    m_sendAuth = true;
    startHop(m_url);
    return true;
}

bool Transfer::chooseFraming()
{
    const QByteArray coding = header("Transfer-Encoding").trimmed();
    qint64 length = -1;
    for (const auto &h : std::as_const(m_headers)) {
        if (h.first.compare("Content-Length", Qt::CaseInsensitive) != 0)
            continue;
        qint64 v = 0;
        if (!ParseLength(h.second, &v) || (length >= 0 && v != length)) {
            fail(TransferFailure::BadAnswer, QStringLiteral("bad Content-Length"));
            return false;
        }
        length = v;
    }
    if (m_status == 204 || m_status == 304) {
        m_framing = Framing::None;
    } else if (!coding.isEmpty()) {
        if (coding.compare("chunked", Qt::CaseInsensitive) != 0) {
            fail(TransferFailure::BadAnswer, QStringLiteral("unknown transfer coding"));
            return false;
        }
        m_framing = Framing::Chunked;
    } else if (length >= 0) {
        m_framing = Framing::Length;
        m_wireLeft = length;
    } else {
        m_framing = Framing::UntilClose;
    }
    return true;
}

qint64 Transfer::rawAvailable() const
{
    return (m_pending.size() - m_pendingPos) + (m_socket ? m_socket->bytesAvailable() : 0);
}

QByteArray Transfer::rawRead(qint64 max)
{
    QByteArray out;
    const qint64 pending = m_pending.size() - m_pendingPos;
    if (pending > 0) {
        const qint64 n = std::min(max, pending);
        out = m_pending.mid(m_pendingPos, n);
        m_pendingPos += n;
        if (m_pendingPos == m_pending.size()) {
            m_pending.clear();
            m_pendingPos = 0;
        }
        max -= n;
    }
    if (max > 0 && m_socket && m_socket->bytesAvailable() > 0) {
        if (out.isEmpty())
            out = m_socket->read(max);
        else
            out += m_socket->read(max);
        takeSocketTail();
    }
    return out;
}

// A socket whose buffer was full reads the network again only once its
// buffer has been emptied: a small rest is moved here so that it is.
void Transfer::takeSocketTail()
{
    const qint64 rest = m_socket ? m_socket->bytesAvailable() : 0;
    if (rest > 0 && rest < kMaxHeaderBlock && m_pendingPos == m_pending.size()) {
        m_pending = m_socket->readAll();
        m_pendingPos = 0;
    }
}

// Up to and including the next LF, or at most `max` bytes when none comes first.
QByteArray Transfer::rawReadLine(qint64 max)
{
    QByteArray out;
    while (qint64(out.size()) < max && m_pendingPos < m_pending.size()) {
        const char c = m_pending[m_pendingPos++];
        out += c;
        if (c == '\n')
            break;
    }
    if (m_pendingPos == m_pending.size()) {
        m_pending.clear();
        m_pendingPos = 0;
    }
    if ((out.isEmpty() || !out.endsWith('\n')) && qint64(out.size()) < max && m_socket) {
        out += m_socket->readLine(max - out.size() + 1);
        takeSocketTail();
    }
    return out;
}

void Transfer::decodeChunked()
{
    while (m_phase == Phase::Body && m_chunkState != ChunkState::Finished
           && m_body.size() - m_bodyPos < kBodyBuffer && rawAvailable() > 0) {
        if (m_chunkState == ChunkState::Data) {
            const qint64 room = kBodyBuffer - (m_body.size() - m_bodyPos);
            const QByteArray data = rawRead(std::min(m_chunkLeft, room));
            m_body += data;
            m_chunkLeft -= data.size();
            if (m_chunkLeft == 0)
                m_chunkState = ChunkState::DataEnd;
            continue;
        }
        m_line += rawReadLine(kMaxChunkLine + 1 - m_line.size());
        if (!m_line.endsWith('\n')) {
            if (m_line.size() > kMaxChunkLine)
                fail(TransferFailure::BadAnswer, QStringLiteral("chunk line too long"));
            continue;
        }
        const QByteArray line = m_line.trimmed();
        m_line.clear();
        if (!decodeChunkLine(line))
            fail(TransferFailure::BadAnswer, QStringLiteral("bad chunk"));
    }
    if (m_bodyPos > 0 && m_bodyPos * 2 >= m_body.size()) {
        m_body.remove(0, m_bodyPos);
        m_bodyPos = 0;
    }
}

bool Transfer::decodeChunkLine(const QByteArray &line)
{
    switch (m_chunkState) {
    case ChunkState::SizeLine: {
        const qsizetype semicolon = line.indexOf(';');
        const QByteArray digits = (semicolon < 0 ? line : line.left(semicolon)).trimmed();
        bool ok = false;
        const qint64 size = digits.size() <= 15 ? digits.toLongLong(&ok, 16) : -1;
        if (!ok || size < 0 || digits.startsWith('+') || digits.startsWith('-'))
            return false;
        m_chunkLeft = size;
        m_chunkState = size > 0 ? ChunkState::Data : ChunkState::Trailer;
        return true;
    }
    case ChunkState::DataEnd:
        m_chunkState = ChunkState::SizeLine;
        return line.isEmpty();
    case ChunkState::Trailer:
        m_trailerBytes += line.size() + 2;
        if (m_trailerBytes > kMaxHeaderBlock)
            return false;
        if (line.isEmpty()) {
            m_chunkState = ChunkState::Finished;
            m_ended = true;
        }
        return true;
    case ChunkState::Data:
    case ChunkState::Finished:
        break;
    }
    return false;
}

void Transfer::fail(TransferFailure why, const QString &error)
{
    if (m_phase == Phase::Head) {
        // No answer to show: the request failed as a whole.
        m_failure = why;
        m_headers.clear();
        m_headerText.clear();
        m_headersIn = false;
    }
    if (m_error.isEmpty())
        m_error = error;
    // What the body had already delivered stays to be taken; the wire is given up.
    if (m_phase == Phase::Body && m_framing != Framing::Chunked)
        m_wireLeft = std::min(m_wireLeft, rawAvailable());
    if (m_phase != Phase::Body || m_framing == Framing::Chunked)
        dropSocket();
    else
        m_closed = true;
    m_phase = Phase::Done;
    m_ended = true;
    emit wake();
}

void Transfer::finish()
{
    m_phase = m_headersOnly ? Phase::Done : m_phase;
    m_ended = true;
    emit wake();
}

void Transfer::dropSocket()
{
    if (!m_socket)
        return;
    QTcpSocket *socket = m_socket;
    m_socket = nullptr;
    disconnect(socket, nullptr, this, nullptr);
    socket->abort();
    socket->deleteLater();
}

bool Transfer::stillExecuting() const
{
    return !m_ended && !m_headersIn;
}

QByteArray Transfer::header(const QByteArray &name) const
{
    for (const auto &h : m_headers)
        if (h.first.compare(name, Qt::CaseInsensitive) == 0)
            return h.second;
    return {};
}

QString Transfer::headerText() const
{
    return m_headerText;
}

qint64 Transfer::identityBuffered() const
{
    const qint64 raw = rawAvailable();
    return m_framing == Framing::Length ? std::min(raw, m_wireLeft) : raw;
}

qint64 Transfer::bufferedBytes() const
{
    if (!m_headersIn)
        return 0;
    if (m_framing == Framing::Chunked)
        return m_body.size() - m_bodyPos;
    if (m_framing == Framing::None)
        return 0;
    return identityBuffered();
}

bool Transfer::chunkReady(qint64 size) const
{
    return m_ended || bufferedBytes() >= size;
}

QByteArray Transfer::getChunk(qint64 size)
{
    if (!m_headersIn || size <= 0)
        return {};
    if (m_framing == Framing::Chunked) {
        const qint64 n = std::min<qint64>(size, m_body.size() - m_bodyPos);
        QByteArray out = m_body.mid(m_bodyPos, n);
        m_bodyPos += n;
        decodeChunked();
        return out;
    }
    if (m_framing == Framing::None)
        return {};
    QByteArray out = rawRead(std::min(size, identityBuffered()));
    if (m_framing == Framing::Length) {
        m_wireLeft -= out.size();
        if (m_wireLeft == 0 && !m_closed) {
            // The whole body is in: the connection has nothing more to give.
            m_closed = true;
            dropSocket();
            m_ended = true;
        }
    }
    return out;
}

void Transfer::cancel()
{
    dropSocket();
    m_phase = Phase::Idle;
    m_pending.clear();
    m_pendingPos = 0;
    m_body.clear();
    m_bodyPos = 0;
}

} // namespace velmora
