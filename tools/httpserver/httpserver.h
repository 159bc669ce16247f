// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// A small scriptable HTTP/1.1 server for loopback use: the demo server the
// program is shown against, and the server the tests break on purpose.
// It runs on a thread of its own, so a caller may block in its own event loop
// (or not run one at all) while the server answers.
#include "listener.h"

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QMutex>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>

class QThread;

namespace velmora::httpd {

struct Request
{
    QByteArray method;
    QByteArray target;     // as written in the request line
    QString path;          // decoded path, without query
    QUrl url;              // target resolved against http://host/
    QByteArray head;       // the whole request head, request line included
    QByteArray range;      // value of the Range header ("" when absent)
    QByteArray header(const QByteArray &name) const;
};

// A fault or special answer for one path.
struct Rule
{
    enum class When {
        Any,
        WithRange,         // the request carries a Range header
        WithoutRange,      // it carries none
        RangeFromNonZero,  // its range starts after byte 0
        ClosedRange,       // its range names its last byte too ("bytes=a-b")
    };
    QString path;              // exact path; "*" matches every path
    When when = When::Any;
    int count = -1;            // number of requests it applies to; -1 = all
    int status = 0;            // answer this status (with `body`) instead of the file
    QByteArray location{};     // Location header for a status answer (302), as given: relative,
                               // or to another host, port or scheme
    QByteArray body{};         // body of a status answer
    bool ignoreRange = false;  // serve 200 and the whole file even when a range is asked
    bool refuseRange = false;  // answer 416 to any range
    bool noContentLength = false;  // send no Content-Length; the end of the body closes
    qint64 dropAfter = -1;     // close the connection after this many body bytes
    bool stall = false;        // read the request, never answer
    qint64 rate = 0;           // body bytes per second; 0 = as fast as possible
    bool closeWithoutAnswer = false;  // read the request, then close without a status line
    qint64 extraBytes = 0;     // the file's answer is this many bytes longer than the file
                               // (Content-Length and Content-Range count them; filler bytes)
    QByteArray extraHeaders{}; // raw header lines ("Name: value\r\n") added to a status answer
                               // or to the file's answer
    qint64 rangeShift = 0;     // a 206 starts this many bytes after the asked offset
                               // (and its Content-Range says so)
    bool noValidator = false;  // send no ETag for the file
    int delayMs = -1;          // hold the answer this long after the request; -1 = the server's default
    bool endlessHeaders = false;  // a status line, then header lines that never end
                                  // (bodyBytesSent counts them; cut off after 256 MiB or 60 s)
    bool chunked = false;      // the file's answer in chunked transfer-coding, chunks of
                               // varied sizes, some with extensions, and a trailer
    int interimCount = 0;      // interim answers sent before the answer; -1 = endless, no answer
                               // follows (bodyBytesSent counts them; cut off after 256 MiB or 60 s)
    int interimStatus = 100;   // their status: 100 Continue, or 103 Early Hints with a Link header
    int dripMs = 0;            // the answer's head goes out one byte per this many milliseconds
                               // (a status answer's body with it); cut off after 60 s
    qint64 stallAfter = -1;    // stop sending after this many body bytes; the connection stays open
    bool requireUserAgent = false;  // answer 403 to a request without a User-Agent header
    bool identityEncoding = false;  // "Transfer-Encoding: identity" on the file's answer (with
                                    // noContentLength the body ends when the connection does)
    int beyondConnections = 0;  // applies only while more than this many connections are open
    QString servePath{};        // answer with the file served at this path instead (another
                                // version of it, with its own ETag)
    bool ignoreIfRange = false; // serve the range even when If-Range names another version
};

struct Response
{
    int status = 200;
    QByteArray contentType = "text/html";
    QByteArray body;
};

using Handler = std::function<Response(const Request &)>;

struct RequestLog
{
    Request request;
    int status = 0;            // status line sent (0 while stalled)
    qint64 bodyBytesSent = 0;  // body bytes written to the socket so far
    bool finished = false;     // the answer was sent whole
    bool closed = false;       // its connection has closed (either side)
    qint64 connectionId = 0;   // the connection it came on: 1, 2, ... in the order they were accepted
    QByteArray serverName{};   // the TLS server name (SNI) the client sent; "" for plain HTTP or none
    bool open() const { return !finished && !closed; }  // the client may still be waiting for it
};

class HttpServer
{
public:
    HttpServer();
    ~HttpServer();
    HttpServer(const HttpServer &) = delete;
    HttpServer &operator=(const HttpServer &) = delete;

    // Listens on address:port (0 = any free port). Returns false when it cannot.
    // QHostAddress::LocalHostIPv6 listens on [::1].
    bool start(quint16 port = 0, const QHostAddress &address = QHostAddress::LocalHost);
    void stop();
    quint16 port() const;
    QString hostPort() const;                   // "127.0.0.1:port", or "[::1]:port" on IPv6 loopback
    QString url(const QString &path) const;     // "http://" (or "https://") + hostPort() + path

    // From the next start() on, speak HTTPS with this certificate and key
    // (PEM files) in these versions; empty names go back to plain HTTP. False
    // when the files cannot be read as a certificate and its key.
    bool setTls(const QString &certificateFile, const QString &keyFile, TlsVersions versions = TlsVersions::Current);
    bool isTls() const;
    // Connections accepted so far, TLS handshakes that failed included.
    qint64 connectionCount() const;
    // Most connections open at the same time since the start or the last clearRequests().
    int peakConnections() const;

    // Where files not otherwise known are looked up (empty = nowhere).
    void setRoot(const QString &folder);
    // Serve `data` at path. Memory and generated files carry an ETag naming
    // their content, and a range under another If-Range gets the whole file.
    void addFile(const QString &path, const QByteArray &data);
    // Serve a generated file of `size` bytes at path (see GeneratedBytes).
    void addGeneratedFile(const QString &path, qint64 size);
    // Serve a file from disk at path (sparse files welcome).
    void addDiskFile(const QString &path, const QString &file);
    // Answer requests for path (exact, or a prefix when it ends in "*") by a function.
    void addHandler(const QString &path, Handler handler);
    void addRule(const Rule &rule);
    void clearRules();
    // Throttle every body to this many bytes per second (0 = off) unless a rule says otherwise.
    void setDefaultRate(qint64 bytesPerSecond);
    // Hold every answer this long after its request (0 = off) unless a rule says otherwise.
    void setDefaultDelay(int milliseconds);

    QList<RequestLog> requests() const;
    QList<RequestLog> requestsFor(const QString &path) const;
    void clearRequests();
    // Requests whose answer is neither sent whole nor cut off by a closed connection.
    qsizetype openRequests() const;
    // Blocks until no request is open, at most timeoutMs; true when none is.
    // The server answers on its own thread, so the caller need not run an event loop.
    bool waitForNoOpenRequests(int timeoutMs) const;
    // Blocks until the log holds at least count requests, at most timeoutMs.
    bool waitForRequestCount(qsizetype count, int timeoutMs) const;
    // Called on the server's own thread with the path of each request as it
    // is logged: for a caller whose own thread must keep running meanwhile,
    // so fn should only pass the news on (post it to that thread). An empty
    // fn stops the calls.
    void setRequestObserver(std::function<void(const QString &path)> fn);

    // Content of generated files: a fixed pseudo-random sequence, the same
    // for every file, so byte i of any generated file is known to a checker.
    static void GeneratedBytes(char *dst, qint64 offset, qint64 length);
    // sha256 of the first `size` generated bytes, as lowercase hex.
    static QByteArray GeneratedSha256(qint64 size);

    struct Shared;  // state shared with the server thread

private:
    std::shared_ptr<Shared> m_shared;
    QThread *m_thread = nullptr;
    QObject *m_worker = nullptr;
    quint16 m_port = 0;
    QHostAddress m_address;
};

} // namespace velmora::httpd
