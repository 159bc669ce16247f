// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// velmora-fetch as a child process: its output lines and exit codes.
#include "httpserver.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <zlib.h>

using velmora::httpd::HttpServer;
using velmora::httpd::Rule;

class tst_Fetch : public QObject
{
    Q_OBJECT

private:
    HttpServer server;
    QTemporaryDir dir;

    // Runs the tool; the server answers on its own thread meanwhile.
    int fetch(const QStringList &args, QStringList *lines)
    {
        QProcess p;
        p.setProgram(velmora::testing::BinDir() + QStringLiteral("/velmora-fetch"));
        p.setArguments(args);
        p.start();
        if (!p.waitForFinished(60000)) {
            p.kill();
            p.waitForFinished();
            return -1;
        }
        *lines = QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        return p.exitCode();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(server.start());
        QVERIFY(QFile::exists(velmora::testing::BinDir() + QStringLiteral("/velmora-fetch")));
    }
    void init()
    {
        server.clearRules();
        server.clearRequests();
    }

    void completeAndExisting()
    {
        server.addGeneratedFile(QStringLiteral("/a.bin"), 123457);
        const QString save = dir.filePath(QStringLiteral("sub/a.bin"));  // the folder is made
        QStringList lines;
        QCOMPARE(fetch({server.url(QStringLiteral("/a.bin")), QStringLiteral("--save"), save}, &lines), 0);
        QCOMPARE(lines, QStringList({QStringLiteral("verify: none"), QStringLiteral("result: complete 123457")}));
        QCOMPARE(velmora::testing::Sha256OfFile(save), HttpServer::GeneratedSha256(123457));

        // Again: "文件已存在", answered 3 (give up) leaves it alone. The
        // user's own choice is no failure: no "下载未完成" follows.
        QCOMPARE(fetch({server.url(QStringLiteral("/a.bin")), QStringLiteral("--save"), save,
                        QStringLiteral("--answer-file-exists"), QStringLiteral("3")}, &lines), 1);
        // Each alert names what its dialog shows: the local file, or the address.
        QCOMPARE(lines, QStringList({QStringLiteral("alert: 文件已存在\t") + QFileInfo(save).absoluteFilePath()
                                         + QStringLiteral("\tfile-exists"),
                                     QStringLiteral("result: incomplete")}));
        QCOMPARE(velmora::testing::Sha256OfFile(save), HttpServer::GeneratedSha256(123457));
    }

    void timeout()
    {
        QStringList lines;
        // A server that never answers: the probe gives up after --timeout.
        server.addRule({.path = QStringLiteral("/silent.bin"), .stall = true});
        const QString url = server.url(QStringLiteral("/silent.bin"));
        QCOMPARE(fetch({url, QStringLiteral("--timeout"), QStringLiteral("1"), QStringLiteral("--save"),
                        dir.filePath(QStringLiteral("silent.bin"))}, &lines), 1);
        QCOMPARE(lines, QStringList({QStringLiteral("alert: 无法建立连接\t") + url + QStringLiteral("\tcannot-connect"),
                                     QStringLiteral("alert: 下载未完成\t") + url + QStringLiteral("\tincomplete"),
                                     QStringLiteral("result: incomplete")}));
    }

    // Several connections from the engine's side: the saved file is the
    // file, the server never sees more connections at once than allowed,
    // and a piece of another version leads to the reset question and a
    // resume, never to a file of two versions.
    void connections_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("most");
        QTest::addColumn<bool>("piecesChange");
        QTest::newRow("default") << QStringList() << 4 << false;
        QTest::newRow("one") << QStringList({QStringLiteral("--connections"), QStringLiteral("1")}) << 1 << false;
        QTest::newRow("eight, limited")
            << QStringList({QStringLiteral("--connections"), QStringLiteral("8"), QStringLiteral("--limit-rate"),
                            QStringLiteral("40M")})
            << 8 << false;
        QTest::newRow("pieces of another version") << QStringList() << 4 << true;
    }
    void connections()
    {
        QFETCH(QStringList, options);
        QFETCH(int, most);
        QFETCH(bool, piecesChange);
        const qint64 size = 9 * 1024 * 1024 + 3;
        server.addGeneratedFile(QStringLiteral("/many.bin"), size);
        server.addFile(QStringLiteral("/other.bin"), QByteArray(size, 'x'));
        if (piecesChange)
            server.addRule({.path = QStringLiteral("/many.bin"), .when = Rule::When::ClosedRange, .count = 1,
                            .servePath = QStringLiteral("/other.bin"), .ignoreIfRange = true});
        server.setDefaultRate(4 * 1024 * 1024);
        const QString save = dir.filePath(QStringLiteral("many-%1.bin").arg(QTest::currentDataTag()));
        QStringList lines;
        const int status = fetch(QStringList({server.url(QStringLiteral("/many.bin")), QStringLiteral("--save"), save}) + options, &lines);
        server.setDefaultRate(0);
        QCOMPARE(status, 0);
        QCOMPARE(lines.last(), QStringLiteral("result: complete %1").arg(size));
        QCOMPARE(velmora::testing::Sha256OfFile(save), HttpServer::GeneratedSha256(size));
        // The verdict and the result, and the reset question answered with a resume.
        QCOMPARE(lines.size(), piecesChange ? 3 : 2);
        QCOMPARE(lines.at(lines.size() - 2), QStringLiteral("verify: none"));
        QVERIFY(server.peakConnections() <= most);
        const auto log = server.requestsFor(QStringLiteral("/many.bin"));
        const auto pieces = std::count_if(log.begin(), log.end(), [](const auto &e) {
            return !e.request.range.isEmpty() && !e.request.range.endsWith('-');
        });
        QCOMPARE(pieces > 0, most > 1);
    }

    void serverThatAlwaysDrops()
    {
        // Every drop comes before the resume margin is made up: a resume
        // adds nothing, so the tool stops instead of looping.
        server.addGeneratedFile(QStringLiteral("/always.bin"), 400000);
        server.addRule({.path = QStringLiteral("/always.bin"), .when = Rule::When::WithRange, .dropAfter = 3000});
        const QString save = dir.filePath(QStringLiteral("always.bin"));
        QStringList lines;
        QCOMPARE(fetch({server.url(QStringLiteral("/always.bin")), QStringLiteral("--save"), save}, &lines), 1);
        QCOMPARE(lines.first(),
                 QStringLiteral("alert: 服务器连接重置\t") + QFileInfo(save).absoluteFilePath() + QStringLiteral("\treset"));
        QCOMPARE(lines.last(), QStringLiteral("result: incomplete"));
        QVERIFY(lines.at(lines.size() - 2).startsWith(QStringLiteral("alert: 下载未完成\t")));
        QVERIFY(lines.filter(QStringLiteral("alert: 服务器连接重置")).size() <= 3);
    }

    // --save-dir saves under the server's name and says it; a file whose
    // name's CRC32 does not match is fetched once more, then kept as incomplete.
    void saveDirAndVerdict()
    {
        const QByteArray data = QByteArray("episode bytes ").repeated(5000);
        const QString name = QStringLiteral("进击 - 01 [1080p][00000000].mkv");
        server.addFile(QStringLiteral("/dl.php"), data);
        server.addRule({.path = QStringLiteral("/dl.php"),
                        .extraHeaders = "Content-Disposition: attachment; filename*=UTF-8''"
                            + name.toUtf8().toPercentEncoding() + "\r\n"});
        const QString url = server.url(QStringLiteral("/dl.php?id=3"));
        QTemporaryDir folder;
        const QString saved = folder.filePath(name);
        QStringList lines;
        const QString crc = QStringLiteral("%1").arg(qulonglong(crc32(0, reinterpret_cast<const Bytef *>(data.constData()),
                                                                      uInt(data.size()))), 8, 16, QLatin1Char('0')).toUpper();
        const QString mismatch = QStringLiteral("alert: 校验不符\t") + saved + QStringLiteral("\tverify-mismatch");
        QCOMPARE(fetch({url, QStringLiteral("--save-dir"), folder.path()}, &lines), 1);
        QCOMPARE(lines, QStringList({mismatch, mismatch,
                                     QStringLiteral("alert: 下载未完成\t") + url + QStringLiteral("\tincomplete"),
                                     QStringLiteral("name: ") + name,
                                     QStringLiteral("verify: mismatch CRC32 expected 00000000 got ") + crc,
                                     QStringLiteral("result: incomplete")}));
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files), QStringList({name}));
        QCOMPARE(velmora::testing::Sha256OfFile(saved), velmora::testing::Sha256(data));

        // Answered 2 at once: asked once, kept.
        QCOMPARE(fetch({url, QStringLiteral("--save"), saved, QStringLiteral("--answer-file-exists"), QStringLiteral("2"),
                        QStringLiteral("--answer-verify"), QStringLiteral("2")}, &lines), 1);
        QCOMPARE(lines.filter(QStringLiteral("verify-mismatch")).size(), 1);
        QCOMPARE(lines.last(), QStringLiteral("result: incomplete"));

        // The right CRC32 in the name: complete, and said so.
        const QString right = QStringLiteral("进击 - 01 [%1].mkv").arg(crc);
        server.clearRules();
        server.addRule({.path = QStringLiteral("/dl.php"),
                        .extraHeaders = "Content-Disposition: attachment; filename=\"" + right.toUtf8() + "\"\r\n"});
        QCOMPARE(fetch({url, QStringLiteral("--save-dir"), folder.path()}, &lines), 0);
        QCOMPARE(lines, QStringList({QStringLiteral("name: ") + right, QStringLiteral("verify: ok CRC32 ") + crc,
                                     QStringLiteral("result: complete %1").arg(data.size())}));
        QCOMPARE(velmora::testing::Sha256OfFile(folder.filePath(right)), velmora::testing::Sha256(data));
    }
};

QTEST_GUILESS_MAIN(tst_Fetch)
#include "tst_fetch.moc"
