// Velmora: starts with the splash, which opens the chooser.
// VELMORA_KIND=anime|music skips both and opens that catalogue's main window;
// closing it then ends the program.
#include "app/ui/startup.h"
#include "common/ui/qtchinese.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Velmora"));
    QApplication::setApplicationVersion(QStringLiteral("1.13"));
    QApplication::setDesktopFileName(QStringLiteral("velmora"));
    velmora::InstallQtChinese(&app);
    QObject::connect(velmora::ShellEvents::instance(), &velmora::ShellEvents::endProgram, &app,
                     &QCoreApplication::quit, Qt::QueuedConnection);

    const QString kind = qEnvironmentVariable("VELMORA_KIND").trimmed().toLower();
    if (kind == QLatin1String("anime") || kind == QLatin1String("music"))
        velmora::OpenMainDirect(kind == QLatin1String("anime"));
    else
        velmora::StartUp();
    return app.exec();
}
