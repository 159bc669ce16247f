// Velmora: starts with the splash, which opens the chooser.
// VELMORA_KIND=anime|music skips both and opens that catalogue's main window;
// closing it then ends the program.
#include "app/ui/startup.h"
#include "common/core/commandline.h"
#include "common/core/globals.h"
#include "common/ui/focusstyle.h"
#include "common/ui/qtchinese.h"

#include <QApplication>
#include <QCommandLineParser>

namespace {

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

    // The program has no command line of its own. --help and --version are
    // answered before any window system is needed, so they work on a console.
    QCommandLineParser args;
    args.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    args.setApplicationDescription(QStringLiteral(
        "Velmora finds and fetches anime material: it loads a catalogue list from a\n"
        "server, scans the pages the list names for links, shows them as a tree and\n"
        "downloads the chosen file.\n"
        "\n"
        "Environment: VELMORA_CATALOGUE_SERVER and VELMORA_SEARCH_SERVER (host or\n"
        "host:port, default 127.0.0.1:8417); VELMORA_KIND=anime|music opens that\n"
        "catalogue directly."));
    AddWindowSystemOptions(args);
    const velmora::CommandLineStep step =
        velmora::ReadCommandLine(args, velmora::ArgumentsOf(argc, argv), QStringLiteral("velmora"), 0);
    if (step != velmora::CommandLineStep::Run)
        return velmora::ExitStatusOf(step);

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
