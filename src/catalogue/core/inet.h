#pragma once
// Inet: the fetch component of the main window. OpenURL blocks its caller
// in a local event loop until the whole resource has arrived, so the
// caller's other events (timers, clicks, a close request) run meanwhile.
#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>

class QEventLoop;
class QNetworkAccessManager;
class QNetworkReply;

namespace velmora {

class Inet : public QObject
{
    Q_OBJECT
public:
    explicit Inet(QObject *parent = nullptr);
    ~Inet() override;

    // Fetches url and returns its body; empty on any failure (no connection,
    // a status outside 2xx, a cancelled or timed-out fetch). A call made while
    // another fetch is running returns empty at once.
    QByteArray OpenURLBytes(const QString &url, QByteArray *contentType = nullptr);
    // Same, decoded to text (see DecodeFetchedText).
    QString OpenURL(const QString &url);

    bool StillExecuting() const;
    // Aborts the running fetch: the blocked OpenURL returns empty at once.
    void Cancel();

    // A fetch that receives nothing for this long fails (0 = never).
    void setRequestTimeout(int milliseconds) { m_timeoutMs = milliseconds; }
    int requestTimeout() const { return m_timeoutMs; }

private:
    QNetworkAccessManager *m_manager;
    QPointer<QNetworkReply> m_reply;
    QPointer<QEventLoop> m_loop;
    bool m_cancelled = false;
    int m_timeoutMs = 60000;
};

} // namespace velmora
