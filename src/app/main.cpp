// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// Velmora: starts with the splash, which opens the chooser.
// VELMORA_KIND=anime|music skips both and opens that catalogue's main window;
// closing it then ends the program.
#include "app/ui/startup.h"
#include "common/core/commandline.h"
#include "common/core/settings.h"
#include "common/core/version.h"
#include "common/ui/focusstyle.h"
#include "common/ui/qtchinese.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTextStream>

#include <optional>

namespace {

const QString kProgram = QStringLiteral("velmora");

struct ServerOption
{
    velmora::Server server;
    QString name;
};

const ServerOption kServerOptions[] = {
    {velmora::Server::Catalogue, QStringLiteral("catalogue-server")},
    {velmora::Server::Search, QStringLiteral("search-server")},
};

void AddServerOptions(QCommandLineParser &parser)
{
    parser.addOption({kServerOptions[0].name,
                      QStringLiteral("Use the catalogue server at HOST or HOST:PORT from now on "
                                     "(kept in the settings; an empty value goes back to the default)."),
                      QStringLiteral("host[:port]")});
    parser.addOption({kServerOptions[1].name,
                      QStringLiteral("Use the music search service at HOST or HOST:PORT from now on "
                                     "(kept in the settings; an empty value goes back to the default)."),
                      QStringLiteral("host[:port]")});
}

// Checks every server option first, then keeps them in the user's settings
// so that the next start uses them too. Returns the exit status when the
// program is not to start.
std::optional<int> StoreServerOptions(const QCommandLineParser &args)
{
    QList<QPair<velmora::Server, QString>> toStore;
    for (const ServerOption &option : kServerOptions) {
        if (!args.isSet(option.name))
            continue;
        const QString value = args.value(option.name).trimmed();
        const std::optional<QString> server = velmora::CheckServer(value);
        if (!value.isEmpty() && !server) {
            return velmora::RefuseCommandLine(
                kProgram, QStringLiteral("--%1 takes HOST or HOST:PORT, not '%2'").arg(option.name, value));
        }
        toStore.append({option.server, server.value_or(QString())});
    }
    QTextStream err(stderr);
    for (const auto &[server, hostPort] : toStore) {
        if (velmora::StoreServer(server, hostPort) != velmora::StoreResult::Stored) {
            err << kProgram << ": cannot write the settings to " << velmora::SettingsFile() << "\n";
            return 1;
        }
        if (!velmora::ServerFromEnvironment(server).isEmpty())
            err << kProgram << ": " << velmora::ServerVariable(server) << " is set and wins over the setting\n";
    }
    return std::nullopt;
}

// The options every Qt program takes for its windows (-platform, -style, ...).
// QApplication reads them itself; they are known here only so that they are
// not refused, and they stay out of the help.
void AddWindowSystemOptions(QCommandLineParser &parser)
{
    const QStringList withValue = {
        QStringLiteral("platform"),  QStringLiteral("platformpluginpath"), QStringLiteral("platformtheme"),
        QStringLiteral("plugin"),    QStringLiteral("qwindowgeometry"),    QStringLiteral("qwindowicon"),
        QStringLiteral("qwindowtitle"), QStringLiteral("display"),         QStringLiteral("geometry"),
        QStringLiteral("title"),     QStringLiteral("name"),               QStringLiteral("style"),
        QStringLiteral("stylesheet"), QStringLiteral("session"),           QStringLiteral("qmljsdebugger"),
    };
    const QStringList flags = {QStringLiteral("reverse"), QStringLiteral("widgetcount"), QStringLiteral("nograb"),
                               QStringLiteral("dograb")};
    for (const QString &name : withValue) {
        QCommandLineOption option(name, QString(), QStringLiteral("value"));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    for (const QString &name : flags) {
        QCommandLineOption option(name);
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
}

} // namespace

int main(int argc, char **argv)
{
    QApplication::setApplicationName(QStringLiteral("Velmora"));
    QApplication::setApplicationVersion(velmora::kVersion);

    // --help, --version and the server options are dealt with before any
    // window system is needed, so they work on a console.
    QCommandLineParser args;
    args.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    args.setApplicationDescription(QStringLiteral(
        "Velmora finds and fetches anime material: it loads a catalogue list from a\n"
        "server, scans the pages the list names for links, shows them as a tree and\n"
        "downloads the chosen file.\n"
        "\n"
        "The servers (default 127.0.0.1:8417) are kept in ~/.config/velmora/velmora.conf,\n"
        "set by the options below or in the main window (Ctrl+, or the status bar's\n"
        "context menu). The environment variables VELMORA_CATALOGUE_SERVER and\n"
        "VELMORA_SEARCH_SERVER win over the settings; VELMORA_KIND=anime|music opens\n"
        "that catalogue directly."));
    AddServerOptions(args);
    AddWindowSystemOptions(args);
    const velmora::CommandLineStep step =
        velmora::ReadCommandLine(args, velmora::ArgumentsOf(argc, argv), kProgram, 0);
    if (step != velmora::CommandLineStep::Run)
        return velmora::ExitStatusOf(step);
    if (const std::optional<int> status = StoreServerOptions(args))
        return *status;

    QApplication app(argc, argv);
    QApplication::setDesktopFileName(QStringLiteral("io.github.velmora.Velmora"));
    velmora::InstallQtChinese(&app);
    velmora::InstallFocusStyle();
    QObject::connect(velmora::ShellEvents::instance(), &velmora::ShellEvents::endProgram, &app,
                     &QCoreApplication::quit, Qt::QueuedConnection);

    const QString kind = qEnvironmentVariable("VELMORA_KIND").trimmed().toLower();
    if (kind == QLatin1String("anime") || kind == QLatin1String("music"))
        velmora::OpenMainDirect(kind == QLatin1String("anime"));
    else
        velmora::StartUp();
    return app.exec();
}
