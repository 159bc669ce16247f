// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "testsupport.h"

#include "common/ui/msgbox.h"
#include "httpserver.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTimer>
#include <QWidget>

namespace velmora::testing {

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

} // namespace velmora::testing

#include <QDesktopServices>

namespace velmora::testing {

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
