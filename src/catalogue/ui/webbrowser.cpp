#include "catalogue/ui/webbrowser.h"

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
    // The address goes on exactly as the page wrote it.
    QDesktopServices::openUrl(QUrl(url));
}

void WebBrowser::Stop()
{
    m_busy.stop();
}

} // namespace velmora
