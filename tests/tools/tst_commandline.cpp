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
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    p.setProcessEnvironment(env);
    p.start(velmora::testing::BinDir() + QLatin1Char('/') + program, args);
    Run run;
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        return run;
    }
    run.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    run.out = QString::fromLocal8Bit(p.readAllStandardOutput());
    run.err = QString::fromLocal8Bit(p.readAllStandardError());
    return run;
}

QString ManPage(const QString &program)
{
    QFile f(QStringLiteral(VELMORA_SOURCE_DIR "/resources/man/") + program + QStringLiteral(".1"));
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

} // namespace

class tst_CommandLine : public QObject
{
    Q_OBJECT

private slots:
    void everyProgram_data()
    {
        QTest::addColumn<QString>("program");
        for (const char *name : {"velmora", "velmora-scan", "velmora-fetch", "velmora-demo-server"})
            QTest::newRow(name) << QString::fromLatin1(name);
    }
    void everyProgram()
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

        // Wrong: said on stderr, nothing on stdout, status 2.
        const Run unknown = Start(program, {QStringLiteral("--no-such-option")});
        QCOMPARE(unknown.status, 2);
        QVERIFY(unknown.out.isEmpty());
        QVERIFY2(unknown.err.contains(QStringLiteral("Unknown option 'no-such-option'")), qPrintable(unknown.err));
        QVERIFY(unknown.err.contains(QStringLiteral("Try '") + program + QStringLiteral(" --help'")));

        // The manual names the program and every option of its help.
        const QString page = ManPage(program);
        QVERIFY2(page.contains(QStringLiteral(".SH NAME\n") + QString(program).replace(QLatin1Char('-'), QStringLiteral("\\-"))),
                 qPrintable(program));
        const QRegularExpression option(QStringLiteral("--([a-z][a-z-]*)"));
        for (const auto &m : option.globalMatch(help.out)) {
            const QString roff = QStringLiteral("\\-\\-") + m.captured(1).replace(QLatin1Char('-'), QStringLiteral("\\-"));
            QVERIFY2(page.contains(roff), qPrintable(program + QStringLiteral(": ") + m.captured(0)));
        }
    }

    void wrongCommandLines()
    {
        // The window program takes no arguments of its own, but the
        // options every Qt program takes for its windows pass.
        QCOMPARE(Start(QStringLiteral("velmora"), {QStringLiteral("list.txt")}).status, 2);
        QCOMPARE(Start(QStringLiteral("velmora"), {QStringLiteral("-platform"), QStringLiteral("offscreen"),
                                                   QStringLiteral("--version")}).status, 0);
        const Run noList = Start(QStringLiteral("velmora-scan"), {});
        QCOMPARE(noList.status, 2);
        QVERIFY(noList.out.isEmpty());
        QVERIFY(noList.err.contains(QStringLiteral("missing LIST-URL")));
        QCOMPARE(Start(QStringLiteral("velmora-scan"), {QStringLiteral("a"), QStringLiteral("b")}).status, 2);
        QCOMPARE(Start(QStringLiteral("velmora-demo-server"), {QStringLiteral("--port"), QStringLiteral("http")}).status, 2);
        QCOMPARE(Start(QStringLiteral("velmora-demo-server"), {QStringLiteral("--rate"), QStringLiteral("-5")}).status, 2);
        QCOMPARE(Start(QStringLiteral("velmora"), {QStringLiteral("--catalogue-server"), QStringLiteral("a b")}).status, 2);
        const Run badAnswer = Start(QStringLiteral("velmora-fetch"), {QStringLiteral("http://127.0.0.1:1/x"), QStringLiteral("--save"),
                                                                      QStringLiteral("x"), QStringLiteral("--answer-reset"), QStringLiteral("3")});
        QCOMPARE(badAnswer.status, 2);
        QVERIFY(badAnswer.out.isEmpty());
        QVERIFY2(badAnswer.err.contains(QStringLiteral("--answer-reset takes 1 or 2")), qPrintable(badAnswer.err));
        // velmora-fetch keeps its own usage line on stdout.
        const Run noSave = Start(QStringLiteral("velmora-fetch"), {QStringLiteral("http://127.0.0.1:1/x")});
        QCOMPARE(noSave.status, 2);
        QVERIFY(noSave.out.startsWith(QStringLiteral("usage: velmora-fetch URL --save PATH")));
    }
};

QTEST_GUILESS_MAIN(tst_CommandLine)
#include "tst_commandline.moc"
