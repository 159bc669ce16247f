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

class QSocketNotifier;

namespace velmora::net {

class CurlMulti : public QObject
{
    Q_OBJECT
public:
    explicit CurlMulti(QObject *parent = nullptr);
    ~CurlMulti() override;

    // Runs easy until it ends; then done(result) is called, outside libcurl's
    // own callbacks, and easy is no longer part of this multi.
    void add(CURL *easy, std::function<void(CURLcode)> done);
    // Takes easy out without calling its done function.
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
    std::map<CURL *, std::function<void(CURLcode)>> m_done;
    bool m_acting = false;
};

} // namespace velmora::net
