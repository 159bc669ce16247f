#pragma once
// The probe: one hand-written HTTP/1.1 GET over a plain TCP connection, read
// only for its status code, to follow one "302" and to reject a "404" early.
#include <QByteArray>
#include <QObject>
#include <QString>

class QTcpSocket;

namespace velmora {

// Value of one header line of a response text: the key is found without
// regard to letter case, the value starts one character after the key and
// runs to the first CR LF after it (or the end of the text). "" when absent.
QString GetDataHead(const QString &DATA, const QString &ToRetrieve);

// Characters 10 to 12 (1-based) of a response or header text: the status code.
QString StatusOf(const QString &text);

// An address as it may go into a request line or Host header: spaces,
// control characters and non-ASCII characters percent-encoded (UTF-8).
QByteArray EncodeForRequestLine(const QString &text);

// True when the text holds a CR or LF, which would let it write header lines.
bool HoldsLineBreak(const QString &text);

// The probe request, byte for byte.
QByteArray BuildProbeRequest(const QString &strRequestURL, const QString &strServer);

// One probe connection (the socket control of the download window).
class Probe : public QObject
{
    Q_OBJECT
public:
    explicit Probe(QObject *parent = nullptr);
    ~Probe() override;

    // Connects to host:port; on connect the request is sent.
    void start(const QString &host, quint16 port, const QByteArray &request);
    // Closes the connection (repeatable).
    void close();
    bool failed() const { return m_failed; }        // the socket reported an error
    QString errorString() const { return m_error; }

signals:
    // All text now available on the connection (the first arrival).
    void dataArrived(const QString &strResponse);
    // Something happened that a waiting engine should look at.
    void wake();

private:
    QTcpSocket *m_socket = nullptr;
    QByteArray m_request;
    bool m_failed = false;
    QString m_error;
};

} // namespace velmora
