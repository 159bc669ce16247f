// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// velmora-fetch: runs the download engine without a window, or with
// --window in the program's own download window. The Save-As dialog is
// answered by --save, the problem dialogs by the --answer options.
#include "catalogue/core/inet.h"
#include "catalogue/core/linkrefresh.h"
#include "common/core/commandline.h"
#include "download/core/engine.h"
#include "download/ui/frmdownload.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>

namespace {

void printLine(const QString &line)
{
    const QByteArray bytes = line.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
}

// Answers Save-As with the path of --save, or with the proposed name inside
// the folder of --save-dir (the host's name when nothing is proposed).
class PathDialog : public velmora::ISaveDialog
{
public:
    PathDialog(QString path, QString folder, QString host)
        : m_path(std::move(path)), m_folder(std::move(folder)), m_host(std::move(host))
    {
    }
    QString ShowSaveDialog(const QString &DefaultName, const QString &) override
    {
        if (m_folder.isEmpty())
            return m_path;
        name = DefaultName.isEmpty() ? m_host : DefaultName;
        return QDir(m_folder).filePath(name);
    }
    QString name;  // the name chosen in the folder

private:
    QString m_path;
    QString m_folder;
    QString m_host;
};

// Answers from the command line and prints every question.
class ArgumentAnswerer : public velmora::IProblemAnswerer
{
public:
    int fileExists = 1;
    int reset = 1;
    int alert = 1;
    int verify = 1;
    const velmora::DownloadEngine *engine = nullptr;

    velmora::FileAlertAnswer ShowFileAlert(const QString &strFile, bool blnReset) override
    {
        using velmora::FileAlertAnswer;
        using velmora::Problem;
        const Problem problem = blnReset ? Problem::ConnectionReset : Problem::FileExists;
        printAlert(velmora::ProblemText(problem), strFile, problem);
        if (!blnReset)
            return FileAlertAnswer(fileExists);
        if (reset != 1)
            return FileAlertAnswer(reset);
        // Resume only while resuming gets somewhere: a try that ended with
        // no more bytes than the one before it gives up (answer 2).
        const qint64 now = engine ? engine->Received() : 0;
        const bool progressed = now > m_lastReset;
        m_lastReset = now;
        return progressed ? FileAlertAnswer::Resume : FileAlertAnswer::IgnoreAfterReset;
    }

    velmora::AlertAnswer ShowAlert(const velmora::DownloadProblem &problem, const QString &strFile, bool) override
    {
        printAlert(problem.title(), strFile, problem.kind);
        return velmora::AlertAnswer(alert);
    }

    velmora::VerifyAnswer ShowVerifyAlert(const velmora::Verdict &, const QString &strFile) override
    {
        using velmora::Problem;
        printAlert(velmora::ProblemText(Problem::VerifyMismatch), strFile, Problem::VerifyMismatch);
        // Fetched once more at most: a server that keeps sending a damaged
        // file ends with the second copy kept.
        const bool again = verify == 1 && !m_refetched;
        m_refetched = m_refetched || again;
        return again ? velmora::VerifyAnswer::DownloadAgain : velmora::VerifyAnswer::Keep;
    }

private:
    // What the dialog would show: its title, the file or address it was
    // given, and the problem's kind as a stable word.
    static void printAlert(const QString &title, const QString &file, velmora::Problem problem)
    {
        printLine(QStringLiteral("alert: ") + title + QLatin1Char('\t') + file + QLatin1Char('\t')
                  + velmora::ProblemKindWord(problem));
    }

    bool m_refetched = false;

    qint64 m_lastReset = -1;
};

const QString kProgram = QStringLiteral("velmora-fetch");

// The answer the option gives, from 1 to max; nothing when it is out of range.
std::optional<int> answerValue(const QCommandLineParser &args, const QString &name, int max)
{
    bool ok = false;
    const int v = args.value(name).toInt(&ok);
    if (!ok || v < 1 || v > max) {
        const QString range = max == 2 ? QStringLiteral("1 or 2") : QStringLiteral("1, 2 or 3");
        velmora::RefuseCommandLine(kProgram, QStringLiteral("--%1 takes %2").arg(name, range));
        return std::nullopt;
    }
    return v;
}

// The waiting limit in whole seconds, one second to one day.
std::optional<int> timeoutValue(const QCommandLineParser &args)
{
    bool ok = false;
    const int v = args.value(QStringLiteral("timeout")).toInt(&ok);
    if (!ok || v < 1 || v > 24 * 3600) {
        velmora::RefuseCommandLine(kProgram, QStringLiteral("--timeout takes 1 to 86400 seconds"));
        return std::nullopt;
    }
    return v;
}

// Connections for one download, 1 to 16.
std::optional<int> connectionsValue(const QCommandLineParser &args)
{
    bool ok = false;
    const int v = args.value(QStringLiteral("connections")).toInt(&ok);
    if (!ok || v < 1 || v > 16) {
        velmora::RefuseCommandLine(kProgram, QStringLiteral("--connections takes 1 to 16"));
        return std::nullopt;
    }
    return v;
}

// Bytes per second as curl reads them: a number, optionally with k, M or G
// (powers of 1024) after it; 0 = no limit.
std::optional<qint64> rateValue(const QCommandLineParser &args)
{
    QString text = args.value(QStringLiteral("limit-rate")).trimmed();
    qint64 unit = 1;
    const QChar last = text.isEmpty() ? QChar() : text.back().toLower();
    if (last == QLatin1Char('k') || last == QLatin1Char('m') || last == QLatin1Char('g')) {
        unit = last == QLatin1Char('k') ? 1024 : last == QLatin1Char('m') ? 1024 * 1024 : 1024 * 1024 * 1024;
        text.chop(1);
    }
    bool ok = false;
    const double number = text.toDouble(&ok);
    if (!ok || number < 0 || number * double(unit) > 1e15 || text.contains(QLatin1Char('e'), Qt::CaseInsensitive)) {
        velmora::RefuseCommandLine(kProgram, QStringLiteral("--limit-rate takes bytes per second, such as 500k or 2M"));
        return std::nullopt;
    }
    return qint64(number * double(unit));
}

// The download in the real window, shown on the current display; the
// window closes itself when the download is over.
bool DownloadInWindow(const QString &url, velmora::ISaveDialog *dialog, ArgumentAnswerer *answerer,
                      const velmora::net::NetSettings &limits, velmora::ILinkRefresher *refresher, qint64 *total,
                      velmora::DownloadOutcome *outcome)
{
    auto *window = new velmora::frmDownload;
    window->setAttribute(Qt::WA_DeleteOnClose, false);
    window->setSaveDialog(dialog);
    window->setProblemAnswerer(answerer);
    answerer->engine = window->engine();
    window->engine()->setNetSettings(limits);
    window->engine()->setLinkRefresher(refresher);
    QString user;
    QString password;
    const bool ok = window->DownloadFile(url, user, password);
    *total = window->engine()->Total();
    *outcome = window->engine()->Outcome();
    window->close();
    delete window;
    return ok;
}

// The item's page fetched again when its link expired, and the new
// address told on the console.
class TellingRefresher : public velmora::ILinkRefresher
{
public:
    explicit TellingRefresher(velmora::LinkOrigin origin) : m_pages(m_inet, std::move(origin)) {}
    QString FreshAddress(const QString &address, int status) override
    {
        const QString fresh = m_pages.FreshAddress(address, status);
        if (!fresh.isEmpty())
            printLine(QStringLiteral("refresh: ") + fresh);
        return fresh;
    }

private:
    velmora::Inet m_inet;
    velmora::PageLinkRefresher m_pages;
};

bool WantsWindow(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--window") == 0)
            return true;
    return false;
}

} // namespace

int main(int argc, char **argv)
{
    // A window needs the widget application; the plain download does not.
    std::unique_ptr<QCoreApplication> application;
    if (WantsWindow(argc, argv))
        application = std::make_unique<QApplication>(argc, argv);
    else
        application = std::make_unique<QCoreApplication>(argc, argv);
    QCoreApplication &app = *application;
    QCoreApplication::setApplicationName(QStringLiteral("velmora-fetch"));
    QCommandLineParser args;
    args.setApplicationDescription(QStringLiteral(
        "Downloads one file with Velmora's download engine: on the console, or with\n"
        "--window in the program's own download window.\n"
        "Each problem the engine raises is printed as\n"
        "\"alert: <title><TAB><file or address><TAB><kind>\" (kind: a stable word such as not-found,\n"
        "reset, verify-mismatch) and answered from the options below. A whole file's verdict\n"
        "follows as \"verify: ok <kind> <hex>\", \"verify: mismatch <kind> expected <hex> got <hex>\"\n"
        "or \"verify: none\"; with --save-dir, \"name: <file name>\" comes first. The last line is\n"
        "\"result: complete <bytes>\" (exit 0) or \"result: incomplete\" (exit 1); a file kept\n"
        "although it does not match is incomplete.\n"
        "Answer 1 to \"服务器连接重置\" resumes the transfer; it is given only while\n"
        "resuming makes progress: a resume that adds no bytes is answered 2, so a\n"
        "server that keeps dropping the connection ends as incomplete. Answer 1 to \"校验不符\"\n"
        "fetches the file once more; a second mismatch is answered 2.\n"
        "With --from-page, --key and --text the file is an item of a catalogue page:\n"
        "when the server answers 403, 404 or 410, the page is fetched once more and\n"
        "the link with that text whose address contains KEY is taken instead, once;\n"
        "\"refresh: <new address>\" is printed when it was."));
    args.addPositionalArgument(QStringLiteral("URL"), QStringLiteral("The http:// address to fetch."));
    args.addOption({QStringLiteral("save"), QStringLiteral("Where to save the file (answers the Save-As dialog)."),
                    QStringLiteral("PATH")});
    args.addOption({QStringLiteral("save-dir"),
                    QStringLiteral("Save into this folder under the proposed name (answers the Save-As dialog)."),
                    QStringLiteral("DIR")});
    args.addOption({QStringLiteral("window"),
                    QStringLiteral("Run the download in the download window on the current display; it closes itself at the end.")});
    args.addOption({QStringLiteral("answer-file-exists"),
                    QStringLiteral("Answer to \"文件已存在\": 1 resume, 2 download again, 3 give up (default 1)."),
                    QStringLiteral("1|2|3"), QStringLiteral("1")});
    args.addOption({QStringLiteral("answer-reset"),
                    QStringLiteral("Answer to \"服务器连接重置\": 1 resume, 2 give up (default 1)."),
                    QStringLiteral("1|2"), QStringLiteral("1")});
    args.addOption({QStringLiteral("answer-alert"),
                    QStringLiteral("Answer to the other problems: 1 ignore / try again, 2 cancel (default 1)."),
                    QStringLiteral("1|2"), QStringLiteral("1")});
    args.addOption({QStringLiteral("answer-verify"),
                    QStringLiteral("Answer to \"校验不符\": 1 download again (once), 2 keep the file (default 1)."),
                    QStringLiteral("1|2"), QStringLiteral("1")});
    args.addOption({QStringLiteral("timeout"),
                    QStringLiteral("Seconds an answer's head may take, and a body may stay silent, before the "
                                   "transfer counts as failed or dropped (default 60)."),
                    QStringLiteral("SECONDS"), QStringLiteral("60")});
    args.addOption({QStringLiteral("from-page"), QStringLiteral("The catalogue page the address came from."),
                    QStringLiteral("PAGE-URL")});
    args.addOption({QStringLiteral("key"), QStringLiteral("The key of the page's catalogue entry."),
                    QStringLiteral("KEY")});
    args.addOption({QStringLiteral("text"), QStringLiteral("The item's text on the page."), QStringLiteral("TEXT")});
    args.addOption({QStringLiteral("connections"),
                    QStringLiteral("Connections one download may use at once, 1 to 16 (default 4); 1 fetches "
                                   "the file over one connection."),
                    QStringLiteral("N"), QStringLiteral("4")});
    args.addOption({QStringLiteral("limit-rate"),
                    QStringLiteral("The most bytes per second the download takes over all its connections, "
                                   "with k, M or G for powers of 1024 (default 0: no limit)."),
                    QStringLiteral("RATE"), QStringLiteral("0")});
    const velmora::CommandLineStep step =
        velmora::ReadCommandLine(args, app.arguments(), kProgram, 1);
    if (step != velmora::CommandLineStep::Run)
        return velmora::ExitStatusOf(step);

    const bool toFolder = args.isSet(QStringLiteral("save-dir"));
    if (args.positionalArguments().size() != 1 || args.isSet(QStringLiteral("save")) == toFolder) {
        printLine(QStringLiteral("usage: velmora-fetch URL --save PATH|--save-dir DIR [--window] "
                                 "[--answer-file-exists 1|2|3] [--answer-reset 1|2] [--answer-alert 1|2] "
                                 "[--answer-verify 1|2] [--timeout SECONDS] [--connections N] [--limit-rate RATE] "
                                 "[--from-page PAGE-URL --key KEY --text TEXT]"));
        return 2;
    }
    const std::optional<int> timeout = timeoutValue(args);
    if (!timeout)
        return 2;
    const std::optional<int> connections = connectionsValue(args);
    const std::optional<qint64> rate = rateValue(args);
    if (!connections || !rate)
        return 2;
    velmora::net::NetSettings limits = velmora::net::NetSettings::withTimeout(*timeout);
    limits.connections = *connections;
    limits.maxBytesPerSecond = *rate;

    const std::optional<int> fileExists = answerValue(args, QStringLiteral("answer-file-exists"), 3);
    const std::optional<int> reset = answerValue(args, QStringLiteral("answer-reset"), 2);
    const std::optional<int> alert = answerValue(args, QStringLiteral("answer-alert"), 2);
    const std::optional<int> verify = answerValue(args, QStringLiteral("answer-verify"), 2);
    if (!fileExists || !reset || !alert || !verify)
        return 2;
    ArgumentAnswerer answerer;
    answerer.fileExists = *fileExists;
    answerer.reset = *reset;
    answerer.alert = *alert;
    answerer.verify = *verify;
    const QString url = args.positionalArguments().first();
    const QString folder = toFolder ? QFileInfo(args.value(QStringLiteral("save-dir"))).absoluteFilePath() : QString();
    PathDialog dialog(QFileInfo(args.value(QStringLiteral("save"))).absoluteFilePath(), folder,
                      QUrl(url).host());
    std::unique_ptr<TellingRefresher> refresher;
    if (args.isSet(QStringLiteral("from-page"))) {
        refresher = std::make_unique<TellingRefresher>(velmora::LinkOrigin{
            args.value(QStringLiteral("from-page")), args.value(QStringLiteral("key")), args.value(QStringLiteral("text"))});
    }
    bool ok = false;
    qint64 total = 0;
    velmora::DownloadOutcome outcome;
    if (args.isSet(QStringLiteral("window"))) {
        ok = DownloadInWindow(url, &dialog, &answerer, limits, refresher.get(), &total, &outcome);
    } else {
        velmora::DownloadState state;
        velmora::DownloadView view;  // no window: nothing is shown, and the figures cost nothing
        velmora::DownloadEngine engine(state, &view, &dialog, &answerer);
        answerer.engine = &engine;
        engine.setNetSettings(limits);
        engine.setLinkRefresher(refresher.get());
        QString user;
        QString password;
        ok = engine.DownloadFile(url, user, password);
        total = engine.Total();
        outcome = engine.Outcome();
    }
    if (toFolder && !dialog.name.isEmpty())
        printLine(QStringLiteral("name: ") + dialog.name);
    // A verdict is made on a whole file only.
    using Ending = velmora::DownloadOutcome::Ending;
    if (outcome.ending == Ending::Finished || outcome.ending == Ending::Kept)
        printLine(QStringLiteral("verify: ") + velmora::VerdictWords(outcome.verdict));
    if (ok) {
        printLine(QStringLiteral("result: complete %1").arg(total));
        return 0;
    }
    printLine(QStringLiteral("result: incomplete"));
    return 1;
}
