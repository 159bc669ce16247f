// Address splitting and local path handling of the download engine.
#include "download/core/address.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace velmora;

class TestAddress : public QObject
{
    Q_OBJECT
private slots:
    void analyseAddress_data();
    void analyseAddress();
    void analyseAddressKeepsStateOnEmpty();
    void analyseAddressWithoutPathForgetsPreviousDownload();
    void serverAndPort_data();
    void serverAndPort();
    void splitPath_data();
    void splitPath();
    void extensionAndFileName_data();
    void extensionAndFileName();
    void addBackslash();
    void fileExistsAndLength();
    void fileLengthIs64Bit();
};

void TestAddress::analyseAddress_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("server");
    QTest::addColumn<QString>("fileName");

    QTest::newRow("deep path") << "http://h/x/y/z.rar" << "h" << "z.rar";
    QTest::newRow("port kept") << "http://h:8080/dir/a b.mp3" << "h:8080" << "a b.mp3";
    QTest::newRow("no scheme") << "h/x.mp3" << "h" << "x.mp3";
    QTest::newRow("trailing slash") << "http://h/dir/" << "h" << "";
    QTest::newRow("ipv4 host") << "http://10.0.0.5:81/a/b.zip" << "10.0.0.5:81" << "b.zip";
    QTest::newRow("query stays in name") << "http://h/get.php?id=3" << "h" << "get.php?id=3";
    QTest::newRow("only first scheme cut") << "http://h/r?u=ftp://x/f.txt" << "h" << "f.txt";
}

void TestAddress::analyseAddress()
{
    QFETCH(QString, url);
    QFETCH(QString, server);
    QFETCH(QString, fileName);
    DownloadState st;
    AnalyseAddress(st, url);
    QCOMPARE(st.strRequestURL, url);
    QCOMPARE(st.strServer, server);
    QCOMPARE(st.strFileName, fileName);
}

void TestAddress::analyseAddressKeepsStateOnEmpty()
{
    DownloadState st;
    AnalyseAddress(st, QStringLiteral("http://h/a.mp3"));
    AnalyseAddress(st, QString());
    QCOMPARE(st.strRequestURL, QStringLiteral("http://h/a.mp3"));
    QCOMPARE(st.strServer, QStringLiteral("h"));
    QCOMPARE(st.strFileName, QStringLiteral("a.mp3"));
}

void TestAddress::analyseAddressWithoutPathForgetsPreviousDownload()
{
    DownloadState st;
    AnalyseAddress(st, QStringLiteral("http://old.example/x/old.rar"));
    AnalyseAddress(st, QStringLiteral("http://h:8080"));
    QCOMPARE(st.strRequestURL, QStringLiteral("http://h:8080"));
    QCOMPARE(st.strServer, QStringLiteral("h:8080"));
    QCOMPARE(st.strFileName, QString());
}

void TestAddress::serverAndPort_data()
{
    QTest::addColumn<QString>("server");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");

    QTest::newRow("port") << "h:8080" << "h" << 8080;
    QTest::newRow("no colon") << "h" << "h" << 80;
    QTest::newRow("empty port") << "h:" << "h" << 80;
    QTest::newRow("port only") << ":81" << "" << 81;
    QTest::newRow("ipv4, no port") << "10.0.0.5" << "10.0.0.5" << 80;
    QTest::newRow("ipv4 with port") << "10.0.0.5:8417" << "10.0.0.5" << 8417;
    QTest::newRow("leading blank") << "h: 8080" << "h" << 8080;
    QTest::newRow("trailing junk") << "h:8080abc" << "h" << 8080;
    QTest::newRow("rounded up") << "h:80.6" << "h" << 81;
    QTest::newRow("rounded down") << "h:8080.4" << "h" << 8080;
    QTest::newRow("zero") << "h:0" << "h" << 80;
    QTest::newRow("not a number") << "h:abc" << "h" << 80;
    QTest::newRow("last colon counts") << "a:1:2" << "a:1" << 2;
}

void TestAddress::serverAndPort()
{
    QFETCH(QString, server);
    QFETCH(QString, host);
    QFETCH(int, port);
    QCOMPARE(RemovePort(server), host);
    QCOMPARE(GetPort(server), port);
}

void TestAddress::splitPath_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("blnName");
    QTest::addColumn<bool>("blnSlash");
    QTest::addColumn<QString>("result");

    QTest::newRow("address name") << "http://h/d/a.mp3" << true << true << "a.mp3";
    QTest::newRow("address, no slash") << "a.mp3" << true << true << "a.mp3";
    QTest::newRow("local name") << "/home/u/music/a.mp3" << true << false << "a.mp3";
    QTest::newRow("local folder") << "/home/u/music/a.mp3" << false << false << "/home/u/music/";
    QTest::newRow("local root folder") << "/a.mp3" << false << false << "/";
    QTest::newRow("local, no separator") << "a.mp3" << false << false << "a.mp3";
#ifndef Q_OS_WIN
    // A backslash is an ordinary file-name character here.
    QTest::newRow("backslash in a local name") << "/tmp/a\\b.mp3" << true << false << "a\\b.mp3";
#endif
}

void TestAddress::splitPath()
{
    QFETCH(QString, path);
    QFETCH(bool, blnName);
    QFETCH(bool, blnSlash);
    QFETCH(QString, result);
    QCOMPARE(SplitPath(path, blnName, blnSlash), result);
}

void TestAddress::extensionAndFileName_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("extension");
    QTest::addColumn<QString>("fileName");

    QTest::newRow("two dots") << "a.b.mp3" << "mp3" << "a.b.mp3";
    QTest::newRow("no dot") << "readme" << "readme" << "readme";
    QTest::newRow("dot at end") << "x." << "" << "x.";
    QTest::newRow("mixed, slash last") << "h/d\\e/f.mp3" << "mp3" << "f.mp3";
    QTest::newRow("mixed, backslash last") << "C:\\a/b\\c.txt" << "txt" << "c.txt";
    QTest::newRow("unix path") << "/home/u/a b.rar" << "rar" << "a b.rar";
}

void TestAddress::extensionAndFileName()
{
    QFETCH(QString, path);
    QFETCH(QString, extension);
    QFETCH(QString, fileName);
    QCOMPARE(GetExtension(path), extension);
    QCOMPARE(FileNameOf(path), fileName);
}

void TestAddress::addBackslash()
{
    QCOMPARE(AddBackslash(QStringLiteral("/home/u")), QStringLiteral("/home/u/"));
    QCOMPARE(AddBackslash(QStringLiteral("/home/u/")), QStringLiteral("/home/u/"));
    QCOMPARE(AddBackslash(QStringLiteral("/")), QStringLiteral("/"));
}

void TestAddress::fileExistsAndLength()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString file = dir.filePath(QStringLiteral("a.bin"));
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(10000, 'x'));
    f.close();

    QVERIFY(FileExists(file));
    QCOMPARE(FileLength(file), qint64(10000));

    const QString empty = dir.filePath(QStringLiteral("empty"));
    QFile e(empty);
    QVERIFY(e.open(QIODevice::WriteOnly));
    e.close();
    QVERIFY(FileExists(empty));
    QCOMPARE(FileLength(empty), qint64(0));

    // Missing files, folders and nonsense give false / 0 without complaint.
    for (const QString &bad : {dir.filePath(QStringLiteral("missing")), dir.path(), QString(),
                               dir.filePath(QStringLiteral("a.bin/inside"))}) {
        QVERIFY2(!FileExists(bad), qPrintable(bad));
        QCOMPARE(FileLength(bad), qint64(0));
    }
}

void TestAddress::fileLengthIs64Bit()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("big.bin"));
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly));
    const qint64 size = qint64(5) * 1024 * 1024 * 1024;
    if (!f.resize(size))
        QSKIP("the file system here cannot hold a sparse 5 GiB file");
    f.close();
    QCOMPARE(FileLength(file), size);
}

QTEST_GUILESS_MAIN(TestAddress)
#include "tst_address.moc"
