// SPDX-FileCopyrightText: 2026 Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One HTTP GET on libcurl, as the download engine and the catalogue fetches
// use it: start it, wait on wake() until its final answer's headers are in,
// read the status and headers by name, then take the body as it arrives.
//
// Redirects (at most kMaxHops) are followed here rather than by libcurl, so
// that each hop is checked: only http and https, never from https down to
// http, and the user's name and password only ever go to the address they
// were given for (after a 401 from it, as a browser asks).
//
// What a server can make us hold is bounded: the header bytes of an answer,
// interim answers included, by kMaxHeaderBytes; the body by kBodyBuffer
// (libcurl is paused while the buffer is full, and resumed as it is taken).
//
// A ranged body that is long enough, from a server that named its version,
// and whose connection is held back (see kFastAlone), comes over several
// connections (NetSettings::connections): this one brings its start, the
// others the pieces after it, and the reader takes them in order as one
// body (see PieceStream).
#include "net/bodybuffer.h"
#include "net/curlmulti.h"
#include "net/failure.h"
#include "net/piece.h"
#include "net/route.h"

#include <memory>
#include <optional>

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <QTimer>
#include <QUrl>

namespace velmora::net {

class PieceStream;

class Transfer : public QObject
{
    Q_OBJECT
public:
    // libcurl's own receive buffer: large, so a fast link costs few calls.
    static constexpr long kCurlBuffer = 512 * 1024;
    // Body bytes held at most. libcurl is paused when a write does not fit,
    // and then keeps a copy of what it read; room for two of its buffers and
    // more makes that rare.
    static constexpr qint64 kBodyBuffer = 4 * kCurlBuffer;
    // A body that brings this much in its first kPaceMs is fast enough on
    // its own connection: more connections would only cost (loopback, a
    // host that does not throttle each connection). Otherwise the pieces
    // begin then.
    static constexpr qint64 kFastAlone = 32 * 1024 * 1024;
    static constexpr qint64 kPaceMs = 500;
    // Redirects followed before an answer is taken as it is.
    static constexpr int kMaxHops = 10;
    // A body this small is read to its end and dropped (a redirect's, or a
    // length request's) so that the connection can serve the next request.
    static constexpr qint64 kDrainLimit = 256 * 1024;

    // Transfers given the same multi share its connections; without one the
    // transfer keeps its own.
    explicit Transfer(CurlMulti *multi = nullptr, QObject *parent = nullptr);
    ~Transfer() override;

    void setCredentials(const QString &userName, const QString &password);
    void setSettings(const NetSettings &settings) { m_limits = settings; }
    const NetSettings &settings() const { return m_limits; }

    // Starts a GET. range and ifRange are the values of those headers ("" =
    // none); headersOnly: the body is not wanted (the length request).
    // Returns false (with errorString()) when the address cannot be asked for.
    bool execute(const QString &address, const QByteArray &range, bool headersOnly,
                 const QByteArray &ifRange = QByteArray());

    // Until the final answer's headers are in, or the request has ended.
    bool stillExecuting() const;
    // No more body will come (what is buffered can still be taken).
    bool bodyEnded() const;
    NetFailure failure() const { return m_failure; }
    // The answer came whole: its body ended where the server said it would.
    bool complete() const;
    CertificateProblem certificateProblem() const { return m_certificate; }
    // libcurl's words for what went wrong, for logs ("" when nothing did).
    QString errorString() const { return m_error; }

    // The final answer: its status (0 when none came), one header's value
    // ("" when absent) and all of them as "<status line>" CR LF "Name: value" CR LF ...
    int status() const { return headIn() ? m_hop.status : 0; }
    QByteArray header(const QByteArray &name) const;
    QString headerText() const;
    // Where the answer came from, after redirects.
    QUrl url() const { return m_url; }

    // Up to size bytes of the body, as far as they are in, as a copy.
    QByteArray getChunk(qint64 size);
    // The next body bytes where they lie, up to size (at most
    // BodyBuffer::kMaxPeek); valid until consume(), cancel() or the next
    // request. Reading them does not take them: consume() does.
    QByteArrayView peek(qint64 size) { return peekShared(size).bytes; }
    // The same, with the block the bytes lie in, for a reader that keeps
    // them beyond consume() without a copy.
    SharedView peekShared(qint64 size);
    void consume(qint64 bytes);
    // A chunk of size bytes is in, or the end.
    bool chunkReady(qint64 size) const { return bufferedBytes() >= size || bodyEnded(); }
    qint64 bufferedBytes() const;
    // Connections bringing pieces of the body besides this one, at this moment.
    int pieceConnections() const;

    void cancel();

signals:
    // Something changed that a waiting caller should look at.
    void wake();

private:
    static size_t onHeaderLine(char *data, size_t size, size_t count, void *self);
    static size_t onBodyBytes(char *data, size_t size, size_t count, void *self);
    size_t takeHeaderLine(QByteArray line);
    bool endOfHead();
    size_t takeBody(const char *data, size_t bytes);
    size_t endAtLength();
    bool startHop(const QUrl &url);
    void configure(CURL *easy, const QUrl &url);
    void hopEnded(CURLcode result);
    bool followRedirect();
    void fail(NetFailure why, const QString &error);
    void finish();
    void dropEasy();
    void resumeIfRoom();
    void bodyTimedOut();
    // The hop under way goes to the address the user's name and password were given for.
    bool sameOrigin() const;
    void planPieces();
    void considerPieces();
    void beginPieces();
    bool piecesFollow() const;

    CurlMulti *m_multi;
    CURL *m_easy = nullptr;
    struct curl_slist *m_requestHeaders = nullptr;
    char m_errorBuffer[CURL_ERROR_SIZE] = {};
    NetSettings m_limits;
    QTimer m_headTimer;
    QTimer m_idleTimer;      // checks m_lastBodyByte; not restarted for every write
    QElapsedTimer m_lastBodyByte;

    // The request.
    QString m_userName;
    QString m_password;
    QUrl m_origin;
    Endpoint m_originEndpoint;
    QUrl m_url;
    Endpoint m_endpoint;  // where the hop under way goes, and by which proxy
    QByteArray m_range;
    QByteArray m_ifRange;
    bool m_headersOnly = false;
    bool m_sendAuth = false;
    int m_hops = 0;

    // What happened to it.
    bool m_ended = true;
    bool m_complete = false;
    NetFailure m_failure = NetFailure::None;
    CertificateProblem m_certificate = CertificateProblem::None;
    QString m_error;

    // Where one hop (one request and its answer) stands. An answer rule is
    // one case here, decided where the head ends.
    enum class HopState {
        Head,       // waiting for the final answer's head
        Redirect,   // a redirect's head is in: its body is read off, then the next hop starts
        AuthRetry,  // a 401 to be asked again with the credentials: its body is read off
        Drain,      // a length request's short body, read off so the connection stays usable
        Body,       // the final answer's body is wanted
        Ended,      // ended by us: at the head (a length request's long body) or at the length that ends it
    };
    struct Hop
    {
        HopState state = HopState::Head;
        bool whole = false;  // Ended at the length that ends the body
        NetFailure pendingFailure = NetFailure::None;  // decided inside a libcurl callback
        qint64 headerBytes = 0;   // interim answers included
        int status = 0;
        QByteArray statusLine;
        QList<QPair<QByteArray, QByteArray>> headers;
        qint64 lengthEnds = -1;   // body length that ends the answer when its framing does not
        qint64 bodyTaken = 0;     // body bytes of a wanted body, kept or beyond lengthEnds
        qint64 discarded = 0;     // body bytes nobody wants, read off
        bool paused = false;      // libcurl waits for room in the body buffer
        // Pieces this body may be split into, decided once the head connection's pace is known.
        std::optional<PieceSource> piecePlan;
        qint64 planFrom = 0;      // the file offset the body starts at
        QElapsedTimer sinceHead;
    };
    Hop m_hop;
    // The final answer's head is in (the hop may have ended since).
    bool headIn() const
    {
        return m_hop.state == HopState::Body || m_hop.state == HopState::Drain || m_hop.state == HopState::Ended;
    }
    bool discarding() const
    {
        return m_hop.state == HopState::Redirect || m_hop.state == HopState::AuthRetry
            || m_hop.state == HopState::Drain;
    }

    // The body.
    BodyBuffer m_body{kBodyBuffer};
    // The rest of a long ranged body, over more connections, after this one's first piece.
    std::unique_ptr<PieceStream> m_pieces;
};

// An address as it may be shown or logged: without user name and password.
QString WithoutUserInfo(const QString &address);

} // namespace velmora::net
