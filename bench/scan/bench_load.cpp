// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// Times a whole catalogue load against loopback servers that hold every
// answer for a while, as servers far away do: 20 pages, each answered after
// 200 ms. Prints the load time, whether the tree is the one the list asks
// for, and the peak memory the load added. Nothing is asserted here.
#include "catalogue/core/catalogueload.h"
#include "catalogue/core/inet.h"
#include "catalogue/core/listformat.h"
#include "httpserver.h"
#include "memory.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTextStream>

#include <memory>
#include <vector>

using namespace velmora;
using velmora::httpd::HttpServer;

namespace {

constexpr int kPages = 20;
constexpr int kDelayMs = 200;
constexpr int kLinksPerPage = 40;
constexpr qsizetype kPageBytes = 64 * 1024;

QByteArray MakePage(int page)
{
    QByteArray html = "<html><body>\n";
    for (int i = 0; i < kLinksPerPage; ++i)
        html += "<a href=\"http://h/" + QByteArray::number(page) + "-" + QByteArray::number(i) + ".mp3\">曲目 "
            + QByteArray::number(page) + "-" + QByteArray::number(i) + "</a>\n";
    html += QByteArray(std::max<qsizetype>(0, kPageBytes - html.size()), ' ') + "</body></html>\n";
    return html;
}

// The tree the list asks for: groups in list order, two entries share a
// group, the items of each page in page order.
QString ExpectedTree()
{
    QStringList groups;
    QHash<QString, QString> items;
    for (int p = 0; p < kPages; ++p) {
        const QString group = QStringLiteral("组 %1").arg(p == 7 ? 3 : p);
        if (!groups.contains(group))
            groups << group;
        for (int i = 0; i < kLinksPerPage; ++i)
            items[group] += QStringLiteral("    曲目 %1-%2\thttp://h/%1-%2.mp3\n").arg(p).arg(i);
    }
    QString tree = QStringLiteral("Quillon\t\n");
    for (const QString &g : groups)
        tree += QStringLiteral("  ") + g + QStringLiteral("\t\n") + items.value(g);
    return tree;
}

struct Result
{
    double seconds = 0;
    bool sameTree = false;
    qint64 peakGrowthKiB = 0;
};

// The whole load, or (oneAtATime) the list and then each page in turn
// through LoadTrackList, as the load went before its pages came side by side.
Result LoadOnce(const QString &listUrl, bool oneAtATime)
{
    MemoryTree tree;
    Inet inet;
    CatalogueState state;
    CatalogueLoader loader(tree, inet, state);
    ResetPeak();
    const qint64 before = PeakKiB();
    QElapsedTimer t;
    t.start();
    if (oneAtATime) {
        const QStringList lines = SplitListLines(inet.OpenURL(listUrl));
        loader.InitNode();
        for (const QString &line : lines) {
            ListEntry e;
            if (CutListLine(line, e))
                loader.LoadTrackList(e.URL, e.Key, e.Category);
        }
    } else {
        loader.LoadCatalogue(listUrl, {});
    }
    Result r;
    r.seconds = double(t.nsecsElapsed()) / 1e9;
    r.peakGrowthKiB = PeakKiB() - before;
    r.sameTree = FormatTree(tree) == ExpectedTree();
    return r;
}

// Serves the list from servers.front() and page p from servers[p % hosts].
QString Publish(const std::vector<std::unique_ptr<HttpServer>> &servers, int hosts, const QString &name)
{
    QString list;
    for (int p = 0; p < kPages; ++p) {
        HttpServer &s = *servers.at(size_t(p % hosts));
        const QString path = QStringLiteral("/%1/page%2.html").arg(name).arg(p);
        s.addFile(path, MakePage(p));
        list += s.url(path) + QStringLiteral("::=.mp3::=组 %1\r\n").arg(p == 7 ? 3 : p);
    }
    const QString listPath = QStringLiteral("/%1/list.txt").arg(name);
    servers.front()->addFile(listPath, list.toUtf8());
    return servers.front()->url(listPath);
}

void Report(QTextStream &out, const QString &label, const Result &best)
{
    out << label << QString::number(best.seconds, 'f', 3) << " s, tree "
        << (best.sameTree ? "as listed" : "DIFFERENT") << ", peak memory +" << best.peakGrowthKiB / 1024 << " MiB\n";
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    std::vector<std::unique_ptr<HttpServer>> servers;
    for (int i = 0; i < 4; ++i) {
        servers.push_back(std::make_unique<HttpServer>());
        if (!servers.back()->start()) {
            out << "cannot listen on 127.0.0.1\n";
            return 1;
        }
        servers.back()->setDefaultDelay(kDelayMs);
    }
    const QString oneHost = Publish(servers, 1, QStringLiteral("one"));
    const QString fourHosts = Publish(servers, 4, QStringLiteral("four"));
    out << kPages << " pages of " << kPageBytes / 1024 << " KiB, every answer (the list's too) held " << kDelayMs
        << " ms; best of 3\n";

    auto best = [](const QString &url, bool oneAtATime = false) {
        Result b;
        for (int run = 0; run < 3; ++run) {
            const Result r = LoadOnce(url, oneAtATime);
            if (run == 0 || r.seconds < b.seconds)
                b = r;
        }
        return b;
    };
    Report(out, QStringLiteral("one page at a time:           "), best(fourHosts, true));
    Report(out, QStringLiteral("pages on 4 servers (5 each): "), best(fourHosts));
    Report(out, QStringLiteral("pages on 1 server:            "), best(oneHost));

    // The same with the list answered at once: the pages alone.
    for (auto &s : servers)
        s->addRule({.path = QStringLiteral("/four/list.txt"), .delayMs = 0});
    Report(out, QStringLiteral("4 servers, list at once:      "), best(fourHosts));
    return 0;
}
