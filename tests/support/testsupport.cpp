// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "testsupport.h"

#include "common/ui/msgbox.h"
#include "httpserver.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDesktopServices>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QWidget>

namespace velmora::testing {

namespace {

// Watches every show in the application until the wanted modal window comes.
class ModalWatch : public QObject
{
public:
    ModalWatch(QObject *context, std::function<bool(QWidget *)> match, std::function<void(QWidget *)> fn)
        : QObject(context), m_match(std::move(match)), m_fn(std::move(fn))
    {
        qApp->installEventFilter(this);
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::Show || !watched->isWidgetType())
            return false;
        auto *window = static_cast<QWidget *>(watched);
        if (!window->isWindow() || !window->isModal() || !m_match(window))
            return false;
        qApp->removeEventFilter(this);
        // Queued, so that fn runs once the window's own loop serves events.
        QPointer<QWidget> shown(window);
        QMetaObject::invokeMethod(
            this, [this, shown] {
                if (shown)
                    m_fn(shown);
                deleteLater();
            },
            Qt::QueuedConnection);
        return false;
    }

private:
    std::function<bool(QWidget *)> m_match;
    std::function<void(QWidget *)> m_fn;
};

} // namespace

void WhenModalShown(QObject *context, const std::function<bool(QWidget *)> &match,
                    const std::function<void(QWidget *)> &fn)
{
    new ModalWatch(context, match, fn);
}

QString DeadHostPort()
{
    httpd::HttpServer gone;
    if (!gone.start())
        return {};
    const QString hostPort = gone.hostPort();
    gone.stop();
    return hostPort;
}

QByteArray Sha256OfFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash h(QCryptographicHash::Sha256);
    h.addData(&f);
    return h.result().toHex();
}

QByteArray Sha256(const QByteArray &data)
{
    return QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex();
}

MessageBoxAnswerer::MessageBoxAnswerer(QMessageBox::StandardButton answer) : m_answer(answer)
{
    connect(MessageBoxes::instance(), &MessageBoxes::aboutToShow, this, [this](QMessageBox *box) {
        texts << box->text();
        // Answer once the box runs its own modal loop.
        QTimer::singleShot(0, box, [box, answer = m_answer] {
            if (QAbstractButton *b = box->button(answer))
                b->click();
            else
                box->reject();
        });
    });
}

QString SaveScreenshot(QWidget *widget, const QString &name)
{
    const QString dir = QStringLiteral(VELMORA_SCREENSHOT_DIR);
    QDir().mkpath(dir);
    const QString path = dir + QLatin1Char('/') + name + QStringLiteral(".png");
    widget->grab().save(path);
    return path;
}

QString BinDir()
{
    const QString env = qEnvironmentVariable("VELMORA_BIN_DIR");
    return env.isEmpty() ? QCoreApplication::applicationDirPath() + QStringLiteral("/../bin") : env;
}

TemporaryUserFolders::TemporaryUserFolders()
    : m_oldConfig(qgetenv("XDG_CONFIG_HOME")), m_oldCache(qgetenv("XDG_CACHE_HOME"))
{
    QDir().mkpath(config());
    QFile dirs(QDir(config()).filePath(QStringLiteral("user-dirs.dirs")));
    if (dirs.open(QIODevice::WriteOnly))
        dirs.write("XDG_MUSIC_DIR=\"" + QFile::encodeName(music()) + "\"\n");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config()));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(cache()));
}

TemporaryUserFolders::~TemporaryUserFolders()
{
    auto restore = [](const char *name, const QByteArray &old) {
        if (old.isEmpty())
            qunsetenv(name);
        else
            qputenv(name, old);
    };
    restore("XDG_CONFIG_HOME", m_oldConfig);
    restore("XDG_CACHE_HOME", m_oldCache);
}

bool ActivateWindow(QWidget *window)
{
    window->show();
    window->activateWindow();
    return QTest::qWaitForWindowActive(window);
}

QByteArray GeneratedBytes(qint64 offset, qint64 size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    httpd::HttpServer::GeneratedBytes(bytes.data(), offset, size);
    return bytes;
}

bool WriteFile(const QString &path, const QByteArray &data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(data) == data.size();
}

QByteArray RowMismatch(const QStringList &actual, const QStringList &expected)
{
    const QString separator = QStringLiteral(" | ");
    return (actual.join(separator) + QStringLiteral("\n   expected: ") + expected.join(separator)).toUtf8();
}

DesktopUrlCatcher::DesktopUrlCatcher()
{
    QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "open");
}

DesktopUrlCatcher::~DesktopUrlCatcher()
{
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
}

} // namespace velmora::testing
