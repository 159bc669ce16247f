// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// The body on its way to the disk in large blocks: whenever a download
// stops, the file holds exactly the bytes counted, and they are the remote
// file's first bytes.
#include "download/core/bodyfile.h"
#include "download/core/engine.h"
#include "doubles.h"
#include "httpserver.h"
#include "testsupport.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <sys/stat.h>

using namespace velmora;
using velmora::httpd::HttpServer;
using velmora::httpd::Rule;

namespace {

using Harness = testing::EngineHarness;

QByteArray generated(qint64 offset, qint64 size)
{
    QByteArray b(int(size), Qt::Uninitialized);
    HttpServer::GeneratedBytes(b.data(), offset, size);
    return b;
}

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("unreadable");
}

// Bytes the file system holds for the file.
qint64 allocatedBytes(const QString &path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? qint64(st.st_blocks) * 512 : -1;
}

} // namespace

class tst_BodyFile : public QObject
{
    Q_OBJECT

private:
    HttpServer server;
    QTemporaryDir dir;

private slots:
    void initTestCase()
    {
        QVERIFY(server.start());
        QVERIFY(dir.isValid());
    }
    void init()
    {
        server.clearRules();
        server.clearRequests();
        server.setDefaultRate(0);
    }

    void cancelLeavesWhatWasCounted_data()
    {
        QTest::addColumn<qint64>("cancelAt");
        QTest::newRow("inside the first block") << qint64(300000);
        QTest::newRow("inside the third block") << qint64(2 * BodyFile::kBlock + 123456);
    }
    void cancelLeavesWhatWasCounted()
    {
        QFETCH(qint64, cancelAt);
        const qint64 size = 8 * 1024 * 1024;
        const QString path = QStringLiteral("/cancel-%1.bin").arg(cancelAt);
        server.addGeneratedFile(path, size);
        Harness h;
        h.dialog.path = dir.filePath(path.mid(1));
        connect(&h.engine, &DownloadEngine::bodyProgress, this, [&](qint64 received) {
            if (received >= cancelAt && !h.state.blnCancel)
                h.engine.Cancel();
        });
        QVERIFY(!h.run(server.url(path)));
        QCOMPARE(h.answerer.asked, QStringList({QStringLiteral("下载未完成")}));
        // Every counted byte is on disk, in order (and the chunk in hand
        // when Cancel came, written but not counted), and nothing else.
        const qint64 onDisk = QFileInfo(h.dialog.path).size();
        QVERIFY(onDisk >= h.engine.Received() && onDisk <= h.engine.Received() + DownloadEngine::kChunk);
        QVERIFY(h.engine.Received() >= cancelAt && onDisk < size);
        QCOMPARE(fileBytes(h.dialog.path), generated(0, onDisk));
        // The room taken ahead of the writes was given back.
        QVERIFY(allocatedBytes(h.dialog.path) <= onDisk + 1024 * 1024);
    }

    void dropInsideABlockResumes()
    {
        // The connection drops while a block is only partly collected: the
        // reset question finds exactly the counted bytes on disk, and the
        // resumed file is whole.
        const qint64 size = 5 * BodyFile::kBlock + 999;
        const qint64 dropAt = BodyFile::kBlock + BodyFile::kBlock / 2 + 77;
        const QString path = QStringLiteral("/drop-inside.bin");
        server.addGeneratedFile(path, size);
        Rule r;
        r.path = path;
        r.when = Rule::When::WithRange;
        r.count = 1;
        r.dropAfter = dropAt;
        server.addRule(r);
        Harness h;
        h.dialog.path = dir.filePath(path.mid(1));
        qint64 onDiskAtQuestion = -1;
        bool prefixAtQuestion = false;
        h.answerer.onQuestion = [&](const testing::ScriptedProblemAnswerer::Question &q) {
            if (q.title != QStringLiteral("服务器连接重置"))
                return;
            onDiskAtQuestion = QFileInfo(h.dialog.path).size();
            prefixAtQuestion = fileBytes(h.dialog.path) == generated(0, onDiskAtQuestion);
        };
        QVERIFY(h.run(server.url(path)));
        QCOMPARE(h.answerer.asked, QStringList({QStringLiteral("服务器连接重置")}));
        QCOMPARE(onDiskAtQuestion, dropAt);
        QVERIFY(prefixAtQuestion);
        QCOMPARE(testing::Sha256OfFile(h.dialog.path), HttpServer::GeneratedSha256(size));
        QCOMPARE(server.requestsFor(path).last().request.range, "bytes=" + QByteArray::number(dropAt - 4096) + '-');
        QCOMPARE(allocatedBytes(h.dialog.path) >= size, true);
    }

    void blocksAndRoom()
    {
        // Chunks of every size land in order across block boundaries; an
        // old tail beyond the offset is cut; room taken is given back.
        const QString path = dir.filePath(QStringLiteral("blocks.bin"));
        {
            QFile old(path);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write(QByteArray(3 * 1024 * 1024, 'o'));
        }
        const qint64 offset = 1000;
        const qint64 end = 40 * 1024 * 1024;
        BodyFile file;
        QVERIFY(file.open(path, offset, end));
        QCOMPARE(QFileInfo(path).size(), offset);
        qint64 written = offset;
        for (qint64 n : {qint64(1), qint64(4095), BodyFile::kBlock - 1, qint64(2), BodyFile::kBlock * 2 + 5, qint64(4096)}) {
            QVERIFY(file.append(generated(written, n)));
            written += n;
        }
        QVERIFY(file.pending() < BodyFile::kBlock);
        QVERIFY(file.flush());
        QCOMPARE(file.pending(), qint64(0));
        QCOMPARE(QFileInfo(path).size(), written);
        QVERIFY(file.close());
        QCOMPARE(fileBytes(path), QByteArray(offset, 'o') + generated(offset, written - offset));
        QVERIFY(allocatedBytes(path) <= written + 1024 * 1024);

        // A folder is no file to write.
        QVERIFY(!file.open(dir.path(), 0, 10));
        QVERIFY(!file.errorString().isEmpty());
    }
};

QTEST_GUILESS_MAIN(tst_BodyFile)
#include "tst_bodyfile.moc"
