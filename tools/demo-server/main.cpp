// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// velmora-demo-server: serves the demo catalogue (and, with --root, a folder)
// on loopback until it is stopped.
#include "common/core/commandline.h"
#include "demo.h"
#include "httpserver.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser args;
    args.setApplicationDescription(QStringLiteral("Velmora demo and test HTTP server"));
    args.addOption({QStringLiteral("port"), QStringLiteral("Port to listen on (default 8417)."), QStringLiteral("port"), QStringLiteral("8417")});
    args.addOption({QStringLiteral("root"), QStringLiteral("Also serve this folder."), QStringLiteral("folder")});
    args.addOption({QStringLiteral("rate"), QStringLiteral("Throttle bodies to this many bytes per second (default 2 MB/s; 0 = off)."), QStringLiteral("bytes"), QStringLiteral("2097152")});
    args.addOption({QStringLiteral("no-demo"), QStringLiteral("Serve only --root, without the demo catalogue.")});
    const QString program = QStringLiteral("velmora-demo-server");
    const velmora::CommandLineStep step = velmora::ReadCommandLine(args, app.arguments(), program, 0);
    if (step != velmora::CommandLineStep::Run)
        return velmora::ExitStatusOf(step);
    bool portOk = false;
    const uint port = args.value(QStringLiteral("port")).toUInt(&portOk);
    if (!portOk || port > 65535)
        return velmora::RefuseCommandLine(program, QStringLiteral("--port takes a number from 0 to 65535"));

    bool rateOk = false;
    const qint64 rate = args.value(QStringLiteral("rate")).toLongLong(&rateOk);
    if (!rateOk || rate < 0)
        return velmora::RefuseCommandLine(program, QStringLiteral("--rate takes a number of bytes, 0 or more"));

    velmora::httpd::HttpServer server;
    if (args.isSet(QStringLiteral("root")))
        server.setRoot(args.value(QStringLiteral("root")));
    server.setDefaultRate(rate);
    if (!server.start(quint16(port))) {
        QTextStream(stderr) << "velmora-demo-server: cannot listen on 127.0.0.1:" << args.value(QStringLiteral("port")) << "\n";
        return 1;
    }
    if (!args.isSet(QStringLiteral("no-demo"))) {
        velmora::demo::InstallDemoSite(server);
        velmora::demo::InstallDemoSearch(server);
    }
    QTextStream(stdout) << "velmora-demo-server listening on http://" << server.hostPort() << "/\n" << Qt::flush;
    return app.exec();
}
