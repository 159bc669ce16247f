// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// Knowing what was fetched: the name a file is proposed under (the server's
// Content-Disposition, the decoded address, made safe), and the verdict on a
// whole file from the CRC32 in its name and the digests its server sends,
// end to end against the loopback test server.
#include "download/core/bodyfile.h"
#include "download/core/digest.h"
#include "download/core/engine.h"
#include "download/core/filename.h"
#include "download/core/hasher.h"
#include "download/ui/alerts.h"
#include "download/ui/frmverifyalert.h"
#include "doubles.h"
#include "httpserver.h"
#include "testsupport.h"

#include <QComboBox>
#include <QCryptographicHash>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QFile>
#include <QSignalSpy>
#include <QTimer>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <memory>

#include <sys/xattr.h>
#include <zlib.h>

using namespace velmora;
using velmora::httpd::HttpServer;
using velmora::httpd::Rule;
using Ending = DownloadOutcome::Ending;

Q_DECLARE_METATYPE(velmora::Problem)

namespace {

QByteArray Generated(qint64 size)
{
    QByteArray data(qsizetype(size), Qt::Uninitialized);
    HttpServer::GeneratedBytes(data.data(), 0, size);
    return data;
}

QString Crc32Hex(const QByteArray &data)
{
    const uLong crc = crc32(crc32(0, nullptr, 0), reinterpret_cast<const Bytef *>(data.constData()), uInt(data.size()));
    return QStringLiteral("%1").arg(qulonglong(crc), 8, 16, QLatin1Char('0')).toUpper();
}

// Blocks until done() holds, woken by the hasher's signal, which its own
// threads send: it reaches this thread queued, so none is missed.
bool WaitForHasher(Hasher &hasher, const std::function<bool()> &done)
{
    QObject here;
    QObject::connect(&hasher, &Hasher::progressed, &here, [] {}, Qt::QueuedConnection);
    bool late = false;
    QTimer::singleShot(30000, &here, [&late] { late = true; });
    while (!done()) {
        if (late)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

QByteArray Base64Of(const QByteArray &data, QCryptographicHash::Algorithm algorithm)
{
    return QCryptographicHash::hash(data, algorithm).toBase64();
}

QByteArray VerifyMarkOf(const QString &path)
{
    char value[512];
    const ssize_t n = ::getxattr(QFile::encodeName(path).constData(), kVerifyAttribute, value, sizeof value);
    return n < 0 ? QByteArrayLiteral("(none)") : QByteArray(value, int(n));
}

struct Download : testing::EngineHarness
{
    explicit Download(const QString &savePath) { dialog.path = savePath; }
};

// Not text: the probe's first read of the answer brings some of it after the head.
const QByteArray kGood = Generated(300000);

} // namespace

class tst_Verify : public QObject
{
    Q_OBJECT

private:
    HttpServer server;
    QTemporaryDir dir;

    bool keepsAttributes() const
    {
        return ::setxattr(QFile::encodeName(dir.path()).constData(), "user.velmora.probe", "1", 1, 0) == 0;
    }
    QString target(const QString &name) const { return dir.filePath(name); }

    // The whole file arrived: its bytes, its verdict in words, and the mark it keeps.
    void checkVerdict(Download &h, const QByteArray &data, const QString &words, Ending ending)
    {
        QCOMPARE(testing::Sha256OfFile(h.dialog.path), testing::Sha256(data));
        QCOMPARE(VerdictWords(h.engine.Outcome().verdict), words);
        QCOMPARE(h.engine.Outcome().ending, ending);
        QCOMPARE(h.engine.Outcome().bytes, qint64(data.size()));
        if (keepsAttributes())
            QCOMPARE(VerifyMarkOf(h.dialog.path), words == QLatin1String("none") ? QByteArray("(none)") : words.toUtf8());
    }

private slots:
    void initTestCase() { QVERIFY(server.start()); }
    void init()
    {
        server.clearRules();
        server.clearRequests();
    }

    void contentDisposition_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<QString>("name");
        const QString chinese = QStringLiteral("进击 [01].mkv");
        const QByteArray utf8 = chinese.toUtf8();
        QTest::newRow("extended utf-8") << ("attachment; filename*=UTF-8''" + utf8.toPercentEncoding()) << chinese;
        QTest::newRow("extended over plain")
            << ("attachment; filename=\"fallback.mkv\"; filename*=utf-8'zh'" + utf8.toPercentEncoding()) << chinese;
        QTest::newRow("extended gbk") << QByteArray("attachment; filename*=GBK''%BD%F8%BB%F7.mkv") << QStringLiteral("进击.mkv");
        QTest::newRow("extended latin-1") << QByteArray("inline; filename*=iso-8859-1'en'caf%E9.txt")
                                          << QStringLiteral("café.txt");
        QTest::newRow("extended broken utf-8 falls back") << QByteArray("attachment; filename*=UTF-8''%FF%FE; filename=b.bin")
                                                          << QStringLiteral("b.bin");
        QTest::newRow("plain utf-8") << ("attachment; filename=\"" + utf8 + "\"") << chinese;
        QTest::newRow("plain gbk") << QByteArray("attachment; filename=\"\xBD\xF8\xBB\xF7.mkv\"") << QStringLiteral("进击.mkv");
        QTest::newRow("plain percent form") << ("attachment; filename=\"" + utf8.toPercentEncoding() + "\"") << chinese;
        QTest::newRow("plain token") << QByteArray("attachment;filename=ep01.mp4") << QStringLiteral("ep01.mp4");
        QTest::newRow("quoted escapes and semicolon") << QByteArray("attachment; filename=\"a\\\"b;c.mkv\"; size=3")
                                                      << QStringLiteral("a\"b;c.mkv");
        QTest::newRow("path taken off") << QByteArray("attachment; filename=\"../../.bashrc\"") << QStringLiteral(".bashrc");
        QTest::newRow("windows path") << QByteArray("attachment; filename=\"C:\\\\x\\\\a.mkv\"") << QStringLiteral("a.mkv");
        QTest::newRow("none") << QByteArray("attachment") << QString();
        QTest::newRow("empty") << QByteArray() << QString();
    }
    void contentDisposition()
    {
        QFETCH(QByteArray, value);
        QFETCH(QString, name);
        QCOMPARE(ContentDispositionName(value), name);
    }

    // The name proposed: the server's over the address's, always safe.
    void proposedName_data()
    {
        QTest::addColumn<QByteArray>("disposition");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("name");
        const QString host = QStringLiteral("http://host");
        QTest::newRow("encoded address") << QByteArray() << host + "/dl/%E8%BF%9B%E5%87%BB%20%5B01%5D.mkv"
                                         << QStringLiteral("进击 [01].mkv");
        QTest::newRow("gbk address") << QByteArray() << host + "/dl/%BD%F8%BB%F7.mkv" << QStringLiteral("进击.mkv");
        QTest::newRow("query and fragment") << QByteArray() << host + "/dl.php?id=3#top" << QStringLiteral("dl.php");
        QTest::newRow("slash in query") << QByteArray() << host + "/get?f=a/b.mkv" << QStringLiteral("get");
        QTest::newRow("raw text") << QByteArray() << host + "/dir/My Song.MP3" << QStringLiteral("My Song.MP3");
        QTest::newRow("host only") << QByteArray() << host << QString();
        QTest::newRow("folder") << QByteArray() << host + "/dir/" << QString();
        QTest::newRow("server's name wins") << QByteArray("attachment; filename=\"ep.mkv\"") << host + "/dl.php?id=3"
                                            << QStringLiteral("ep.mkv");
        QTest::newRow("hostile name") << QByteArray("attachment; filename=\"../../.bashrc\"") << host + "/x"
                                      << QStringLiteral("bashrc");
        QTest::newRow("dots only falls to address") << QByteArray("attachment; filename=\"..\"") << host + "/x.bin"
                                                    << QStringLiteral("x.bin");
        QTest::newRow("encoded slash and dots") << QByteArray() << host + "/%2E%2E%2Fetc%2Fpasswd"
                                                << QStringLiteral("_etc_passwd");
        QTest::newRow("controls and trailing") << QByteArray("attachment; filename=\"a\x01\x7f\tb.mkv. .\"") << host
                                               << QStringLiteral("a___b.mkv");
        QTest::newRow("direction override") << QByteArray() << host + "/a%E2%80%AEvkm.exe" << QStringLiteral("a_vkm.exe");
        QTest::newRow("nul") << QByteArray() << host + "/a%00b" << QStringLiteral("a_b");
    }
    void proposedName()
    {
        QFETCH(QByteArray, disposition);
        QFETCH(QString, address);
        QFETCH(QString, name);
        QCOMPARE(ProposedFileName(disposition, address), name);
    }

    // Too long for the file system: cut in the title, at a whole character,
    // with the extension and the checksum group kept.
    void longName()
    {
        const QString title = QString(100, QChar(0x8FDB));  // 300 bytes of UTF-8
        for (const QString &tail : {QStringLiteral(" [1A2B3C4D].mkv"), QStringLiteral(".mkv"), QString()}) {
            const QString safe = SafeFileName(title + tail);
            QVERIFY(safe.toUtf8().size() <= kMaxNameBytes);
            QVERIFY(safe.toUtf8().size() > kMaxNameBytes - 3);
            QVERIFY2(safe.endsWith(tail.trimmed()), qPrintable(safe));
            QCOMPARE(safe.count(QChar(0x8FDB)), safe.size() - tail.trimmed().size());
        }
        // Four-byte characters are never split.
        const QString emoji = QString::fromUcs4(U"\U0001F600").repeated(70) + QStringLiteral(".mp4");
        const QString cut = SafeFileName(emoji);
        QVERIFY(cut.toUtf8().size() <= kMaxNameBytes);
        QVERIFY(cut.endsWith(QLatin1String(".mp4")));
        QCOMPARE(cut.toUcs4().count(0xFFFD), 0);
    }

    void checksumInName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<qint64>("crc");  // -1: none
        QTest::newRow("release") << QStringLiteral("[Group] Title - 01 [1080p][1A2B3C4D].mkv") << qint64(0x1A2B3C4D);
        QTest::newRow("lower case") << QStringLiteral("Title [deadbeef].mp4") << qint64(0xDEADBEEF);
        QTest::newRow("no extension") << QStringLiteral("Title [0000000A]") << qint64(0xA);
        QTest::newRow("dot in the title") << QStringLiteral("Vol. 2 [0000000A]") << qint64(0xA);
        QTest::newRow("resolution") << QStringLiteral("Title [1080p].mkv") << qint64(-1);
        QTest::newRow("version last") << QStringLiteral("Title [1A2B3C4D][v2].mkv") << qint64(-1);
        QTest::newRow("hex in the title") << QStringLiteral("[1A2B3C4D] Title - 01.mkv") << qint64(-1);
        QTest::newRow("nine digits") << QStringLiteral("Title [1A2B3C4D5].mkv") << qint64(-1);
        QTest::newRow("not hex") << QStringLiteral("Title [1A2B3C4G].mkv") << qint64(-1);
        QTest::newRow("parentheses") << QStringLiteral("Title (1A2B3C4D).mkv") << qint64(-1);
        QTest::newRow("full-width digits") << QStringLiteral("Title [１A2B3C4D].mkv") << qint64(-1);
    }
    void checksumInName()
    {
        QFETCH(QString, name);
        QFETCH(qint64, crc);
        const std::optional<quint32> found = ChecksumInName(name);
        QCOMPARE(found ? qint64(*found) : qint64(-1), crc);
    }

    void digestHeaders()
    {
        const QByteArray sha256 = QCryptographicHash::hash("x", QCryptographicHash::Sha256);
        const QByteArray sha512 = QCryptographicHash::hash("x", QCryptographicHash::Sha512);
        const QByteArray md5 = QCryptographicHash::hash("x", QCryptographicHash::Md5);
        auto kinds = [](const QList<Expectation> &list) {
            QList<HashKind> out;
            for (const Expectation &e : list)
                out << e.kind;
            return out;
        };
        const QList<Expectation> repr = ReprDigestExpectations(
            "sha-256=:" + sha256.toBase64() + ":, unixsum=:AAAA:, SHA-512=:" + sha512.toBase64() + ":;p=1, sha-256=:AAAA:");
        QCOMPARE(kinds(repr), QList<HashKind>({HashKind::Sha256, HashKind::Sha512}));
        QCOMPARE(repr[0].value, sha256);
        QCOMPARE(repr[1].value, sha512);
        // md5 is not a Repr-Digest algorithm; a bare value is no byte sequence.
        QVERIFY(ReprDigestExpectations("md5=:" + md5.toBase64() + ":, sha-256=" + sha256.toBase64()).isEmpty());

        const QList<Expectation> digest =
            DigestExpectations("MD5=" + md5.toBase64() + ",SHA-256=" + sha256.toBase64() + ", SHA=abc, sha-512=!!");
        QCOMPARE(kinds(digest), QList<HashKind>({HashKind::Md5, HashKind::Sha256}));
        QCOMPARE(digest[0].value, md5);
    }

    // The hashes of a file resumed from its kept start equal those of the whole.
    void hasherOverPrefix()
    {
        const QString path = target(QStringLiteral("prefix.bin"));
        const qsizetype kept = 700001;  // more than two blocks, not a multiple
        const QByteArray data = Generated(2 * 1024 * 1024 + 13);
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(data.left(kept));
        }
        Hasher hasher;
        hasher.start(path, kept, {HashKind::Crc32, HashKind::Sha256, HashKind::Sha512, HashKind::Md5});
        for (qsizetype at = kept; at < data.size(); at += 4096) {
            hasher.feed(QByteArrayView(data).sliced(at, qMin<qsizetype>(4096, data.size() - at)));
            QVERIFY(WaitForHasher(hasher, [&] { return !hasher.busy(); }));
        }
        QCOMPARE(hasher.position(), qint64(data.size()));
        hasher.close();
        QVERIFY(WaitForHasher(hasher, [&] { return hasher.done(); }));
        const FileHashes h = hasher.result();
        QCOMPARE(HashHex(HashKind::Crc32, h.crc32), Crc32Hex(data));
        QCOMPARE(h.sha256, QCryptographicHash::hash(data, QCryptographicHash::Sha256));
        QCOMPARE(h.sha512, QCryptographicHash::hash(data, QCryptographicHash::Sha512));
        QCOMPARE(h.md5, QCryptographicHash::hash(data, QCryptographicHash::Md5));

        // A prefix that cannot be read leaves the hashes empty: no verdict of "ok".
        hasher.start(target(QStringLiteral("missing.bin")), 10, {HashKind::Sha256});
        hasher.close();
        QVERIFY(WaitForHasher(hasher, [&] { return hasher.done(); }));
        QVERIFY(hasher.result().sha256.isEmpty());
        QCOMPARE(Judge({Expectation{HashKind::Sha256, QByteArray(32, 'a')}}, hasher.result()).result,
                 Verdict::Result::Mismatch);
    }

    // CRC32 and SHA-256 reckoned by the file's writer, told of each stretch
    // it wrote: right when every byte came through in order (SHA-512 beside
    // them on its lane), empty when one did not, and read from disk by a
    // lane over a kept start.
    void fastKindsOnWriter()
    {
        const QString path = target(QStringLiteral("writer.bin"));
        const QByteArray data = Generated(3 * BodyFile::kBlock + 4097);
        Hasher hasher;
        BodyFile file;
        file.setTap(&hasher);
        QVERIFY(file.open(path, 0, data.size()));
        hasher.start(path, 0, {HashKind::Crc32, HashKind::Sha256, HashKind::Sha512}, Hasher::FastOn::Writer);
        // Chunks lying in a shared block and chunks that are copied, mixed.
        for (qsizetype at = 0, n = 0; at < data.size(); at += 4096, ++n) {
            const QByteArrayView chunk = QByteArrayView(data).sliced(at, qMin<qsizetype>(4096, data.size() - at));
            const QByteArray owner = n % 3 == 0 ? QByteArray() : data;
            hasher.feed(chunk, owner);
            QVERIFY(file.append(chunk, owner));
            QVERIFY(WaitForHasher(hasher, [&] { return !hasher.busy(); }));
        }
        QVERIFY(file.close());
        hasher.close();
        QVERIFY(WaitForHasher(hasher, [&] { return hasher.done(); }));
        QCOMPARE(HashHex(HashKind::Crc32, hasher.result().crc32), Crc32Hex(data));
        QCOMPARE(hasher.result().sha256, QCryptographicHash::hash(data, QCryptographicHash::Sha256));
        QCOMPARE(hasher.result().sha512, QCryptographicHash::hash(data, QCryptographicHash::Sha512));
        QCOMPARE(testing::Sha256OfFile(path), testing::Sha256(data));

        // A stretch the writer never told of: no CRC, so never "ok".
        hasher.start(path, 0, {HashKind::Crc32, HashKind::Sha256}, Hasher::FastOn::Writer);
        hasher.feed(QByteArrayView(data).first(8192));
        hasher.written(data.constData(), 4096, 0);
        hasher.close();
        QVERIFY(WaitForHasher(hasher, [&] { return hasher.done(); }));
        QVERIFY(hasher.result().crc32.isEmpty());
        QVERIFY(hasher.result().sha256.isEmpty());
        // Told out of order: no CRC either, whatever follows.
        hasher.start(path, 0, {HashKind::Crc32}, Hasher::FastOn::Writer);
        hasher.feed(QByteArrayView(data).first(8192));
        hasher.written(data.constData() + 4096, 4096, 4096);
        hasher.written(data.constData(), 4096, 0);
        hasher.close();
        QVERIFY(WaitForHasher(hasher, [&] { return hasher.done(); }));
        QVERIFY(hasher.result().crc32.isEmpty());

        // Over a kept start the hashes are lanes', which read the start themselves.
        hasher.start(path, 5000, {HashKind::Crc32, HashKind::Sha256}, Hasher::FastOn::Writer);
        hasher.feed(QByteArrayView(data).sliced(5000));
        hasher.close();
        QVERIFY(WaitForHasher(hasher, [&] { return hasher.done(); }));
        QCOMPARE(HashHex(HashKind::Crc32, hasher.result().crc32), Crc32Hex(data));
        QCOMPARE(hasher.result().sha256, QCryptographicHash::hash(data, QCryptographicHash::Sha256));
    }

    // The CRC32 in the saved file's name: right, wrong, absent, look-alikes.
    void crcInName_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("words");
        const QString crc = Crc32Hex(kGood);
        QTest::newRow("right") << kGood << QStringLiteral("[G] T - 01 [1080p][%1].mkv").arg(crc)
                               << QStringLiteral("ok CRC32 ") + crc;
        QTest::newRow("right, lower case") << kGood << QStringLiteral("T [%1].mkv").arg(crc.toLower())
                                           << QStringLiteral("ok CRC32 ") + crc;
        // Written in several blocks, each told to the CRC by the file's writer.
        const QByteArray large = Generated(5 * BodyFile::kBlock + 777);
        QTest::newRow("right, several blocks") << large << QStringLiteral("L [%1].mkv").arg(Crc32Hex(large))
                                               << QStringLiteral("ok CRC32 ") + Crc32Hex(large);
        QTest::newRow("absent") << kGood << QStringLiteral("[G] T - 01 [1080p].mkv") << QStringLiteral("none");
        QTest::newRow("look-alike") << kGood << QStringLiteral("[G] T - 01 [00000000][v2].mkv") << QStringLiteral("none");
    }
    void crcInName()
    {
        QFETCH(QByteArray, data);
        QFETCH(QString, name);
        QFETCH(QString, words);
        server.addFile(QStringLiteral("/ep.mkv"), data);
        Download h(target(name));
        QVERIFY(h.run(server.url(QStringLiteral("/ep.mkv"))));
        QVERIFY(h.answerer.asked.isEmpty());
        checkVerdict(h, data, words, Ending::Finished);
        const QString status = words == QLatin1String("none") ? QStringLiteral("保存")
                                                                : QStringLiteral("校验通过 CRC32 ") + Crc32Hex(data);
        QCOMPARE(h.view.statuses.last(), status);
        QCOMPARE(h.view.estimated, QStringLiteral("下载完毕:"));
        QCOMPARE(h.view.phases, QList<Phase>({Phase::Connecting, Phase::AskingInfo, Phase::Saving, Phase::Saving}));
    }

    // A damaged copy is never complete: fetched once more it matches; kept, it
    // stays as it came and the download is incomplete.
    void crcWrongThenRight_data()
    {
        QTest::addColumn<QList<int>>("answers");
        QTest::newRow("fetched again") << QList<int>({1});
        QTest::newRow("kept") << QList<int>({2});
        QTest::newRow("closed") << QList<int>({0});
    }
    void crcWrongThenRight()
    {
        QFETCH(QList<int>, answers);
        QByteArray damaged = kGood;
        damaged[123456] = char(damaged[123456] ^ 0x20);
        // The probe, the length request and the range of the first fetch get the damaged copy.
        auto served = std::make_shared<std::atomic<int>>(0);
        const QString path = QStringLiteral("/damaged-%1.mkv").arg(answers.first());
        server.addHandler(path, [=](const httpd::Request &) {
            return httpd::Response{200, "application/octet-stream", ++*served <= 3 ? damaged : kGood};
        });
        const QString crc = Crc32Hex(kGood);
        Download h(target(QStringLiteral("T - %1 [%2].mkv").arg(answers.first()).arg(crc)));
        h.answerer.setVerifyAnswers(answers);
        const bool again = answers.first() == 1;
        QCOMPARE(h.run(server.url(path)), again);
        QCOMPARE(h.answerer.verdicts.size(), 1);
        QCOMPARE(VerdictWords(h.answerer.verdicts.first()),
                 QStringLiteral("mismatch CRC32 expected %1 got %2").arg(crc, Crc32Hex(damaged)));
        if (again) {
            QCOMPARE(h.answerer.kinds(), QList<Problem>({Problem::VerifyMismatch}));
            checkVerdict(h, kGood, QStringLiteral("ok CRC32 ") + crc, Ending::Finished);
            QVERIFY(!h.engine.Outcome().hasProblem);
        } else {
            QCOMPARE(h.answerer.kinds(), QList<Problem>({Problem::VerifyMismatch, Problem::Incomplete}));
            checkVerdict(h, damaged, QStringLiteral("mismatch CRC32 expected %1 got %2").arg(crc, Crc32Hex(damaged)),
                         Ending::Kept);
            QCOMPARE(h.engine.Outcome().problem, Problem::VerifyMismatch);
            QVERIFY(!h.state.blnComplete && h.view.closed);
        }
        // The texts once for this kind.
        QCOMPARE(h.answerer.asked.first(), QStringLiteral("校验不符"));
        QCOMPARE(VerifyMismatchText(h.answerer.verdicts.first()),
                 QStringLiteral("应为 CRC32 %1, 实为 %2.").arg(crc, Crc32Hex(damaged)));
    }

    // What the server vouches for: Repr-Digest and Digest of the final answer,
    // on a 200 and on a 206; a Content-Digest of a 206 covers only that part.
    void serverDigests_data()
    {
        QTest::addColumn<QByteArray>("headers");
        QTest::addColumn<bool>("whole200");
        QTest::addColumn<QString>("words");
        const QByteArray sha256 = Base64Of(kGood, QCryptographicHash::Sha256);
        const QByteArray sha512 = Base64Of(kGood, QCryptographicHash::Sha512);
        const QByteArray md5 = Base64Of(kGood, QCryptographicHash::Md5);
        const QByteArray wrong = Base64Of("other", QCryptographicHash::Sha256);
        const QString hex256 = QString::fromLatin1(QCryptographicHash::hash(kGood, QCryptographicHash::Sha256).toHex());
        const QString hex512 = QString::fromLatin1(QCryptographicHash::hash(kGood, QCryptographicHash::Sha512).toHex());
        const QString hexMd5 = QString::fromLatin1(QCryptographicHash::hash(kGood, QCryptographicHash::Md5).toHex());
        const QString hexWrong = QString::fromLatin1(QCryptographicHash::hash("other", QCryptographicHash::Sha256).toHex());
        for (bool whole : {true, false}) {
            const char *status = whole ? "200" : "206";
            QTest::addRow("%s repr-digest right", status)
                << ("Repr-Digest: sha-256=:" + sha256 + ":, sha-512=:" + sha512 + ":\r\n") << whole
                << QStringLiteral("ok SHA-512 ") + hex512;
            QTest::addRow("%s repr-digest wrong", status) << ("Repr-Digest: sha-256=:" + wrong + ":\r\n") << whole
                << QStringLiteral("mismatch SHA-256 expected %1 got %2").arg(hexWrong, hex256);
            QTest::addRow("%s digest right", status) << ("Digest: MD5=" + md5 + "\r\n") << whole
                                                     << QStringLiteral("ok MD5 ") + hexMd5;
            QTest::addRow("%s digest disagrees", status)
                << ("Digest: SHA-256=" + sha256 + "\r\nRepr-Digest: sha-256=:" + wrong + ":\r\n") << whole
                << QStringLiteral("mismatch SHA-256 expected %1 got %2").arg(hexWrong, hex256);
        }
        QTest::newRow("200 content-digest right") << ("Content-Digest: sha-256=:" + sha256 + ":\r\n") << true
                                                  << QStringLiteral("ok SHA-256 ") + hex256;
        QTest::newRow("206 content-digest") << ("Content-Digest: sha-256=:" + wrong + ":\r\n") << false
                                            << QStringLiteral("none");
    }
    void serverDigests()
    {
        QFETCH(QByteArray, headers);
        QFETCH(bool, whole200);
        QFETCH(QString, words);
        const QString path = QStringLiteral("/digest.bin");
        server.addFile(path, kGood);
        server.addRule({.path = path, .ignoreRange = whole200, .extraHeaders = headers});
        Download h(target(QStringLiteral("digest %1.bin").arg(QLatin1String(QTest::currentDataTag()))));
        const bool ok = !words.startsWith(QLatin1String("mismatch"));
        h.answerer.setVerifyAnswers({2});
        QCOMPARE(h.run(server.url(path)), ok);
        QCOMPARE(h.answerer.kinds(), ok ? QList<Problem>() : QList<Problem>({Problem::VerifyMismatch, Problem::Incomplete}));
        checkVerdict(h, kGood, words, ok ? Ending::Finished : Ending::Kept);
        QCOMPARE(server.requestsFor(path).last().status, whole200 ? 200 : 206);
    }

    // A resume hashes the kept start from disk first: damage in it, before
    // the bytes fetched again over its end, is found by the server's digest.
    void resumedPrefix_data()
    {
        QTest::addColumn<bool>("damaged");
        QTest::newRow("intact") << false;
        QTest::newRow("damaged start") << true;
    }
    void resumedPrefix()
    {
        QFETCH(bool, damaged);
        const QString path = QStringLiteral("/resume.bin");
        const QByteArray sha256 = Base64Of(kGood, QCryptographicHash::Sha256);
        server.addFile(path, kGood);
        server.addRule({.path = path, .extraHeaders = "Repr-Digest: sha-256=:" + sha256 + ":\r\n"});
        Download h(target(QStringLiteral("resume %1.bin").arg(damaged)));
        QByteArray kept = kGood.left(200000);
        if (damaged)
            kept[1000] = char(kept[1000] ^ 1);
        {
            QFile f(h.dialog.path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(kept);
        }
        h.answerer.setFileAnswers({1});  // "文件已存在": resume
        h.answerer.setVerifyAnswers({2});
        QCOMPARE(h.run(server.url(path)), !damaged);
        QCOMPARE(server.requestsFor(path).last().status, 206);
        QCOMPARE(server.requestsFor(path).last().request.range, QByteArray("bytes=195904-"));
        QCOMPARE(h.view.phases.mid(0, 2), QList<Phase>({Phase::Connecting, Phase::Resuming}));
        QByteArray expected = kGood;
        if (damaged)
            expected[1000] = kept[1000];
        const QString hex = QString::fromLatin1(QCryptographicHash::hash(kGood, QCryptographicHash::Sha256).toHex());
        const QString got = QString::fromLatin1(QCryptographicHash::hash(expected, QCryptographicHash::Sha256).toHex());
        checkVerdict(h, expected,
                     damaged ? QStringLiteral("mismatch SHA-256 expected %1 got %2").arg(hex, got)
                             : QStringLiteral("ok SHA-256 ") + hex,
                     damaged ? Ending::Kept : Ending::Finished);
    }

    // The verify dialog in the problem dialogs' style: its title, the two
    // answers, what was expected and what came; closed by its box, it keeps.
    void verifyDialog_data()
    {
        QTest::addColumn<int>("choice");  // -1: the close box
        QTest::addColumn<int>("answer");
        QTest::newRow("download again") << 0 << int(VerifyAnswer::DownloadAgain);
        QTest::newRow("keep") << 1 << int(VerifyAnswer::Keep);
        QTest::newRow("close box") << -1 << int(VerifyAnswer::None);
    }
    void verifyDialog()
    {
        QFETCH(int, choice);
        QFETCH(int, answer);
        const Verdict verdict{Verdict::Result::Mismatch, HashKind::Crc32, QByteArray::fromHex("1a2b3c4d"),
                              QByteArray::fromHex("0badf00d")};
        QStringList seen;
        testing::WhenModal<frmVerifyAlert>(this, [&](frmVerifyAlert *d) {
            seen << d->lblAbend()->text() << d->txtFile()->text();
            for (int i = 0; i < d->comOperation()->count(); ++i)
                seen << d->comOperation()->itemText(i);
            d->comOperation()->setCurrentIndex(qMax(choice, 0));
            seen << d->lblDes()->text();
            if (choice < 0)
                d->reject();
            else
                d->cmdNext()->click();
        });
        QCOMPARE(int(ShowVerifyAlert(verdict, QStringLiteral("/x/T [1A2B3C4D].mkv"))), answer);
        const QString mismatch = QStringLiteral("应为 CRC32 1A2B3C4D, 实为 0BADF00D.");
        QCOMPARE(seen.mid(0, 4), QStringList({QStringLiteral("校验不符"), QStringLiteral("T [1A2B3C4D].mkv"),
                                              QStringLiteral("重新下载"), QStringLiteral("保留此文件.")}));
        QVERIFY2(seen.last().startsWith(mismatch), qPrintable(seen.last()));
    }

    // The name the probe's answer gives reaches the Save-As dialog.
    void nameFromServer_data()
    {
        QTest::addColumn<QByteArray>("headers");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("name");
        const QString chinese = QStringLiteral("进击的巨人 - 01 [ABCDEF12].mkv");
        QTest::newRow("filename*") << ("Content-Disposition: attachment; filename*=UTF-8''"
                                       + chinese.toUtf8().toPercentEncoding() + "\r\n")
                                   << QStringLiteral("/dl.php?id=3") << chinese;
        QTest::newRow("utf-8 filename") << ("Content-Disposition: attachment; filename=\"" + chinese.toUtf8() + "\"\r\n")
                                        << QStringLiteral("/dl.php?id=4") << chinese;
        QTest::newRow("gbk filename") << QByteArray("Content-Disposition: attachment; filename=\"\xBD\xF8\xBB\xF7.mkv\"\r\n")
                                      << QStringLiteral("/dl.php?id=3") << QStringLiteral("进击.mkv");
        QTest::newRow("hostile") << QByteArray("Content-Disposition: attachment; filename=\"../../.bashrc\"\r\n")
                                 << QStringLiteral("/dl.php?id=3") << QStringLiteral("bashrc");
        QTest::newRow("redirector") << QByteArray() << QStringLiteral("/dl.php?id=3") << QStringLiteral("dl.php");
        QTest::newRow("encoded address") << QByteArray() << QStringLiteral("/dl/%E8%BF%9B%E5%87%BB%20%5B01%5D.mkv")
                                         << QStringLiteral("进击 [01].mkv");
    }
    void nameFromServer()
    {
        QFETCH(QByteArray, headers);
        QFETCH(QString, address);
        QFETCH(QString, name);
        const QString path = QUrl(server.url(address)).path();
        server.addFile(path, kGood);
        server.addRule({.path = path, .extraHeaders = headers});
        Download h(target(QStringLiteral("named %1.bin").arg(QLatin1String(QTest::currentDataTag()))));
        QVERIFY(h.run(server.url(address)));
        QCOMPARE(h.dialog.defaultName, name);
        QCOMPARE(testing::Sha256OfFile(h.dialog.path), testing::Sha256(kGood));
    }
};

QTEST_MAIN(tst_Verify)
#include "tst_verify.moc"
