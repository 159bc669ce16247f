// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// WebBrowser: hands addresses the program does not fetch itself to the
// desktop (QDesktopServices), which gives no word of completion; so the
// component counts as busy for a short while after each navigation. Only
// addresses MayOpenOnDesktop accepts reach the desktop; Navigate says
// whether the desktop had a way to open them.
#include <QObject>
#include <QString>
#include <QTimer>

namespace velmora {

// What became of an address given to Navigate.
enum class Navigation {
    Opened,     // the desktop took it
    Withheld,   // not an address a page may make the desktop open
    NoHandler,  // the desktop has nothing that opens it
};

class WebBrowser : public QObject
{
    Q_OBJECT
public:
    explicit WebBrowser(QObject *parent = nullptr);

    Navigation Navigate(const QString &url);
    void Stop();
    bool Busy() const { return m_busy.isActive(); }

    // How long a navigation counts as running (default one second).
    void setBusyDuration(int milliseconds) { m_busy.setInterval(milliseconds); }
    // The last address navigated to (handed on or withheld).
    QString lastAddress() const { return m_last; }

private:
    QTimer m_busy;
    QString m_last;
};

} // namespace velmora
