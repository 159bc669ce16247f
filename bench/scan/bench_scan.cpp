// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// Times the page scan alone on a generated catalogue page of about 10 MB with
// 50,000 matching links, and on the same page repeated ten times.
#include "catalogue/core/pagescan.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTextStream>

#include <algorithm>

using namespace velmora;

static QString MakePage(int links, qsizetype targetSize)
{
    QString page;
    page.reserve(targetSize + 4096);
    page += QStringLiteral("<html><head><title>基准页面</title></head><body>\n");
    // Filler so that the links are spread over the whole page: the page
    // holds about targetSize characters in all.
    const QString sample = QStringLiteral("<li><a HREF=\"http://127.0.0.1/files/track-%1.MP3\" class=\"t\">"
                                          "<font color=#e10900>曲目</font>    %1 &amp; 其他</a></li>\n");
    const qsizetype linkSize = sample.size() + 4;
    const qsizetype fillPerLink = std::max<qsizetype>(0, targetSize / links - linkSize);
    const QString filler = QString(fillPerLink, QLatin1Char('x'));
    for (int i = 0; i < links; ++i) {
        page += sample.arg(i);
        page += filler;
        if (i % 7 == 0)
            page += QStringLiteral("<a href=\"http://127.0.0.1/page-%1.html\">不是音乐</a>").arg(i);
    }
    page += QStringLiteral("</body></html>\n");
    return page;
}

// Best of a few runs, in nanoseconds.
static qint64 TimeScan(const QString &page, qsizetype *links)
{
    qint64 best = -1;
    for (int run = 0; run < 3; ++run) {
        qsizetype n = 0;
        QElapsedTimer t;
        t.start();
        ScanPage(page, u".mp3", [&](const QString &, const QString &) {
            ++n;
            return true;
        });
        const qint64 ns = t.nsecsElapsed();
        if (best < 0 || ns < best)
            best = ns;
        *links = n;
    }
    return best;
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    const QString page = MakePage(50000, 10 * 1000 * 1000);
    const QString page10 = page.repeated(10);

    qsizetype links = 0, links10 = 0;
    const qint64 t1 = TimeScan(page, &links);
    const qint64 t10 = TimeScan(page10, &links10);
    const double ratio = double(t10) / double(t1);

    out << "page:        " << page.size() << " characters, " << links << " links, " << t1 / 1e6 << " ms, "
        << double(t1) / double(links) << " ns per link\n";
    out << "page x 10:   " << page10.size() << " characters, " << links10 << " links, " << t10 / 1e6 << " ms, "
        << double(t10) / double(links10) << " ns per link\n";
    out << "growth:      " << ratio << "x for 10x input\n";

    // The four-space cleanup of a link text made of nothing but spaces.
    const auto timeSpaces = [](qsizetype n) {
        const QString spaces(n, QLatin1Char(' '));
        QElapsedTimer t;
        t.start();
        const QString cleaned = RemoveFourSpaceRuns(spaces);
        return cleaned.isEmpty() ? t.nsecsElapsed() : -1;
    };
    const qint64 s16 = timeSpaces(16 * 1024 * 1024);
    const qint64 s32 = timeSpaces(32 * 1024 * 1024);
    out << "spaces:      16 MB " << s16 / 1e6 << " ms, 32 MB " << s32 / 1e6 << " ms, growth "
        << double(s32) / double(s16) << "x for 2x input\n";
    const bool ok = t1 <= 200 * 1000 * 1000 && ratio <= 11.0 && links == 50000 && links10 == 500000;
    out << (ok ? "target met (10 MB <= 0.2 s, growth <= 11x)\n" : "TARGET MISSED\n");
    return ok ? 0 : 1;
}
