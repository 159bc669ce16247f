// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "httpserver.h"
#include "listener.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutexLocker>
#include <QPointer>
#include <QSslCertificate>
#include <QSslKey>
#include <QSslSocket>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <QWaitCondition>

#include <algorithm>
#include <functional>
#include <map>

#include <sys/socket.h>

namespace velmora::httpd {

QByteArray Request::header(const QByteArray &name) const
{
    const QList<QByteArray> lines = head.split('\n');
    for (int i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines[i].trimmed();
        const int colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed().compare(name, Qt::CaseInsensitive) == 0)
            return line.mid(colon + 1).trimmed();
    }
    return {};
}

// ---------------------------------------------------------------- content

static inline quint64 splitmix64(quint64 x)
{
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

void HttpServer::GeneratedBytes(char *dst, qint64 offset, qint64 length)
{
    qint64 i = 0;
    while (i < length) {
        const qint64 pos = offset + i;
        const quint64 word = splitmix64(quint64(pos >> 3));
        const int first = int(pos & 7);
        const int n = int(std::min<qint64>(8 - first, length - i));
        for (int k = 0; k < n; ++k)
            dst[i + k] = char((word >> (8 * (first + k))) & 0xFF);
        i += n;
    }
}

QByteArray HttpServer::GeneratedSha256(qint64 size)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    QByteArray buf(1 << 20, Qt::Uninitialized);
    for (qint64 off = 0; off < size; off += buf.size()) {
        const qint64 n = std::min<qint64>(buf.size(), size - off);
        GeneratedBytes(buf.data(), off, n);
        hash.addData(QByteArrayView(buf.constData(), n));
    }
    return hash.result().toHex();
}

struct Source
{
    enum Kind { Memory, Generated, Disk } kind = Memory;
    QByteArray data;
    qint64 size = 0;
    QString file;
    QByteArray etag;  // names this version of the file ("" = none)
};

struct HttpServer::Shared
{
    mutable QMutex mutex;
    QString root;
    QHash<QString, Source> sources;
    std::map<QString, Handler> handlers;
    QList<Rule> rules;
    qint64 defaultRate = 0;
    int defaultDelay = 0;
    QList<RequestLog> log;
    qint64 firstSerial = 0;     // serial number of log.first(); clearRequests moves it on
    QWaitCondition logChanged;  // with mutex: any request's state changed
    std::function<void(const QString &)> observer;
    QSslConfiguration tls;      // null for plain HTTP
    qint64 connections = 0;     // accepted so far; the last one's id
    int openConnections = 0;
    int peakConnections = 0;    // most open at once since clearRequests()
};

// ---------------------------------------------------------------- connection

namespace {

// Bounds of the floods and drips, so that a client that never gives up
// still sees the end of them.
constexpr qint64 kFloodBytes = qint64(256) << 20;
constexpr int kFloodMs = 60000;

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200: return "OK";
    case 204: return "No Content";
    case 206: return "Partial Content";
    case 301: return "Moved Permanently";
    case 302: return "Found";
    case 400: return "Bad Request";
    case 401: return "Unauthorized";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 416: return "Range Not Satisfiable";
    case 500: return "Internal Server Error";
    default: return "Status";
    }
}

class Connection : public QObject
{
public:
    Connection(QTcpSocket *socket, std::shared_ptr<HttpServer::Shared> shared, qint64 id, const QByteArray &serverName)
        : m_socket(socket), m_shared(std::move(shared)), m_id(id), m_serverName(serverName)
    {
        m_socket->setParent(this);
        connect(m_socket, &QTcpSocket::readyRead, this, [this] { onReadyRead(); });
        connect(m_socket, &QTcpSocket::bytesWritten, this, [this] { onWritten(); });
        // Over TLS, bytesWritten means "encrypted", not "sent": the pumps
        // also wait for the encrypted bytes to leave, or a slow reader would
        // have the whole file encrypted into memory.
        if (auto *tls = qobject_cast<QSslSocket *>(m_socket))
            connect(tls, &QSslSocket::encryptedBytesWritten, this, [this] { onWritten(); });
        connect(m_socket, &QTcpSocket::disconnected, this, [this] { closed(); });
        connect(m_socket, &QTcpSocket::errorOccurred, this, [this] { closed(); });
        m_dripTimer.setTimerType(Qt::PreciseTimer);
        connect(&m_dripTimer, &QTimer::timeout, this, [this] { dripOne(); });
        m_floodLimit.setSingleShot(true);
        connect(&m_floodLimit, &QTimer::timeout, this, [this] {
            if (m_state == State::EndlessHead || m_state == State::Interim || m_state == State::Dripping)
                m_socket->abort();  // its closed() deletes this connection
        });
        m_throttle.setInterval(20);
        connect(&m_throttle, &QTimer::timeout, this, [this] {
            m_budget = std::min<qint64>(m_budget + std::max<qint64>(1, m_rate / 50), std::max<qint64>(m_rate, 1));
            pump();
        });
    }

    // A connection its client has closed already, though the server has not
    // read its end yet, is let go now: counted as open, it would make a
    // client that closes one connection and opens the next look like two at once.
    void dropIfClientGone()
    {
        char byte = 0;
        if (!m_gone && ::recv(int(m_socket->socketDescriptor()), &byte, 1, MSG_PEEK | MSG_DONTWAIT) == 0)
            m_socket->abort();  // its closed() deletes this connection
    }

private:
    enum class State { ReadingHead, Delayed, Interim, Dripping, Sending, EndlessHead, Stalled, Closing };

    void onWritten()
    {
        if (m_state == State::EndlessHead)
            pumpHeaderLines();
        else if (m_state == State::Interim)
            pumpInterim();
        else
            pump();
    }

    // Bytes written but not yet handed to the kernel, encrypted or not.
    qint64 pending() const
    {
        const auto *tls = qobject_cast<const QSslSocket *>(m_socket);
        return m_socket->bytesToWrite() + (tls ? tls->encryptedBytesToWrite() : 0);
    }

    void closed()
    {
        if (m_gone)
            return;
        m_gone = true;
        {
            QMutexLocker lock(&m_shared->mutex);
            --m_shared->openConnections;
            if (RequestLog *entry = logEntry())
                entry->closed = true;
            m_shared->logChanged.wakeAll();
        }
        deleteLater();
    }

    void onReadyRead()
    {
        m_in += m_socket->readAll();
        processInput();
    }

    void processInput()
    {
        while (m_state == State::ReadingHead) {
            const int end = m_in.indexOf("\r\n\r\n");
            if (end < 0) {
                if (m_in.size() > 64 * 1024)
                    m_socket->abort();
                return;
            }
            const QByteArray head = m_in.left(end + 4);
            m_in.remove(0, end + 4);
            handle(head);
        }
    }

    // This connection's current request in the log (the mutex held); none
    // once the log has been cleared since.
    RequestLog *logEntry()
    {
        const qint64 index = m_logSerial - m_shared->firstSerial;
        return m_logSerial >= 0 && index >= 0 && index < m_shared->log.size() ? &m_shared->log[index] : nullptr;
    }

    void logUpdate(int status, bool finished)
    {
        QMutexLocker lock(&m_shared->mutex);
        if (RequestLog *entry = logEntry()) {
            if (status)
                entry->status = status;
            entry->bodyBytesSent = m_sent;
            entry->finished = finished;
        }
        m_shared->logChanged.wakeAll();
    }

    static qint64 parseNumber(const QByteArray &text, bool *ok)
    {
        if (text.isEmpty()) {
            *ok = false;
            return 0;
        }
        for (char c : text)
            if (c < '0' || c > '9') {
                *ok = false;
                return 0;
            }
        return text.toLongLong(ok);
    }

    void handle(const QByteArray &head)
    {
        Request req;
        req.head = head;
        const QList<QByteArray> first = head.left(head.indexOf("\r\n")).split(' ');
        req.method = first.value(0);
        req.target = first.value(1);
        req.url = QUrl(QStringLiteral("http://localhost/")).resolved(QUrl::fromEncoded(req.target));
        req.path = req.url.path();
        if (req.path.isEmpty())
            req.path = QStringLiteral("/");  // an absolute target without a path names "/"
        req.range = req.header("Range");

        const bool hasRange = !req.range.isEmpty();
        bool rangeFromNonZero = false;
        bool closedRange = false;
        if (req.range.startsWith("bytes=")) {
            const QByteArray rangeSpec = req.range.mid(6);
            bool ok = false;
            const qint64 from = parseNumber(rangeSpec.left(rangeSpec.indexOf('-')), &ok);
            rangeFromNonZero = ok && from > 0;
            bool okTo = false;
            parseNumber(rangeSpec.mid(rangeSpec.indexOf('-') + 1), &okTo);
            closedRange = ok && okTo;
        }

        Rule rule;
        bool haveRule = false;
        Handler handler;
        Source source;
        bool haveSource = false;
        int delay = 0;
        std::function<void(const QString &)> observer;
        {
            QMutexLocker lock(&m_shared->mutex);
            for (Rule &r : m_shared->rules) {
                if (r.count == 0 || !(r.path == QLatin1String("*") || r.path == req.path))
                    continue;
                const bool match = r.when == Rule::When::Any || (r.when == Rule::When::WithRange && hasRange)
                    || (r.when == Rule::When::WithoutRange && !hasRange)
                    || (r.when == Rule::When::RangeFromNonZero && rangeFromNonZero)
                    || (r.when == Rule::When::ClosedRange && closedRange);
                if (!match || (r.beyondConnections > 0 && m_shared->openConnections <= r.beyondConnections))
                    continue;
                if (r.count > 0)
                    --r.count;
                rule = r;
                haveRule = true;
                break;
            }
            for (const auto &[key, fn] : m_shared->handlers) {
                if (key == req.path || (key.endsWith(QLatin1Char('*')) && req.path.startsWith(key.chopped(1)))) {
                    handler = fn;
                    break;
                }
            }
            auto it = m_shared->sources.constFind(haveRule && !rule.servePath.isEmpty() ? rule.servePath : req.path);
            if (it != m_shared->sources.constEnd()) {
                source = *it;
                haveSource = true;
            } else if (!m_shared->root.isEmpty() && !req.path.contains(QLatin1String(".."))) {
                const QString file = m_shared->root + req.path;
                if (QFileInfo(file).isFile()) {
                    source.kind = Source::Disk;
                    source.file = file;
                    source.size = QFileInfo(file).size();
                    haveSource = true;
                }
            }
            m_rate = haveRule && rule.rate > 0 ? rule.rate : m_shared->defaultRate;
            delay = haveRule && rule.delayMs >= 0 ? rule.delayMs : m_shared->defaultDelay;
            RequestLog entry;
            entry.request = req;
            entry.connectionId = m_id;
            entry.serverName = m_serverName;
            m_shared->log.append(entry);
            m_logSerial = m_shared->firstSerial + m_shared->log.size() - 1;
            m_shared->logChanged.wakeAll();
            observer = m_shared->observer;
        }
        if (observer)
            observer(req.path);

        m_sent = 0;
        m_dropAfter = haveRule ? rule.dropAfter : -1;
        m_stallAfter = haveRule ? rule.stallAfter : -1;
        m_dripMs = haveRule ? rule.dripMs : 0;
        m_headOnly = req.method == "HEAD";
        // HTTP/1.1 keeps the connection unless told otherwise; HTTP/1.0 only when asked to.
        const QByteArray connection = req.header("Connection");
        m_closeAfter = head.startsWith(req.method + ' ' + req.target + " HTTP/1.0")
            ? connection.compare("keep-alive", Qt::CaseInsensitive) != 0
            : connection.compare("close", Qt::CaseInsensitive) == 0;
        if (delay > 0) {
            // Held like a far-away server; a client that gives up meanwhile
            // closes the connection, which deletes this object and the timer.
            m_state = State::Delayed;
            QTimer::singleShot(delay, this, [this, req, rule, handler, source, haveSource] {
                answer(req, rule, handler, source, haveSource);
            });
            return;
        }
        answer(req, rule, handler, source, haveSource);
    }

    void answer(const Request &req, const Rule &rule, const Handler &handler, const Source &source, bool haveSource)
    {
        const bool hasRange = !req.range.isEmpty();

        if (rule.stall) {
            m_state = State::Stalled;
            return;
        }
        if (rule.endlessHeaders) {
            m_socket->write("HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\n");
            m_state = State::EndlessHead;
            m_floodLimit.start(kFloodMs);
            logUpdate(200, false);
            pumpHeaderLines();
            return;
        }
        if (rule.interimCount != 0) {
            Rule after = rule;
            after.interimCount = 0;
            startInterim(rule.interimCount, rule.interimStatus,
                         [=] { answer(req, after, handler, source, haveSource); });
            return;
        }
        if (rule.requireUserAgent && req.header("User-Agent").isEmpty()) {
            sendSimple(403, "text/html", "<html><body>403 Forbidden: who are you?</body></html>", {});
            return;
        }
        if (rule.closeWithoutAnswer) {
            m_state = State::Closing;
            m_socket->disconnectFromHost();
            return;
        }
        if (rule.status) {
            QByteArray extra;
            if (!rule.location.isEmpty())
                extra = "Location: " + rule.location + "\r\n";
            extra += rule.extraHeaders;
            sendSimple(rule.status, "text/html", rule.body, extra);
            return;
        }
        if (handler && !haveSource) {
            const Response r = handler(req);
            sendSimple(r.status, r.contentType, r.body, {});
            return;
        }
        if (!haveSource) {
            sendSimple(404, "text/html", "<html><body>404 Not Found</body></html>", {});
            return;
        }

        // A file: work out the range.
        const qint64 size = source.kind == Source::Memory ? source.data.size() : source.size;
        qint64 from = 0;
        qint64 to = size - 1;
        int status = 200;
        // A range of another version than the one named in If-Range is no use
        // to the client: it gets the whole file.
        const QByteArray ifRange = req.header("If-Range");
        bool rangeApplies = ifRange.isEmpty() || ifRange == source.etag || rule.ignoreIfRange;
        // A date names the version the rule's own Last-Modified line names.
        const int dated = rule.extraHeaders.indexOf("Last-Modified: ");
        if (dated >= 0 && !ifRange.isEmpty()) {
            const qsizetype start = dated + 15;
            rangeApplies = rangeApplies || rule.extraHeaders.mid(start, rule.extraHeaders.indexOf('\r', start) - start) == ifRange;
        }
        if (hasRange && rangeApplies && !rule.ignoreRange) {
            bool valid = req.range.startsWith("bytes=") && !rule.refuseRange;
            if (valid) {
                const QByteArray rangeSpec = req.range.mid(6);
                const int dash = rangeSpec.indexOf('-');
                bool okFrom = false, okTo = false;
                const qint64 a = dash < 0 ? 0 : parseNumber(rangeSpec.left(dash), &okFrom);
                const qint64 b = dash < 0 ? 0 : parseNumber(rangeSpec.mid(dash + 1), &okTo);
                if (dash < 0 || rangeSpec.contains(',')) {
                    valid = false;
                } else if (okFrom) {
                    from = a;
                    to = okTo ? std::min(b, size - 1) : size - 1;
                    valid = from < size && from <= to && (okTo || rangeSpec.mid(dash + 1).isEmpty());
                } else if (okTo && rangeSpec.left(dash).isEmpty()) {
                    from = std::max<qint64>(0, size - b);  // suffix range: the last b bytes
                    valid = b > 0 && size > 0;
                } else {
                    valid = false;  // "bytes=-" and other nonsense
                }
            }
            if (!valid) {
                sendSimple(416, "text/html", {}, "Content-Range: bytes */" + QByteArray::number(size) + "\r\n");
                return;
            }
            status = 206;
            if (rule.rangeShift)
                from = std::clamp<qint64>(from + rule.rangeShift, 0, to);
        }

        const qint64 extra = std::max<qint64>(0, rule.extraBytes);
        to += extra;
        m_sourceSize = size;
        const qint64 length = std::max<qint64>(0, to - from + 1);
        QByteArray response = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reasonPhrase(status) + "\r\n";
        response += "Content-Type: application/octet-stream\r\nAccept-Ranges: bytes\r\n";
        if (!source.etag.isEmpty() && !rule.noValidator)
            response += "ETag: " + source.etag + "\r\n";
        response += rule.extraHeaders;
        if (status == 206)
            response += "Content-Range: bytes " + QByteArray::number(from) + '-' + QByteArray::number(to) + '/'
                + QByteArray::number(size) + "\r\n";
        m_chunked = rule.chunked && !m_headOnly;
        m_chunkIndex = 0;
        const bool noLength = (rule.noContentLength) || m_chunked;
        if (m_chunked)
            response += "Transfer-Encoding: chunked\r\n";
        else if (rule.identityEncoding)
            response += "Transfer-Encoding: identity\r\n";
        if (!m_chunked && !noLength)
            response += "Content-Length: " + QByteArray::number(length) + "\r\n";
        if ((rule.noContentLength) || m_closeAfter)
            m_closeAfter = true;
        response += m_closeAfter ? "Connection: close\r\n" : "Connection: keep-alive\r\n";
        response += "\r\n";
        logUpdate(status, false);

        m_source = source;
        m_file.reset();
        if (source.kind == Source::Disk) {
            m_file = std::make_unique<QFile>(source.file);
            if (!m_file->open(QIODevice::ReadOnly) || !m_file->seek(from)) {
                m_socket->abort();
                return;
            }
        }
        m_offset = from;
        m_remaining = m_headOnly ? 0 : length;
        m_state = State::Sending;
        m_budget = m_rate > 0 ? std::max<qint64>(1, m_rate / 50) : 0;
        writeHead(response, [this] {
            m_state = State::Sending;
            if (m_rate > 0)
                m_throttle.start();
            pump();
        });
    }

    void sendSimple(int status, const QByteArray &type, const QByteArray &body, const QByteArray &extra)
    {
        QByteArray response = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reasonPhrase(status) + "\r\n";
        response += "Content-Type: " + type + "\r\n" + extra;
        response += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
        response += m_closeAfter ? "Connection: close\r\n\r\n" : "Connection: keep-alive\r\n\r\n";
        if (!m_headOnly && status != 204)
            response += body;
        m_sent = body.size();
        logUpdate(status, false);
        writeHead(response, [this, status] {
            logUpdate(status, true);
            finishResponse();
        });
    }

    // Writes the head of an answer at once, or one byte per m_dripMs; then()
    // follows once it is all written.
    void writeHead(const QByteArray &head, std::function<void()> then)
    {
        if (m_dripMs <= 0) {
            m_socket->write(head);
            then();
            return;
        }
        m_state = State::Dripping;
        m_drip = head;
        m_afterDrip = std::move(then);
        m_floodLimit.start(kFloodMs);
        m_dripTimer.start(m_dripMs);
    }

    void dripOne()
    {
        if (m_state != State::Dripping || m_drip.isEmpty()) {
            m_dripTimer.stop();
            return;
        }
        m_socket->write(m_drip.left(1));
        m_drip.remove(0, 1);
        if (!m_drip.isEmpty())
            return;
        m_dripTimer.stop();
        m_floodLimit.stop();
        const std::function<void()> then = std::move(m_afterDrip);
        then();
    }

    // Interim answers as fast as the reader takes them, `count` of them
    // (-1 = until the bound), then the real answer by then().
    void startInterim(int count, int status, std::function<void()> then)
    {
        m_state = State::Interim;
        m_interimLeft = count;
        m_interim = "HTTP/1.1 " + QByteArray::number(status) + ' '
            + (status == 103 ? "Early Hints\r\nLink: </style.css>; rel=preload; as=style" : "Continue") + "\r\n\r\n";
        m_afterInterim = std::move(then);
        m_floodLimit.start(kFloodMs);
        logUpdate(status, false);
        pumpInterim();
    }

    void pumpInterim()
    {
        while (m_interimLeft != 0 && pending() < 64 * 1024 && m_sent < kFloodBytes) {
            m_socket->write(m_interim);
            m_sent += m_interim.size();
            if (m_interimLeft > 0)
                --m_interimLeft;
        }
        logUpdate(0, false);
        if (m_interimLeft == 0) {
            m_floodLimit.stop();
            m_sent = 0;
            const std::function<void()> then = std::move(m_afterInterim);
            then();
        } else if (m_sent >= kFloodBytes) {
            m_state = State::Closing;
            m_socket->disconnectFromHost();
        }
    }

    void finishResponse()
    {
        m_throttle.stop();
        m_file.reset();
        if (m_closeAfter) {
            m_state = State::Closing;
            m_socket->disconnectFromHost();
            return;
        }
        m_state = State::ReadingHead;
        QTimer::singleShot(0, this, [this] { processInput(); });
    }

    void pump()
    {
        if (m_state != State::Sending)
            return;
        constexpr qint64 kChunk = 64 * 1024;
        QByteArray buf;
        while (m_remaining > 0 && pending() < 4 * kChunk) {
            qint64 n = std::min(kChunk, m_remaining);
            if (m_dropAfter >= 0)
                n = std::min(n, m_dropAfter - m_sent);
            if (m_stallAfter >= 0)
                n = std::min(n, m_stallAfter - m_sent);
            if (m_rate > 0)
                n = std::min(n, m_budget);
            if (m_chunked)
                n = std::min(n, nextChunkSize());
            if (n <= 0)
                break;
            buf.resize(n);
            if (m_offset + n > m_sourceSize) {
                // Filler past the end of the file (Rule::extraBytes).
                const qint64 inFile = std::max<qint64>(0, m_sourceSize - m_offset);
                n = inFile > 0 ? inFile : n;
                buf.resize(n);
                if (inFile == 0)
                    buf.fill('#');
            }
            if (m_offset >= m_sourceSize) {
                // filler already in buf
            } else switch (m_source.kind) {
            case Source::Memory: memcpy(buf.data(), m_source.data.constData() + m_offset, size_t(n)); break;
            case Source::Generated: HttpServer::GeneratedBytes(buf.data(), m_offset, n); break;
            case Source::Disk:
                if (m_file->read(buf.data(), n) != n) {
                    m_socket->abort();
                    return;
                }
                break;
            }
            if (m_chunked)
                writeChunk(buf);
            else
                m_socket->write(buf);
            m_offset += n;
            m_sent += n;
            m_remaining -= n;
            if (m_rate > 0)
                m_budget -= n;
        }
        logUpdate(0, m_remaining == 0);
        if (m_stallAfter >= 0 && m_sent >= m_stallAfter && m_remaining > 0) {
            // Stuck in the middle of the body, the connection left open.
            m_state = State::Stalled;
            m_throttle.stop();
            return;
        }
        if (m_dropAfter >= 0 && m_sent >= m_dropAfter && m_remaining > 0) {
            // Dropped in the middle of the body: what was written still arrives.
            m_state = State::Closing;
            m_throttle.stop();
            m_socket->disconnectFromHost();
            return;
        }
        if (m_remaining == 0) {
            if (m_chunked)
                m_socket->write("0\r\nX-Trailer: end\r\n\r\n");
            finishResponse();
        }
    }

    // Chunk sizes that cross every boundary a reader might count on.
    qint64 nextChunkSize() const
    {
        static const qint64 sizes[] = {1, 4095, 4097, 65536, 7, 12345, 2, 30000};
        return sizes[m_chunkIndex % (sizeof sizes / sizeof sizes[0])];
    }

    void writeChunk(const QByteArray &data)
    {
        QByteArray line = QByteArray::number(data.size(), 16);
        if (m_chunkIndex % 3 == 1)
            line = line.toUpper() + ";name=\"value\"";
        m_socket->write(line + "\r\n");
        m_socket->write(data);
        m_socket->write("\r\n");
        ++m_chunkIndex;
    }

    // Header lines for ever, as fast as the reader takes them (up to a bound,
    // so that a reader that never stops still ends the test).
    void pumpHeaderLines()
    {
        constexpr qint64 kBound = kFloodBytes;
        while (pending() < 64 * 1024 && m_sent < kBound) {
            const QByteArray line = "X-Filler-" + QByteArray::number(m_sent) + ": " + QByteArray(100, 'f') + "\r\n";
            m_socket->write(line);
            m_sent += line.size();
        }
        logUpdate(0, false);
        if (m_sent >= kBound) {
            m_state = State::Closing;
            m_socket->disconnectFromHost();
        }
    }

    QTcpSocket *m_socket;
    std::shared_ptr<HttpServer::Shared> m_shared;
    qint64 m_id;
    QByteArray m_serverName;
    State m_state = State::ReadingHead;
    QByteArray m_in;
    qint64 m_logSerial = -1;
    Source m_source;
    std::unique_ptr<QFile> m_file;
    qint64 m_offset = 0;
    qint64 m_sourceSize = 0;
    qint64 m_remaining = 0;
    qint64 m_sent = 0;
    qint64 m_dropAfter = -1;
    qint64 m_stallAfter = -1;
    int m_dripMs = 0;
    QByteArray m_drip;                  // head bytes still to drip
    std::function<void()> m_afterDrip;
    QTimer m_dripTimer;
    int m_interimLeft = 0;              // interim answers still to send; -1 = endless
    QByteArray m_interim;
    std::function<void()> m_afterInterim;
    QTimer m_floodLimit;                // ends a flood or drip that runs too long
    qint64 m_rate = 0;
    qint64 m_budget = 0;
    bool m_headOnly = false;
    bool m_closeAfter = false;
    bool m_chunked = false;
    int m_chunkIndex = 0;
    QTimer m_throttle;
    bool m_gone = false;  // closed() has run
};

class Worker : public QObject
{
public:
    explicit Worker(std::shared_ptr<HttpServer::Shared> shared) : m_shared(std::move(shared)) {}

    quint16 listen(const QHostAddress &address, quint16 port)
    {
        m_server = new Listener([this](QTcpSocket *socket, const QByteArray &serverName) {
            m_connections.removeAll(nullptr);
            for (const QPointer<Connection> &open : std::as_const(m_connections))
                open->dropIfClientGone();
            qint64 id = 0;
            {
                QMutexLocker lock(&m_shared->mutex);
                id = ++m_shared->connections;
                m_shared->peakConnections = std::max(m_shared->peakConnections, ++m_shared->openConnections);
            }
            auto *connection = new Connection(socket, m_shared, id, serverName);
            connection->setParent(this);
            m_connections.append(connection);
        }, this);
        {
            QMutexLocker lock(&m_shared->mutex);
            m_server->setTls(m_shared->tls);
        }
        if (!m_server->listen(address, port))
            return 0;
        return m_server->serverPort();
    }

private:
    std::shared_ptr<HttpServer::Shared> m_shared;
    Listener *m_server = nullptr;
    QList<QPointer<Connection>> m_connections;  // those not yet closed, and some gone
};

} // namespace

// ---------------------------------------------------------------- server

HttpServer::HttpServer() : m_shared(std::make_shared<Shared>()) {}

HttpServer::~HttpServer() { stop(); }

bool HttpServer::start(quint16 port, const QHostAddress &address)
{
    stop();
    m_thread = new QThread;
    m_thread->setObjectName(QStringLiteral("httpserver"));
    auto *worker = new Worker(m_shared);
    worker->moveToThread(m_thread);
    QObject::connect(m_thread, &QThread::finished, worker, &QObject::deleteLater);
    m_worker = worker;
    m_thread->start();
    quint16 result = 0;
    QMetaObject::invokeMethod(
        worker, [&] { result = worker->listen(address, port); }, Qt::BlockingQueuedConnection);
    m_port = result;
    m_address = address;
    if (!result) {
        stop();
        return false;
    }
    return true;
}

void HttpServer::stop()
{
    if (!m_thread)
        return;
    // The worker owns the listening socket and every connection; it is
    // deleted when the thread finishes, which closes them all.
    EndThread(m_thread);
    m_worker = nullptr;
    m_port = 0;
}

quint16 HttpServer::port() const { return m_port; }
QString HttpServer::hostPort() const
{
    if (m_address.protocol() == QAbstractSocket::IPv6Protocol && m_address != QHostAddress::AnyIPv6)
        return QStringLiteral("[%1]:%2").arg(m_address.toString()).arg(m_port);
    return QStringLiteral("127.0.0.1:%1").arg(m_port);
}

QString HttpServer::url(const QString &path) const
{
    return (isTls() ? QStringLiteral("https://") : QStringLiteral("http://")) + hostPort() + path;
}

bool HttpServer::setTls(const QString &certificateFile, const QString &keyFile, TlsVersions versions)
{
    QSslConfiguration tls;
    if (!certificateFile.isEmpty() || !keyFile.isEmpty()) {
        tls = ServerTls(certificateFile, keyFile, versions);
        if (tls.isNull())
            return false;
    }
    QMutexLocker lock(&m_shared->mutex);
    m_shared->tls = tls;
    return true;
}

bool HttpServer::isTls() const
{
    QMutexLocker lock(&m_shared->mutex);
    return !m_shared->tls.isNull();
}

qint64 HttpServer::connectionCount() const
{
    QMutexLocker lock(&m_shared->mutex);
    return m_shared->connections;
}

int HttpServer::peakConnections() const
{
    QMutexLocker lock(&m_shared->mutex);
    return m_shared->peakConnections;
}

void HttpServer::setRoot(const QString &folder)
{
    QMutexLocker lock(&m_shared->mutex);
    m_shared->root = folder;
}

void HttpServer::addFile(const QString &path, const QByteArray &data)
{
    QMutexLocker lock(&m_shared->mutex);
    Source s;
    s.kind = Source::Memory;
    s.data = data;
    s.size = data.size();
    s.etag = '"' + QCryptographicHash::hash(data, QCryptographicHash::Sha1).toHex().left(16) + '"';
    m_shared->sources.insert(path, s);
}

void HttpServer::addGeneratedFile(const QString &path, qint64 size)
{
    QMutexLocker lock(&m_shared->mutex);
    Source s;
    s.kind = Source::Generated;
    s.size = size;
    s.etag = "\"g" + QByteArray::number(size) + '"';
    m_shared->sources.insert(path, s);
}

void HttpServer::addDiskFile(const QString &path, const QString &file)
{
    QMutexLocker lock(&m_shared->mutex);
    Source s;
    s.kind = Source::Disk;
    s.file = file;
    s.size = QFileInfo(file).size();
    m_shared->sources.insert(path, s);
}

void HttpServer::addHandler(const QString &path, Handler handler)
{
    QMutexLocker lock(&m_shared->mutex);
    m_shared->handlers[path] = std::move(handler);
}

void HttpServer::addRule(const Rule &rule)
{
    QMutexLocker lock(&m_shared->mutex);
    m_shared->rules.append(rule);
}

void HttpServer::clearRules()
{
    QMutexLocker lock(&m_shared->mutex);
    m_shared->rules.clear();
}

void HttpServer::setDefaultRate(qint64 bytesPerSecond)
{
    QMutexLocker lock(&m_shared->mutex);
    m_shared->defaultRate = bytesPerSecond;
}

QList<RequestLog> HttpServer::requests() const
{
    QMutexLocker lock(&m_shared->mutex);
    return m_shared->log;
}

QList<RequestLog> HttpServer::requestsFor(const QString &path) const
{
    QList<RequestLog> out;
    for (const RequestLog &r : requests())
        if (r.request.path == path)
            out.append(r);
    return out;
}

void HttpServer::setRequestObserver(std::function<void(const QString &path)> fn)
{
    QMutexLocker lock(&m_shared->mutex);
    m_shared->observer = std::move(fn);
}

void HttpServer::clearRequests()
{
    QMutexLocker lock(&m_shared->mutex);
    m_shared->firstSerial += m_shared->log.size();
    m_shared->log.clear();
    m_shared->peakConnections = m_shared->openConnections;
}

void HttpServer::setDefaultDelay(int milliseconds)
{
    QMutexLocker lock(&m_shared->mutex);
    m_shared->defaultDelay = milliseconds;
}

static qsizetype CountOpen(const QList<RequestLog> &log)
{
    return std::count_if(log.cbegin(), log.cend(), [](const RequestLog &r) { return r.open(); });
}

qsizetype HttpServer::openRequests() const
{
    QMutexLocker lock(&m_shared->mutex);
    return CountOpen(m_shared->log);
}

bool HttpServer::waitForRequestCount(qsizetype count, int timeoutMs) const
{
    return WaitForLog(*m_shared, timeoutMs, [count](const auto &log) { return log.size() >= count; });
}

bool HttpServer::waitForNoOpenRequests(int timeoutMs) const
{
    return WaitForLog(*m_shared, timeoutMs, [](const auto &log) { return CountOpen(log) == 0; });
}

} // namespace velmora::httpd
