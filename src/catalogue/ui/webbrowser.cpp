#include "catalogue/ui/webbrowser.h"

#include "catalogue/core/handoff.h"

#include <QDesktopServices>
#include <QUrl>

namespace velmora {

WebBrowser::WebBrowser(QObject *parent) : QObject(parent)
{
    m_busy.setSingleShot(true);
    m_busy.setInterval(1000);
}

void WebBrowser::Navigate(const QString &url)
{
    Stop();
    m_last = url;
    m_busy.start();
    // The address goes on exactly as the page wrote it, but only one that
    // names a remote resource: a page must not make the desktop open a local
    // file or run a script. A withheld address looks like any navigation the
    // desktop could not carry out, which is not reported either.
    if (MayOpenOnDesktop(url))
        QDesktopServices::openUrl(QUrl(url));
}

void WebBrowser::Stop()
{
    m_busy.stop();
}

} // namespace velmora
