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
    QDesktopServices::openUrl(QUrl::fromUserInput(url));
}

void WebBrowser::Stop()
{
    m_busy.stop();
}

} // namespace velmora
