// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "common/core/commandline.h"

#include "common/core/version.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

namespace velmora {

namespace {

constexpr int kStatusRefused = 2;

void Print(FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

// Qt names the executable the way it was started (a path, or a placeholder
// before the application object exists); the help shows the installed name,
// as the manual does.
QString HelpText(const QCommandLineParser &parser, const QString &started, const QString &program)
{
    QString text = parser.helpText();
    const QString usage = QStringLiteral("Usage: ");
    if (text.startsWith(usage)) {
        const int end = text.indexOf(QLatin1Char('\n'));
        QString line = text.left(end);
        const QString asStarted = QCoreApplication::instance() ? started : QStringLiteral("<executable_name>");
        if (line.mid(usage.size()).startsWith(asStarted))
            line = usage + program + line.mid(usage.size() + asStarted.size());
        text = line + text.mid(end);
    }
    return text;
}

} // namespace

int RefuseCommandLine(const QString &program, const QString &problem)
{
    Print(stderr, QStringLiteral("%1: %2\nTry '%1 --help' for more information.\n").arg(program, problem));
    return kStatusRefused;
}

CommandLineStep ReadCommandLine(QCommandLineParser &parser, const QStringList &arguments,
                                const QString &program, int maxPositional)
{
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const bool parsed = parser.parse(arguments);
    // Asking for help is answered even next to a mistake: that is what the user needs.
    // Qt adds --help-all beside --help; these programs have nothing more to show.
    if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) {
        Print(stdout, HelpText(parser, arguments.value(0), program));
        return CommandLineStep::Answered;
    }
    if (!parsed) {
        RefuseCommandLine(program, parser.errorText());
        return CommandLineStep::Refused;
    }
    if (parser.isSet(version)) {
        Print(stdout, program + QLatin1Char(' ') + kVersion + QLatin1Char('\n'));
        return CommandLineStep::Answered;
    }
    const QStringList extra = parser.positionalArguments();
    if (maxPositional >= 0 && extra.size() > maxPositional) {
        RefuseCommandLine(program, QStringLiteral("unexpected argument '%1'").arg(extra.at(maxPositional)));
        return CommandLineStep::Refused;
    }
    return CommandLineStep::Run;
}

int ExitStatusOf(CommandLineStep step)
{
    return step == CommandLineStep::Refused ? kStatusRefused : 0;
}

QStringList ArgumentsOf(int argc, char **argv)
{
    QStringList list;
    for (int i = 0; i < argc; ++i)
        list << QString::fromLocal8Bit(argv[i]);
    return list;
}

} // namespace velmora
