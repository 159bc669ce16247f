// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// One very large catalogue page through the whole data path a load takes:
// the fetch from a loopback server, the check that the page is UTF-8 (it is
// then scanned as it came), the scan and the tree. A page of 64 MiB with
// 600,000 matching links; prints the time from the request to the filled
// tree and the peak memory the load added, and checks them against 1 s and
// 200 MB (200,000,000 bytes).
#include "catalogue/core/catalogueload.h"
#include "catalogue/core/inet.h"
#include "httpserver.h"
#include "memory.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTextStream>

#include <sys/resource.h>

using namespace velmora;

namespace {

constexpr int kLinks = 600000;
constexpr qsizetype kPageBytes = 64 * 1024 * 1024 - 8192;

QByteArray MakePage()
{
    QByteArray page;
    page.reserve(kPageBytes + 4096);
    page += "<html><head><meta charset=\"utf-8\"><title>大页面</title></head><body>\n";
    const qsizetype perLink = kPageBytes / kLinks;
    for (int i = 0; i < kLinks; ++i) {
        const qsizetype start = page.size();
        page += "<a href=\"http://127.0.0.1/e/" + QByteArray::number(i) + ".mkv\">第 " + QByteArray::number(i)
            + " 话 <font color=#e10900>高清</font> &amp; 字幕</a>";
        const qsizetype used = page.size() - start;
        if (used < perLink)
            page += QByteArray(perLink - used - 1, ' ') + '\n';
    }
    page += "</body></html>\n";
    return page;
}

// CPU time of this thread (the fetch, the scan and the tree run on it; the
// server has a thread of its own), in milliseconds: on a busy machine it
// says more than the wall clock.
qint64 ThreadCpuMs()
{
    rusage u{};
    getrusage(RUSAGE_THREAD, &u);
    return (qint64(u.ru_utime.tv_sec) + u.ru_stime.tv_sec) * 1000 + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1000;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    httpd::HttpServer server;
    if (!server.start())
        return 2;
    {
        const QByteArray page = MakePage();
        out << "page:        " << page.size() << " bytes, " << kLinks << " links\n";
        server.addFile(QStringLiteral("/big.html"), page);
    }
    if (qEnvironmentVariableIsSet("BENCH_FETCH_ONLY")) {
        Inet fetcher;
        QElapsedTimer f;
        f.start();
        const qsizetype got = fetcher.Fetch(server.url(QStringLiteral("/big.html"))).body.size();
        out << "fetch alone: " << got << " bytes, " << f.elapsed() << " ms\n";
    }
    MemoryTree tree;
    Inet inet;
    CatalogueState state;
    CatalogueLoader loader(tree, inet, state);
    loader.InitNode();
    ResetPeak();
    const qint64 before = CurrentKiB();
    const qint64 cpuBefore = ThreadCpuMs();
    QElapsedTimer t;
    t.start();
    loader.LoadTrackList(server.url(QStringLiteral("/big.html")), QStringLiteral(".mkv"), QStringLiteral("大"));
    const qint64 ms = t.elapsed();
    const qint64 cpuMs = ThreadCpuMs() - cpuBefore;
    const qint64 addedBytes = (PeakKiB() - before) * 1024;
    const qsizetype items = tree.nodeCount() - 2;
    const bool right = items == kLinks && tree.text(3) == QStringLiteral("第 0 话 高清 & 字幕")
        && tree.tag(tree.nodeCount()) == QStringLiteral("http://127.0.0.1/e/599999.mkv");
    out << "load:        " << items << " items, " << ms << " ms (" << cpuMs << " ms CPU), peak memory +"
        << addedBytes / (1024 * 1024) << " MiB (" << addedBytes / 1000000 << " MB), "
        << qRound(double(addedBytes) / double(items)) << " bytes an item\n";
    const bool ok = right && ms <= 1000 && addedBytes <= 200 * 1000 * 1000;
    out << (right ? "" : "TREE WRONG\n") << (ok ? "target met (<= 1 s, <= 200 MB)\n" : "TARGET MISSED\n");
    return ok ? 0 : 1;
}
