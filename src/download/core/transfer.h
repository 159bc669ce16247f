#pragma once
// The transfer: the HTTP/1.1 client of the download window, spoken over a
// plain TCP socket (TLS for https). One request at a time, one connection a
// request ("Connection: close"); the engine waits on wake().
//
// It speaks the protocol itself so that it can bound what a server makes it
// hold: a header block ends at 64 KiB, a chunk-size line at 1 KiB, and the
// body waits in a fixed-size buffer (the socket is not read while it is full).
#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QString>
#include <QUrl>

class QTcpSocket;

namespace velmora {

// Why a request gave no usable answer.
enum class TransferFailure {
    None,
    Unreachable,  // no status line arrived: the connection failed or closed first
    BadAnswer,    // something arrived that is not an HTTP answer, or an endless one
};

class Transfer : public QObject
{
    Q_OBJECT
public:
    // Largest header block taken from a server.
    static constexpr qint64 kMaxHeaderBlock = 64 * 1024;
    // Largest chunk-size line of a chunked body (extensions included).
    static constexpr qint64 kMaxChunkLine = 1024;
    // Body bytes held at most, in the socket and decoded, before reading stops.
    static constexpr qint64 kBodyBuffer = 1024 * 1024;
    // Redirects followed for one request before its answer is taken as it is.
    static constexpr int kMaxHops = 10;

    explicit Transfer(QObject *parent = nullptr);
    ~Transfer() override;

    void setCredentials(const QString &userName, const QString &password);

    // Starts a GET. rangeHeader is the value for "Range" ("" = none), ifRange
    // the value for "If-Range" ("" = none); headersOnly: stop as soon as the
    // response headers are in (the length request), without taking the body.
    // Returns false (and sets errorString()) when the address cannot be
    // requested at all.
    bool execute(const QString &address, const QByteArray &rangeHeader, bool headersOnly,
                 const QByteArray &ifRange = QByteArray());

    // Still executing: until the final answer's headers are in or the request ended.
    bool stillExecuting() const;
    // No more body will arrive (what is buffered can still be taken).
    bool ended() const { return m_ended; }
    TransferFailure failure() const { return m_failure; }

    // Value of one response header ("" when absent) / all headers as
    // "HTTP/1.1 <code> <reason>" CR LF followed by "Name: value" CR LF lines;
    // "" when no usable status arrived.
    QByteArray header(const QByteArray &name) const;
    QString headerText() const;

    // Up to `size` bytes of the body. Blocks nothing: returns what can be
    // given now. chunkReady() tells whether a full chunk (or the end) is in.
    QByteArray getChunk(qint64 size);
    bool chunkReady(qint64 size) const;

    void cancel();
    QString errorString() const { return m_error; }
    // Bytes of body buffered but not yet handed out.
    qint64 bufferedBytes() const;

signals:
    void wake();

private:
    enum class Phase { Idle, Head, Body, Done };
    enum class Framing { None, Length, Chunked, UntilClose };
    enum class ChunkState { SizeLine, Data, DataEnd, Trailer, Finished };

    bool startHop(const QUrl &url);
    QByteArray buildRequest() const;
    void onReadyRead();
    void onClosed();
    bool readHead();
    bool takeHead(const QByteArray &block);
    bool parseStatusLine(const QByteArray &line);
    bool nextHop();
    bool retryWithCredentials();
    bool chooseFraming();
    void decodeChunked();
    bool decodeChunkLine(const QByteArray &line);
    void fail(TransferFailure why, const QString &error);
    void finish();
    void dropSocket();
    qint64 identityBuffered() const;
    qint64 rawAvailable() const;
    QByteArray rawRead(qint64 max);
    QByteArray rawReadLine(qint64 max);
    void takeSocketTail();

    QTcpSocket *m_socket = nullptr;
    QString m_userName;
    QString m_password;
    QUrl m_url;
    QByteArray m_rangeHeader;
    QByteArray m_ifRange;
    bool m_headersOnly = false;
    bool m_authTried = false;
    bool m_sendAuth = false;
    int m_hops = 0;
    Phase m_phase = Phase::Idle;
    bool m_ended = false;
    bool m_headersIn = false;
    TransferFailure m_failure = TransferFailure::None;
    QString m_error;

    // The answer.
    QByteArray m_head;  // bytes of the header block read so far
    int m_status = 0;
    QByteArray m_reason;
    QList<QPair<QByteArray, QByteArray>> m_headers;
    QString m_headerText;

    // Bytes read past a header block, taken before the socket's own.
    QByteArray m_pending;
    qint64 m_pendingPos = 0;

    // The body.
    Framing m_framing = Framing::None;
    qint64 m_wireLeft = 0;      // Length: body bytes still to take from the socket
    QByteArray m_body;          // body bytes taken off the socket, not yet handed out
    qint64 m_bodyPos = 0;
    ChunkState m_chunkState = ChunkState::SizeLine;
    qint64 m_chunkLeft = 0;
    QByteArray m_line;          // a chunk-size or trailer line being read
    qint64 m_trailerBytes = 0;
    bool m_closed = false;      // the connection has ended
};

} // namespace velmora
