#pragma once
// The transfer: the HTTP client of the download window, over
// QNetworkAccessManager. One request at a time; the engine waits on wake().
#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;
class QAuthenticator;

namespace velmora {

class Transfer : public QObject
{
    Q_OBJECT
public:
    explicit Transfer(QObject *parent = nullptr);
    ~Transfer() override;

    void setCredentials(const QString &userName, const QString &password);

    // Starts a GET. rangeHeader is the value for "Range" ("" = none), ifRange
    // the version the range must belong to ("If-Range", "" = none);
    // headersOnly: stop as soon as the response headers are in (the length
    // request), without taking the body. Returns false (and sets
    // errorString()) when the address cannot be requested at all.
    bool execute(const QString &address, const QByteArray &rangeHeader, bool headersOnly,
                 const QByteArray &ifRange = QByteArray());

    // Still executing: for a headers-only request until the headers are in,
    // otherwise until the headers are in or the request ended.
    bool stillExecuting() const;
    // The request has ended (body taken whole, or failed).
    bool ended() const { return m_ended; }

    // Value of one response header ("" when absent) / all headers as
    // "HTTP/1.1 <code> <reason>" CR LF followed by "Name: value" CR LF lines;
    // "" when no status arrived.
    QByteArray header(const QByteArray &name) const;
    QString headerText() const;

    // Up to `size` bytes of the body. Blocks nothing: returns what can be
    // given now. chunkReady() tells whether a full chunk (or the end) is in.
    QByteArray getChunk(qint64 size);
    bool chunkReady(qint64 size) const;

    void cancel();
    QString errorString() const { return m_error; }
    // Bytes of body the client has buffered but not yet handed out.
    qint64 bufferedBytes() const;

signals:
    void wake();

private:
    void onAuthentication(QNetworkReply *reply, QAuthenticator *auth);
    void takeHeaders(QNetworkReply *reply);
    void startRequest(const QUrl &url);
    bool followRedirect(QNetworkReply *reply);

    QNetworkAccessManager *m_nam = nullptr;
    QPointer<QNetworkReply> m_reply;
    QString m_userName;
    QString m_password;
    bool m_headersIn = false;
    bool m_ended = false;
    bool m_headersOnly = false;
    bool m_authTried = false;
    QByteArray m_rangeHeader;
    QByteArray m_ifRange;
    int m_hops = 0;
    QString m_headerText;
    QList<QPair<QByteArray, QByteArray>> m_headers;
    QString m_error;
};

} // namespace velmora
