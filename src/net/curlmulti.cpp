// SPDX-FileCopyrightText: 2026 Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/curlmulti.h"

#include <QSocketNotifier>

#include <utility>

namespace velmora::net {

namespace {

struct GlobalInit
{
    GlobalInit() { curl_global_init(CURL_GLOBAL_DEFAULT); }
};

} // namespace

CurlMulti::CurlMulti(QObject *parent) : QObject(parent)
{
    static GlobalInit init;  // once per process, before the first handle
    m_multi = curl_multi_init();
    m_share = curl_share_init();
    curl_share_setopt(m_share, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
    curl_share_setopt(m_share, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION);
    curl_multi_setopt(m_multi, CURLMOPT_SOCKETFUNCTION, &CurlMulti::onSocketChange);
    curl_multi_setopt(m_multi, CURLMOPT_SOCKETDATA, this);
    curl_multi_setopt(m_multi, CURLMOPT_TIMERFUNCTION, &CurlMulti::onTimerChange);
    curl_multi_setopt(m_multi, CURLMOPT_TIMERDATA, this);
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, [this] { act(CURL_SOCKET_TIMEOUT, 0); });
}

CurlMulti::~CurlMulti()
{
    for (auto &entry : m_running)
        curl_multi_remove_handle(m_multi, entry.first);
    for (CURL *easy : m_kept)
        curl_multi_remove_handle(m_multi, easy);
    m_running.clear();
    m_kept.clear();
    curl_multi_cleanup(m_multi);
    curl_share_cleanup(m_share);
    for (auto &entry : m_watches) {
        delete entry.second.read;
        delete entry.second.write;
    }
}

void CurlMulti::add(CURL *easy, std::function<void(CURLcode)> done, AfterDone after)
{
    curl_easy_setopt(easy, CURLOPT_SHARE, m_share);
    m_running[easy] = Running{std::move(done), after};
    curl_multi_add_handle(m_multi, easy);
    // Started at once, not at the next turn of the event loop: a caller that
    // blocks for a while first (a page scan, a modal dialog) does not hold
    // its request back. What libcurl finishes is taken on the timer.
    if (!m_acting) {
        m_acting = true;
        int running = 0;
        curl_multi_socket_action(m_multi, CURL_SOCKET_TIMEOUT, 0, &running);
        m_acting = false;
        m_timer.start(0);
    }
}

void CurlMulti::remove(CURL *easy)
{
    if (m_running.erase(easy) + m_kept.erase(easy) > 0)
        curl_multi_remove_handle(m_multi, easy);
}

int CurlMulti::onSocketChange(CURL *, curl_socket_t socket, int what, void *self, void *)
{
    auto *multi = static_cast<CurlMulti *>(self);
    if (what == CURL_POLL_REMOVE)
        multi->unwatch(socket);
    else
        multi->watch(socket, what);
    return 0;
}

int CurlMulti::onTimerChange(CURLM *, long timeoutMs, void *self)
{
    auto *multi = static_cast<CurlMulti *>(self);
    if (timeoutMs < 0)
        multi->m_timer.stop();
    else
        multi->m_timer.start(int(qMin<long>(timeoutMs, 24L * 3600 * 1000)));
    return 0;
}

void CurlMulti::watch(curl_socket_t socket, int what)
{
    Watch &w = m_watches[socket];
    const bool wantRead = what == CURL_POLL_IN || what == CURL_POLL_INOUT;
    const bool wantWrite = what == CURL_POLL_OUT || what == CURL_POLL_INOUT;
    if (wantRead && !w.read) {
        w.read = new QSocketNotifier(qintptr(socket), QSocketNotifier::Read, this);
        connect(w.read, &QSocketNotifier::activated, this, [this, socket] { act(socket, CURL_CSELECT_IN); });
    }
    if (wantWrite && !w.write) {
        w.write = new QSocketNotifier(qintptr(socket), QSocketNotifier::Write, this);
        connect(w.write, &QSocketNotifier::activated, this, [this, socket] { act(socket, CURL_CSELECT_OUT); });
    }
    if (w.read)
        w.read->setEnabled(wantRead);
    if (w.write)
        w.write->setEnabled(wantWrite);
}

void CurlMulti::unwatch(curl_socket_t socket)
{
    const auto it = m_watches.find(socket);
    if (it == m_watches.end())
        return;
    // The notifier may be the one whose signal is being handled: it goes later.
    for (QSocketNotifier *n : {it->second.read, it->second.write}) {
        if (n) {
            n->setEnabled(false);
            n->deleteLater();
        }
    }
    m_watches.erase(it);
}

void CurlMulti::act(curl_socket_t socket, int events)
{
    // Called again from inside a done function (a slot that runs the event
    // loop): libcurl is not entered twice; the timer brings it back at once.
    if (m_acting) {
        m_timer.start(0);
        return;
    }
    m_acting = true;
    int running = 0;
    curl_multi_socket_action(m_multi, socket, events, &running);
    m_acting = false;
    takeFinished();
    emit acted();
}

void CurlMulti::takeFinished()
{
    // One message at a time: a done function may take other transfers out
    // (libcurl then drops their messages) or start new ones.
    int left = 0;
    while (CURLMsg *msg = curl_multi_info_read(m_multi, &left)) {
        if (msg->msg != CURLMSG_DONE)
            continue;
        CURL *easy = msg->easy_handle;
        const CURLcode result = msg->data.result;
        const auto it = m_running.find(easy);
        if (it == m_running.end())
            continue;
        Running ended = std::move(it->second);
        m_running.erase(it);
        if (ended.after == AfterDone::Keep)
            m_kept.insert(easy);
        else
            curl_multi_remove_handle(m_multi, easy);
        ended.done(result);
    }
}

} // namespace velmora::net
