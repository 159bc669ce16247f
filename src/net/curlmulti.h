// SPDX-FileCopyrightText: 2026 Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// libcurl's multi interface driven from the Qt event loop: a socket notifier
// per socket libcurl watches and one timer for its time-outs, no thread.
// Transfers added to one CurlMulti share its connections, so requests to one
// server one after another reuse the connection where the server allows.
#include <QObject>
#include <QTimer>

#include <curl/curl.h>

#include <functional>
#include <map>
#include <set>

class QSocketNotifier;

namespace velmora::net {

class CurlMulti : public QObject
{
    Q_OBJECT
public:
    explicit CurlMulti(QObject *parent = nullptr);
    ~CurlMulti() override;

    // What becomes of an easy handle once it has ended.
    enum class AfterDone {
        Remove,  // taken out of this multi
        Keep,    // left in it until remove(): a bare connection (CONNECT_ONLY) lives only there
    };

    // Runs easy until it ends; then done(result) is called, outside libcurl's
    // own callbacks, and easy is taken out of this multi unless it is to be kept.
    void add(CURL *easy, std::function<void(CURLcode)> done, AfterDone after = AfterDone::Remove);
    // Takes easy out (without calling its done function when it is still running).
    void remove(CURL *easy);
    // The share handle that keeps the DNS answers and TLS sessions of these transfers.
    CURLSH *share() const { return m_share; }

signals:
    // libcurl has acted (bytes moved, a transfer ended); emitted outside its callbacks.
    void acted();

private:
    struct Watch
    {
        QSocketNotifier *read = nullptr;
        QSocketNotifier *write = nullptr;
    };

    static int onSocketChange(CURL *easy, curl_socket_t socket, int what, void *self, void *);
    static int onTimerChange(CURLM *multi, long timeoutMs, void *self);
    void watch(curl_socket_t socket, int what);
    void unwatch(curl_socket_t socket);
    void act(curl_socket_t socket, int events);
    void takeFinished();

    CURLM *m_multi = nullptr;
    CURLSH *m_share = nullptr;
    QTimer m_timer;
    std::map<curl_socket_t, Watch> m_watches;
    struct Running
    {
        std::function<void(CURLcode)> done;
        AfterDone after = AfterDone::Remove;
    };
    std::map<CURL *, Running> m_running;
    std::set<CURL *> m_kept;  // ended, still added
    bool m_acting = false;
};

} // namespace velmora::net
