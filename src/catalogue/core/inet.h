// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Inet: the fetch component of the main window. Catalogue lists, pages and
// search results come through it, over http or https only. Fetch blocks its
// caller in a local event loop until the answer is in, so the caller's other
// events (timers, clicks, a close request) run meanwhile; Start and Wait let
// a load keep several fetches running side by side.
#include "net/failure.h"

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>

#include <deque>
#include <map>

namespace velmora {

namespace net {
class CurlMulti;
class Transfer;
}

// How a fetch ended.
enum class FetchStatus {
    Ok,           // a 2xx answer, whole
    ErrorAnswer,  // an answer with another status (an error page): its body is still the text
    Cut,          // the body ran past kMaxFetchBytes: the first kMaxFetchBytes are the text
    Failed,       // no answer: no connection, a broken or silent transfer, an unusable address
    Refused,      // a scheme other than http or https, or a redirect to one (or from https to http)
    Cancelled,    // Cancel or Drop stopped it
};

struct FetchResult
{
    FetchStatus status = FetchStatus::Failed;
    int httpStatus = 0;       // the answer's status code; 0 without an answer
    QByteArray body;          // what arrived of the body when there was an answer
    QByteArray contentType;
    QString error;            // what went wrong, in the network layer's words (for logs)

    // An answer came (even an error page or a cut one): the body is the text.
    bool answered() const
    {
        return status == FetchStatus::Ok || status == FetchStatus::ErrorAnswer || status == FetchStatus::Cut;
    }
    // The body decoded (see DecodeFetchedText); empty without an answer.
    QString text() const;
};

// The most of one body that is read; the rest is not fetched.
inline constexpr qint64 kMaxFetchBytes = 64 * 1024 * 1024;
// Fetches running at once, to one server (scheme, host and port) and in all.
inline constexpr int kFetchesPerHost = 6;
inline constexpr int kFetchesInAll = 16;

class Inet : public QObject
{
    Q_OBJECT
public:
    using Ticket = quint64;

    explicit Inet(QObject *parent = nullptr);
    ~Inet() override;

    // Fetches url and waits for the whole answer.
    FetchResult Fetch(const QString &url);
    // The text of Fetch(url); empty when no answer came.
    QString OpenURL(const QString &url);

    // Starts a fetch without waiting for it; beyond the limits above it waits
    // in line, in the order started. The result is kept until Wait or Drop.
    Ticket Start(const QString &url);
    // Waits for the fetch of ticket (running the caller's events meanwhile),
    // returns its result and forgets the ticket.
    FetchResult Wait(Ticket ticket);
    // Stops the fetch of ticket if it still runs and forgets it.
    void Drop(Ticket ticket);

    // A fetch is running or waiting in line.
    bool StillExecuting() const;
    // Stops every fetch: each waiting call returns Cancelled at once.
    void Cancel();

    // A fetch whose head takes longer than this, or whose body stalls this
    // long, fails (0 = never).
    void setRequestTimeout(int milliseconds) { m_timeoutMs = milliseconds; }
    int requestTimeout() const { return m_timeoutMs; }
    // Connect limit and trusted authorities of the fetches started from now on.
    void setNetSettings(const net::NetSettings &settings) { m_settings = settings; }

signals:
    void fetchDone(velmora::Inet::Ticket ticket);

private:
    struct Job
    {
        QString url;
        QString server;                 // scheme://host:port, for the per-server limit
        net::Transfer *transfer = nullptr; // while it runs
        FetchStatus stopped = FetchStatus::Ok;  // Cut, Refused or Cancelled once decided here
        qsizetype reserved = -1;        // room made for the body from its answer's length; -1 before the head
        FetchResult result;
        bool done = false;
    };

    void Launch(Ticket ticket, Job &job);
    void StartWaiting();
    void ReadBody(Ticket ticket);
    static bool AppendBody(Job &job);
    void Finished(Ticket ticket);
    void Stop(Ticket ticket, FetchStatus why);

    net::CurlMulti *m_multi;  // the fetches share its connections
    std::map<Ticket, Job> m_jobs;
    std::deque<Ticket> m_line;          // started, waiting for a free connection
    QHash<QString, int> m_perServer;    // running fetches per server
    int m_running = 0;
    Ticket m_lastTicket = 0;
    int m_timeoutMs = 60000;
    net::NetSettings m_settings;
};

} // namespace velmora
