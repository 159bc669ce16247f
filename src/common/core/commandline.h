// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The command line every Velmora executable shares: --help and --version
// answered the usual way, and a wrong command line refused with a short
// message on stderr and exit status 2.
#include <QStringList>

class QCommandLineParser;

namespace velmora {

enum class CommandLineStep {
    Run,          // go on with the parsed options
    Answered,     // --help or --version was printed: exit 0
    Refused,      // a wrong command line was reported: exit 2
};

// Reads `arguments` (the first one names the executable) with the parser's
// own options plus --help and --version, which it adds. `program` is the
// installed name printed in the answers; at most `maxPositional` arguments
// without a dash are taken (-1: any number).
CommandLineStep ReadCommandLine(QCommandLineParser &parser, const QStringList &arguments,
                                const QString &program, int maxPositional);

// Exit status of a step that ends the program.
int ExitStatusOf(CommandLineStep step);

// Prints "<program>: <problem>" and where to find help on stderr (for checks a
// tool makes of its own); returns the exit status of a wrong command line.
int RefuseCommandLine(const QString &program, const QString &problem);

// argv as Qt's own arguments() would give them, before any application object exists.
QStringList ArgumentsOf(int argc, char **argv);

} // namespace velmora
