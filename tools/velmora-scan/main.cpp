// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// velmora-scan LIST-URL: loads a catalogue list the way the main window's
// load button does and prints the resulting tree.
#include "catalogue/core/catalogueload.h"
#include "catalogue/core/inet.h"
#include "catalogue/core/librarymarks.h"
#include "common/core/commandline.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

static void WriteUtf8(const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    fflush(stdout);
}

static QString Describe(const velmora::FetchResult &result)
{
    using velmora::FetchStatus;
    switch (result.status) {
    case FetchStatus::Ok: return QStringLiteral("ok");
    case FetchStatus::ErrorAnswer: return QStringLiteral("answered with status %1, read as text").arg(result.httpStatus);
    case FetchStatus::Cut: return QStringLiteral("longer than 64 MiB, the rest not fetched");
    case FetchStatus::Failed: return QStringLiteral("no answer (") + result.error + QLatin1Char(')');
    case FetchStatus::Refused: return QStringLiteral("not fetched (") + result.error + QLatin1Char(')');
    case FetchStatus::Cancelled: return QStringLiteral("cancelled");
    }
    return {};
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("velmora-scan"));
    QCommandLineParser args;
    args.setApplicationDescription(QStringLiteral(
        "Loads the catalogue list at LIST-URL exactly as Velmora's load button does\n"
        "(every page the list names is fetched and scanned) and prints the tree.\n"
        "\n"
        "Output (UTF-8): one node a line, indented two spaces per level (root 0,\n"
        "groups 2, items 4), each line \"text<TAB>tag\"; the tag is empty for the\n"
        "root and the groups, so their lines end with a TAB. Line breaks and tabs\n"
        "inside a text are printed as spaces.\n"
        "Each bad list entry prints \"读取曲目列表时发生错误.\" on a line of its own\n"
        "when the load meets it, so these lines come before the tree, which is\n"
        "printed once the load has ended. The exit status is 0; a wrong command line\n"
        "is refused with status 2.\n"
        "\n"
        "Every fetch that brought no whole answer (no answer, an error status,\n"
        "a refused address, a body cut at 64 MiB) is told on standard error.\n"
        "\n"
        "With --marks DIR every item line has a third column: \"已下载\" when a file\n"
        "for the item lies in DIR (the name Velmora's Save-As would propose, or a\n"
        "file whose user.xdg.origin.url is the item's address), \"已下载（校验不符）\"\n"
        "when that file's kept check failed, \"新\" when the previous --marks run\n"
        "of the same list did not list it, and nothing otherwise. What was listed\n"
        "is kept in $XDG_CACHE_HOME/velmora/seen; the first run marks nothing new."));
    const QCommandLineOption marks(QStringLiteral("marks"),
                                   QStringLiteral("mark the items found in DIR and those new since the last run"),
                                   QStringLiteral("DIR"));
    args.addOption(marks);
    args.addPositionalArgument(QStringLiteral("LIST-URL"), QStringLiteral("address of the catalogue list"));
    const QString program = QStringLiteral("velmora-scan");
    const velmora::CommandLineStep step = velmora::ReadCommandLine(args, app.arguments(), program, 1);
    if (step != velmora::CommandLineStep::Run)
        return velmora::ExitStatusOf(step);
    if (args.positionalArguments().isEmpty())
        return velmora::RefuseCommandLine(program, QStringLiteral("missing LIST-URL"));

    velmora::MemoryTree tree;
    velmora::Inet inet;
    velmora::CatalogueState state;
    velmora::CatalogueLoader loader(tree, inet, state);
    loader.setFetchProblem([](const QString &url, const velmora::FetchResult &result) {
        const QString line = QStringLiteral("velmora-scan: ") + url + QStringLiteral(": ") + Describe(result) + QLatin1Char('\n');
        const QByteArray bytes = line.toUtf8();
        fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    });
    const QString listUrl = args.positionalArguments().at(0);
    const bool finished = loader.LoadCatalogue(listUrl, [] { WriteUtf8(velmora::kBadEntryText + QLatin1Char('\n')); });
    if (!args.isSet(marks)) {
        WriteUtf8(velmora::FormatTree(tree));
        return 0;
    }
    const QList<velmora::LibraryMark> found =
        velmora::MarkLoad(tree, loader.scannedPages(), listUrl, finished && loader.listRead(), args.value(marks));
    WriteUtf8(velmora::FormatTree(tree, [&](qsizetype i) { return velmora::MarkText(found.value(i)); }));
    return 0;
}
