// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// Every installed program answers --help and --version, refuses a wrong
// command line with status 2 without touching the output other programs
// read, and has a manual page that names every option its help lists.
#include "testsupport.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

namespace {

struct Run
{
    int status = -1;
    QString out;
    QString err;
};

// Runs a program from the build with no display and no session bus.
Run Start(const QString &program, const QStringList &args)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        env.remove(QString::fromLatin1(name));
    p.setProcessEnvironment(env);
    p.start(velmora::testing::BinDir() + QLatin1Char('/') + program, args);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit)
        return {};
    return {p.exitCode(), QString::fromLocal8Bit(p.readAllStandardOutput()),
            QString::fromLocal8Bit(p.readAllStandardError())};
}

const char *const kPrograms[] = {"velmora", "velmora-scan", "velmora-fetch", "velmora-demo-server"};

// An option or name as a manual page writes it ("\-\-save").
QString Roff(QString text)
{
    return text.replace(QLatin1Char('-'), QStringLiteral("\\-"));
}

} // namespace

class tst_CommandLine : public QObject
{
    Q_OBJECT

private slots:
    void helpVersionAndManual_data()
    {
        QTest::addColumn<QString>("program");
        for (const char *name : kPrograms)
            QTest::newRow(name) << QString::fromLatin1(name);
    }
    void helpVersionAndManual()
    {
        QFETCH(QString, program);
        // The window program answers too: no display is needed for it.
        const Run version = Start(program, {QStringLiteral("--version")});
        QCOMPARE(version.status, 0);
        QCOMPARE(version.out, program + QStringLiteral(" " VELMORA_PROJECT_VERSION "\n"));

        const Run help = Start(program, {QStringLiteral("--help")});
        QCOMPARE(help.status, 0);
        QVERIFY2(help.out.startsWith(QStringLiteral("Usage: ") + program + QLatin1Char(' ')), qPrintable(help.out));
        QVERIFY(help.out.contains(QStringLiteral("--version")));
        QCOMPARE(Start(program, {QStringLiteral("-h")}).out, help.out);

        // The manual names the program and every option of its help.
        QFile man(QStringLiteral(VELMORA_SOURCE_DIR "/resources/man/") + program + QStringLiteral(".1"));
        QVERIFY(man.open(QIODevice::ReadOnly));
        const QString page = QString::fromUtf8(man.readAll());
        QVERIFY(page.contains(QStringLiteral(".SH NAME\n") + Roff(program)));
        for (const auto &m : QRegularExpression(QStringLiteral("--[a-z][a-z-]*")).globalMatch(help.out))
            QVERIFY2(page.contains(Roff(m.captured(0))), qPrintable(program + QStringLiteral(": ") + m.captured(0)));
    }

    void wrongCommandLines_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("said");  // "PROGRAM: said" on stderr, stdout left empty; or a "usage:" line on stdout
        for (const char *name : kPrograms)
            QTest::newRow(name) << name << QStringList {"--no-such-option"} << 2 << "Unknown option 'no-such-option'";
        // The window program takes no arguments of its own, but the options
        // every Qt program takes for its windows pass.
        QTest::newRow("velmora FILE") << "velmora" << QStringList {"list.txt"} << 2 << "unexpected argument 'list.txt'";
        QTest::newRow("velmora -platform") << "velmora" << QStringList {"-platform", "offscreen", "--version"} << 0 << "";
        QTest::newRow("velmora bad server") << "velmora" << QStringList {"--catalogue-server", "a b"} << 2
                                            << "--catalogue-server takes HOST or HOST:PORT, not 'a b'";
        QTest::newRow("scan, no list") << "velmora-scan" << QStringList() << 2 << "missing LIST-URL";
        QTest::newRow("scan, two lists") << "velmora-scan" << QStringList {"a", "b"} << 2 << "unexpected argument 'b'";
        const char *demo = "velmora-demo-server";
        QTest::newRow("demo, port") << demo << QStringList {"--port", "http"} << 2 << "--port takes a number from 0 to 65535";
        QTest::newRow("demo, rate") << demo << QStringList {"--rate", "-5"} << 2 << "--rate takes a number of bytes, 0 or more";
        const QString url = QStringLiteral("http://127.0.0.1:1/x");
        QTest::newRow("fetch, answer") << "velmora-fetch" << QStringList {url, "--save", "x", "--answer-reset", "3"} << 2
                                       << "--answer-reset takes 1 or 2";
        QTest::newRow("fetch, no save") << "velmora-fetch" << QStringList {url} << 2 << "usage: velmora-fetch URL --save PATH";
    }
    void wrongCommandLines()
    {
        QFETCH(QString, program);
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, said);
        const Run run = Start(program, args);
        QCOMPARE(run.status, status);
        if (said.startsWith(QLatin1String("usage:"))) {
            QVERIFY2(run.out.startsWith(said), qPrintable(run.out));  // velmora-fetch keeps its own usage line
        } else if (status == 2) {
            QVERIFY(run.out.isEmpty());
            QVERIFY2(run.err.contains(program + QStringLiteral(": ") + said), qPrintable(run.err));
            QVERIFY(run.err.contains(QStringLiteral("Try '") + program + QStringLiteral(" --help'")));
        }
    }
};

QTEST_GUILESS_MAIN(tst_CommandLine)
#include "tst_commandline.moc"
