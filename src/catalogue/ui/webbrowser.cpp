// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "catalogue/ui/webbrowser.h"

#include "catalogue/core/handoff.h"

#include <QDesktopServices>
#include <QProcess>
#include <QUrl>

namespace velmora {

WebBrowser::WebBrowser(QObject *parent) : QObject(parent)
{
    m_busy.setSingleShot(true);
    m_busy.setInterval(1000);
}

Navigation WebBrowser::Navigate(const QString &url)
{
    Stop();
    m_last = url;
    m_busy.start();
    // The address goes on exactly as the page wrote it, but only one that
    // names a remote resource: a page must not make the desktop open a local
    // file or run a script. A withheld address looks like any navigation the
    // desktop carried out.
    if (!MayOpenOnDesktop(url))
        return Navigation::Withheld;
    bool opened = false;
    if (SharingLinkNeedsText(url))
        opened = QProcess::startDetached(QStringLiteral("xdg-open"), {url});
    else
        opened = QDesktopServices::openUrl(QUrl(url));
    return opened ? Navigation::Opened : Navigation::NoHandler;
}

void WebBrowser::Stop()
{
    m_busy.stop();
}

} // namespace velmora
