// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// An expired link found again: the test server's page lists the file under
// a token that changes, the old token's address answers 403, and the
// download goes on with the page's new address, resumed where the part on
// disk ends; or, when that cannot be, shows the old problem and keeps the part.
#include "catalogue/core/inet.h"
#include "catalogue/core/linkrefresh.h"
#include "doubles.h"
#include "httpserver.h"
#include "testsupport.h"

#include <QMutex>
#include <QProcess>
#include <QtTest>

using namespace velmora;
using velmora::httpd::HttpServer;
using velmora::httpd::Rule;

namespace {

constexpr qint64 kSize = 600000;
constexpr qint64 kDropAfter = 250000;
const QString kText = QStringLiteral("第 1 话");

} // namespace

class tst_LinkRefresh : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(m_server.start());
        QVERIFY(m_dir.isValid());
        // The page names the file under whatever token it hands out now.
        m_server.addHandler("/page.html", [this](const httpd::Request &) {
            QMutexLocker lock(&m_mutex);
            httpd::Response r;
            r.body = "<a href=\"" + m_server.url("/x/other.bin").toUtf8() + "\">第 2 话</a>";
            if (!m_listed.isEmpty())
                r.body += ("<a href=\"" + m_server.url(m_listed) + "?expires=1\">" + kText + "</a>").toUtf8();
            return r;
        });
        m_server.addGeneratedFile("/t/new/ep.bin", kSize);
        m_server.addGeneratedFile("/t/old/ep.bin", kSize);
        m_server.addGeneratedFile("/t/dead/ep.bin", kSize);
        m_other = testing::GeneratedBytes(0, kSize);
        std::reverse(m_other.begin(), m_other.end());
        m_server.addFile("/t/other/ep.bin", m_other);
    }

    void cleanup()
    {
        m_server.clearRules();
        m_server.clearRequests();
    }

    void refresh_data()
    {
        QTest::addColumn<bool>("someBytesFirst");  // the old address dies in the middle of the body
        QTest::addColumn<QString>("listed");       // what the page lists for the item now
        QTest::addColumn<QString>("result");       // "new", "other" (the whole other file), "kept"
        QTest::addColumn<int>("gone");             // how the old address answers once it expired
        QTest::newRow("before any byte") << false << "/t/new/ep.bin" << "new" << 403;
        QTest::newRow("after some bytes, resumed") << true << "/t/new/ep.bin" << "new" << 403;
        QTest::newRow("another file behind the new link") << true << "/t/other/ep.bin" << "other" << 403;
        QTest::newRow("the item gone from the page") << true << "" << "kept" << 403;
        QTest::newRow("the same address again") << true << "/t/old/ep.bin" << "kept" << 403;
        QTest::newRow("the new address refused too") << true << "/t/dead/ep.bin" << "kept" << 403;
        QTest::newRow("gone, before any byte") << false << "" << "kept" << 403;
        // A 404 meets the probe already, before the transfer starts.
        QTest::newRow("404 to the probe") << false << "/t/new/ep.bin" << "new" << 404;
        QTest::newRow("404 to the probe, gone from the page") << false << "" << "kept" << 404;
        QTest::newRow("410 after some bytes") << true << "/t/new/ep.bin" << "new" << 410;
    }

    void refresh()
    {
        QFETCH(bool, someBytesFirst);
        QFETCH(QString, listed);
        QFETCH(QString, result);
        QFETCH(int, gone);
        {
            QMutexLocker lock(&m_mutex);
            m_listed = listed;
        }
        const QString oldPath = "/t/old/ep.bin";
        const QString oldUrl = m_server.url(oldPath) + "?expires=1";
        if (someBytesFirst)
            m_server.addRule({.path = oldPath, .count = 3, .dropAfter = kDropAfter});  // probe, length, body
        m_server.addRule({.path = oldPath, .status = gone, .body = "expired"});
        m_server.addRule({.path = "/t/dead/ep.bin", .status = 403, .body = "expired"});

        const QString save = m_dir.filePath(QString(QTest::currentDataTag()).replace(' ', '-'));
        testing::EngineHarness h;
        h.dialog.path = save;
        Inet inet;
        PageLinkRefresher refresher(inet, {m_server.url("/page.html"), ".bin", kText});
        h.engine.setLinkRefresher(&refresher);
        const bool complete = h.run(oldUrl);

        // One look at the page per download, whatever it found.
        QCOMPARE(m_server.requestsFor("/page.html").size(), 1);
        const bool refreshed = h.view.statuses.contains(QStringLiteral("链接已更新"));
        if (result == "kept") {
            QVERIFY(!complete);
            QVERIFY(!refreshed || listed == "/t/dead/ep.bin");
            QVERIFY(!h.answerer.asked.isEmpty());
            if (someBytesFirst) {  // the part on disk is kept as it was
                QCOMPARE(QFileInfo(save).size(), kDropAfter);
                QCOMPARE(testing::Sha256OfFile(save), testing::Sha256(testing::GeneratedBytes(0, kDropAfter)));
            }
            return;
        }
        QVERIFY(complete);
        QVERIFY(refreshed);
        if (result == "other") {
            // Never the old part joined to another file: it was fetched whole.
            QCOMPARE(testing::Sha256OfFile(save), testing::Sha256(m_other));
            return;
        }
        QCOMPARE(testing::Sha256OfFile(save), HttpServer::GeneratedSha256(kSize));
        // The dialogs of the old status were not shown (only the reset, answered "resume").
        QCOMPARE(h.answerer.asked, someBytesFirst ? QStringList{"服务器连接重置"} : QStringList());
        QList<QByteArray> ranges;
        for (const auto &r : m_server.requestsFor(listed))
            if (!r.request.range.isEmpty())
                ranges << r.request.range;
        const qint64 from = someBytesFirst ? kDropAfter - 4096 : 0;
        QCOMPARE(ranges.value(0), "bytes=" + QByteArray::number(from) + '-');
    }

    // The same from the console: the new address is told.
    void fetchFromPage()
    {
        {
            QMutexLocker lock(&m_mutex);
            m_listed = "/t/new/ep.bin";
        }
        m_server.addRule({.path = "/t/old/ep.bin", .status = 403, .body = "expired"});
        const QString save = m_dir.filePath("fetched.bin");
        QProcess p;
        p.start(testing::BinDir() + "/velmora-fetch",
                {m_server.url("/t/old/ep.bin") + "?expires=1", "--save", save, "--from-page", m_server.url("/page.html"),
                 "--key", ".bin", "--text", kText});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 0);
        QCOMPARE(QString::fromUtf8(p.readAllStandardOutput()),
                 "refresh: " + m_server.url("/t/new/ep.bin") + "?expires=1\nverify: none\nresult: complete 600000\n");
        QCOMPARE(testing::Sha256OfFile(save), HttpServer::GeneratedSha256(kSize));
    }

    void findLinkAgain_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<int>("lookup");
        QTest::addColumn<QString>("address");
        const QString old = "http://h/f?token=1";
        QTest::newRow("moved") << "<a href=\"http://h/f?token=2\">A</a>" << int(LinkLookup::Moved) << "http://h/f?token=2";
        QTest::newRow("the old one among new ones")
            << "<a href=\"http://h/f?token=2\">A</a><a href=\"" + old + "\">A</a>" << int(LinkLookup::Same) << "";
        QTest::newRow("the text elsewhere, without the key")
            << "<a href=\"http://h/f.txt\">A</a>" << int(LinkLookup::Gone) << "";
        QTest::newRow("the text in highlight markup")
            << "<a href=\"http://h/f?token=3\"><font color=#e10900>A</font></a>" << int(LinkLookup::Moved)
            << "http://h/f?token=3";
        QTest::newRow("another text") << "<a href=\"http://h/f?token=2\">B</a>" << int(LinkLookup::Gone) << "";
    }

    void findLinkAgain()
    {
        QFETCH(QString, page);
        QFETCH(int, lookup);
        QFETCH(QString, address);
        const FoundLink found = FindLinkAgain(page, {"http://h/page", "token", "A"}, "http://h/f?token=1");
        QCOMPARE(int(found.lookup), lookup);
        QCOMPARE(found.address, address);
    }

private:
    HttpServer m_server;
    QTemporaryDir m_dir;
    QMutex m_mutex;
    QString m_listed;
    QByteArray m_other;
};

QTEST_MAIN(tst_LinkRefresh)
#include "tst_linkrefresh.moc"
