// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// velmora-scan run as a child process against the demo site prints the same
// tree the main window shows after loading the same list.
#include "catalogue/ui/frmmain.h"
#include "catalogue/core/catalogueload.h"
#include "common/core/globals.h"
#include "demo.h"
#include "httpserver.h"
#include "testsupport.h"

#include <QProcess>
#include <QtTest>

using namespace velmora;

class tst_VelmoraScan : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(m_server.start());
        demo::InstallDemoSite(m_server);
        qputenv("VELMORA_CATALOGUE_SERVER", m_server.hostPort().toUtf8());
        QVERIFY(QFileInfo::exists(testing::BinDir() + "/velmora-scan"));
    }

    void sameTreeAsTheWindow_data()
    {
        QTest::addColumn<bool>("anime");
        QTest::addColumn<QStringList>("mustShow");  // lines decoded from each kind of page
        QTest::newRow("anime") << true
                               << QStringList{"  TV 动画\t", "    青铜少女 剧场版\t",  // from the GBK page
                                              "    星空回廊第03话 雨 & 伞\t", "\tftp://"};
        QTest::newRow("music") << false
                               << QStringList{"    夏日终章 原声 01 蝉鸣\t",  // from the page with a meta charset
                                              "    星空回廊 片头曲 「远方的灯」\t", "\tmagnet:?"};
    }

    void sameTreeAsTheWindow()
    {
        QFETCH(bool, anime);
        QFETCH(QStringList, mustShow);
        ResetGlobals();
        blnAnimeMode = anime;
        frmMain w;
        testing::MessageBoxAnswerer answerer(QMessageBox::Ok);
        w.cmdLoad_Click();
        QVERIFY(answerer.texts.isEmpty());

        int code = -1;
        const QString printed = scan(strListURL, &code);
        QCOMPARE(code, 0);
        QCOMPARE(printed, FormatTree(w.tree()));
        for (const QString &s : mustShow)
            QVERIFY2(printed.contains(s), qPrintable(s));
        QVERIFY(printed.count(QLatin1Char('\n')) > 10);
    }

    void badEntriesComeFirst()
    {
        const QString list = "bad one\r\n" + m_server.url("/music/singles.html") + "::=.mp3::=单曲\r\n" + "::=x::=y\r\n\r\n"
            + m_server.url("/music/ost.html") + "::=.mp3::=原声\r\n";
        m_server.addFile("/scan/list.txt", list.toUtf8());
        int code = -1;
        const QStringList lines = scan(m_server.url("/scan/list.txt"), &code).split(QLatin1Char('\n'));
        QCOMPARE(code, 0);
        QCOMPARE(lines.mid(0, 4), (QStringList{"读取曲目列表时发生错误.", "读取曲目列表时发生错误.", "Quillon\t", "  单曲\t"}));
        QVERIFY(lines.contains(QStringLiteral("  原声\t")));
        QCOMPARE(lines.last(), QString());  // the output ends with a line break

        // a list answered with the server's one-line error page: one bad entry
        QCOMPARE(scan(m_server.url("/scan/missing.txt"), &code), kBadEntryText + QStringLiteral("\nQuillon\t\n"));
        QCOMPARE(code, 0);
        // an unreachable list: the root alone
        QCOMPARE(scan("http://" + testing::DeadHostPort() + "/list.txt", &code), QStringLiteral("Quillon\t\n"));
        QCOMPARE(code, 0);
    }

    // Two scans of different lists running at the same time (each with its own
    // list file) print their own trees; a page that brings no answer is told on
    // standard error.
    void twoScansAtOnce()
    {
        const QString dead = "http://" + testing::DeadHostPort() + "/dead.html";
        QString expected[2];
        std::unique_ptr<QProcess> scans[2];
        for (int n = 0; n < 2; ++n) {
            QString list;
            expected[n] = "Quillon\t\n";
            for (int i = 0; i < 12; ++i) {
                const QString path = QStringLiteral("/both/%1/p%2.html").arg(n).arg(i);
                m_server.addFile(path, QStringLiteral("<a href=\"%1-%2.mp3\">%1-%2</a>").arg(n).arg(i).toUtf8());
                m_server.addRule({.path = path, .delayMs = 10 * (12 - i)});  // the last answers first
                list += m_server.url(path) + QStringLiteral("::=.mp3::=L%1 %2\r\n").arg(n).arg(i);
                expected[n] += QStringLiteral("  L%1 %2\t\n    %1-%2\t%1-%2.mp3\n").arg(n).arg(i);
            }
            list += dead + "::=.mp3::=End\r\n";
            expected[n] += "  End\t\n";
            const QString listPath = QStringLiteral("/both/%1.txt").arg(n);
            m_server.addFile(listPath, list.toUtf8());
            scans[n] = std::make_unique<QProcess>();
            scans[n]->start(testing::BinDir() + "/velmora-scan", {m_server.url(listPath)});
        }
        for (int n = 0; n < 2; ++n) {
            QVERIFY(scans[n]->waitForFinished(60000));
            QCOMPARE(QString::fromUtf8(scans[n]->readAllStandardOutput()), expected[n]);
            const QString errors = QString::fromUtf8(scans[n]->readAllStandardError());
            QVERIFY2(errors.startsWith("velmora-scan: " + dead + ": no answer"), qPrintable(errors));
            QCOMPARE(errors.count('\n'), 1);
        }
        m_server.clearRules();
    }

private:
    QString scan(const QString &url, int *exitCode)
    {
        QProcess p;
        p.start(testing::BinDir() + "/velmora-scan", {url});
        if (!p.waitForFinished(60000))
            return QStringLiteral("(velmora-scan did not finish)");
        *exitCode = p.exitCode();
        return QString::fromUtf8(p.readAllStandardOutput());
    }

    httpd::HttpServer m_server;
};

QTEST_MAIN(tst_VelmoraScan)
#include "tst_velmorascan.moc"
