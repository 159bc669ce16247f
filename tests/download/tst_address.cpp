// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// Address splitting and local path handling of the download engine.
#include "download/core/address.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace velmora;

class TestAddress : public QObject
{
    Q_OBJECT
private slots:
    void analyseAddress_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("fileName");
        QTest::newRow("deep path") << "http://h/x/y/z.rar" << "h" << "z.rar";
        QTest::newRow("port kept") << "http://h:8080/dir/a b.mp3" << "h:8080" << "a b.mp3";
        QTest::newRow("no scheme") << "h/x.mp3" << "h" << "x.mp3";
        QTest::newRow("trailing slash") << "http://h/dir/" << "h" << "";
        QTest::newRow("ipv4 host") << "http://10.0.0.5:81/a/b.zip" << "10.0.0.5:81" << "b.zip";
        // No path after the host: the previous download's values must not survive.
        QTest::newRow("no path") << "http://h:8080" << "h:8080" << "";
    }
    void analyseAddress()
    {
        QFETCH(QString, url);
        QFETCH(QString, server);
        QFETCH(QString, fileName);
        AddressParts st;
        AnalyseAddress(st, QStringLiteral("http://old.example/x/old.rar"));
        AnalyseAddress(st, url);
        QCOMPARE(st.strRequestURL, url);
        QCOMPARE(st.strServer, server);
        QCOMPARE(st.strFileName, fileName);
        AnalyseAddress(st, QString()); // an empty address changes nothing
        QCOMPARE(st.strRequestURL, url);
        QCOMPARE(st.strServer, server);
    }

    void serverAndPort_data()
    {
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("port");
        QTest::newRow("port") << "h:8080" << "h" << 8080;
        QTest::newRow("no colon") << "h" << "h" << 80;
        QTest::newRow("empty port") << "h:" << "h" << 80;
        QTest::newRow("port only") << ":81" << "" << 81;
        QTest::newRow("leading blank") << "h: 8080" << "h" << 8080;
        QTest::newRow("trailing junk") << "h:8080abc" << "h" << 8080;
        QTest::newRow("rounded") << "h:80.6" << "h" << 81;
        QTest::newRow("zero") << "h:0" << "h" << 80;
        QTest::newRow("last colon counts") << "a:1:2" << "a:1" << 2;
        QTest::newRow("IPv6 with port") << "[::1]:8080" << "[::1]" << 8080;
        QTest::newRow("IPv6 alone") << "[fe80::1:2]" << "[fe80::1:2]" << 80;
        QTest::newRow("user info, no port") << "u:pw@h" << "u:pw@h" << 80;
        QTest::newRow("user info and port") << "u:pw@h:81" << "u:pw@h" << 81;
    }
    void serverAndPort()
    {
        QFETCH(QString, server);
        QFETCH(QString, host);
        QFETCH(int, port);
        QCOMPARE(RemovePort(server), host);
        QCOMPARE(GetPort(server), port);
        QCOMPARE(HasPort(server), RemovePort(server) != server);
    }

    void pathParts_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("folder");     // SplitPath, local, folder part
        QTest::addColumn<QString>("name");       // SplitPath, local, name part
        QTest::addColumn<QString>("extension");
        QTest::addColumn<QString>("fileName");   // FileNameOf: either separator
        QTest::newRow("local path") << "/home/u/m/a.b.mp3" << "/home/u/m/" << "a.b.mp3" << "mp3" << "a.b.mp3";
        QTest::newRow("bare name") << "readme" << "readme" << "readme" << "readme" << "readme";
        // A backslash is an ordinary character in a local name here.
        QTest::newRow("mixed, backslash last") << "C:\\a/b\\c.txt" << "C:\\a/" << "b\\c.txt" << "txt" << "c.txt";
        QTest::newRow("mixed, slash last") << "h/d\\e/f.mp3" << "h/d\\e/" << "f.mp3" << "mp3" << "f.mp3";
    }
    void pathParts()
    {
        QFETCH(QString, path);
        QFETCH(QString, folder);
        QFETCH(QString, name);
        QFETCH(QString, extension);
        QFETCH(QString, fileName);
        QCOMPARE(SplitPath(path, false, false), folder);
        QCOMPARE(SplitPath(path, true, false), name);
        QCOMPARE(GetExtension(path), extension);
        QCOMPARE(FileNameOf(path), fileName);
        QCOMPARE(SplitPath(QStringLiteral("http://h/d/") + path, true, true), path.mid(path.lastIndexOf('/') + 1));
    }

    void fileExistsAndLength()
    {
        QTemporaryDir dir;
        QFile f(dir.filePath(QStringLiteral("a.bin")));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(10000, 'x'));
        f.close();
        QVERIFY(FileExists(f.fileName()));
        QCOMPARE(FileLength(f.fileName()), qint64(10000));

        // Missing files, folders and nonsense give false / 0 without complaint.
        for (const QString &bad : {dir.filePath(QStringLiteral("missing")), dir.path(), QString(),
                                   f.fileName() + QStringLiteral("/inside")}) {
            QVERIFY2(!FileExists(bad), qPrintable(bad));
            QCOMPARE(FileLength(bad), qint64(0));
        }

        // Lengths beyond 32 bits: a sparse 5 GiB file.
        QFile big(dir.filePath(QStringLiteral("big.bin")));
        QVERIFY(big.open(QIODevice::WriteOnly));
        const qint64 size = qint64(5) << 30;
        if (!big.resize(size))
            QSKIP("the file system here cannot hold a sparse 5 GiB file");
        big.close();
        QCOMPARE(FileLength(big.fileName()), size);
    }
};

QTEST_GUILESS_MAIN(TestAddress)
#include "tst_address.moc"
