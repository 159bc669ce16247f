// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// Serves generated files for the download benchmark, a path that never
// answers, and its own request log at /__log (one line per request:
// path, range, status, body bytes sent). A second argument paces every
// connection's body at that many bytes per second, evenly, with no burst
// at the start of an answer: the strictest throttle a file host can set.
#include "httpserver.h"

#include <QCoreApplication>
#include <QTextStream>

using namespace velmora::httpd;

// Which request of a download this is: the probe (its fixed User-Agent),
// the length request (no range), the range request, or someone else's.
static QByteArray kindOf(const Request &r)
{
    const QByteArray agent = r.header("User-Agent");
    if (agent.contains("MSIE 5.00"))
        return "probe";
    if (agent.startsWith("curl"))
        return "curl";
    return r.range.isEmpty() ? "length" : "range";
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const quint16 port = quint16(argc > 1 ? QByteArray(argv[1]).toUInt() : 18500);
    HttpServer server;
    if (argc > 2)
        server.setDefaultRate(QByteArray(argv[2]).toLongLong());
    server.addGeneratedFile(QStringLiteral("/64m.bin"), qint64(64) << 20);
    server.addGeneratedFile(QStringLiteral("/1g.bin"), qint64(1) << 30);
    server.addGeneratedFile(QStringLiteral("/stall.bin"), 1 << 20);
    Rule stall;
    stall.path = QStringLiteral("/stall.bin");
    stall.stall = true;
    server.addRule(stall);
    HttpServer *s = &server;
    server.addHandler(QStringLiteral("/__log"), [s](const Request &) {
        Response r;
        r.contentType = "text/plain";
        for (const RequestLog &e : s->requests()) {
            if (e.request.path == QLatin1String("/__log"))
                continue;
            r.body += e.request.path.toUtf8() + ' ' + (e.request.range.isEmpty() ? QByteArray("-") : e.request.range) + ' '
                + QByteArray::number(e.status) + ' ' + QByteArray::number(e.bodyBytesSent) + ' ' + kindOf(e.request) + '\n';
        }
        return r;
    });
    if (!server.start(port)) {
        QTextStream(stderr) << "cannot listen on port " << port << "\n";
        return 1;
    }
    QTextStream(stdout) << "listening on " << server.hostPort() << "\n" << Qt::flush;
    return app.exec();
}
