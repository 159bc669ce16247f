#include "download/core/probe.h"

#include <QTcpSocket>

namespace velmora {

QString GetDataHead(const QString &DATA, const QString &ToRetrieve)
{
    if (DATA.isEmpty() || ToRetrieve.isEmpty())
        return QString();
    const int at = DATA.indexOf(ToRetrieve, 0, Qt::CaseInsensitive);
    if (at < 0)
        return QString();
    // The one character after the key (normally a space) is skipped.
    const int start = at + ToRetrieve.size() + 1;
    if (start >= DATA.size())
        return QString();
    const int end = DATA.indexOf(QStringLiteral("\r\n"), start);
    return end < 0 ? DATA.mid(start) : DATA.mid(start, end - start);
}

QString StatusOf(const QString &text)
{
    return text.mid(9, 3);
}

QByteArray EncodeForRequestLine(const QString &text)
{
    static const char hex[] = "0123456789ABCDEF";
    const QByteArray utf8 = text.toUtf8();
    QByteArray out;
    out.reserve(utf8.size());
    for (char ch : utf8) {
        const auto c = static_cast<unsigned char>(ch);
        if (c <= 0x20 || c >= 0x7F) {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += ch;
        }
    }
    return out;
}

bool HoldsLineBreak(const QString &text)
{
    return text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('\n'));
}

QByteArray BuildProbeRequest(const QString &strRequestURL, const QString &strServer)
{
    return "GET " + EncodeForRequestLine(strRequestURL) + " HTTP/1.1\r\n"
         + "Host: " + EncodeForRequestLine(strServer) + "\r\n"
         + "Accept: *.*, */*\r\n"
         + "User-Agent: Mozilla/4.0 (compatible; MSIE 5.00; Windows 98)\r\n"
         + "\r\n";
}

Probe::Probe(QObject *parent) : QObject(parent) {}

Probe::~Probe()
{
    close();
}

void Probe::start(const QString &host, quint16 port, const QByteArray &request)
{
    close();
    m_failed = false;
    m_error.clear();
    m_request = request;
    m_socket = new QTcpSocket(this);
    connect(m_socket, &QTcpSocket::connected, this, [this] {
        m_socket->write(m_request);
        emit wake();
    });
    connect(m_socket, &QTcpSocket::readyRead, this, [this] {
        QTcpSocket *s = m_socket;
        const QString text = QString::fromUtf8(s->readAll());
        // Only the first arrival matters: the connection is closed after it.
        disconnect(s, nullptr, this, nullptr);
        emit dataArrived(text);
        emit wake();
    });
    connect(m_socket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError) {
        m_failed = true;
        m_error = m_socket->errorString();
        emit wake();
    });
    m_socket->connectToHost(host, port);
}

void Probe::close()
{
    if (!m_socket)
        return;
    QTcpSocket *s = m_socket;
    m_socket = nullptr;
    disconnect(s, nullptr, this, nullptr);
    s->abort();
    s->deleteLater();
}

} // namespace velmora
