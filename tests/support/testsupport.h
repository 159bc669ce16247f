// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Helpers shared by the test programs.
#include <QList>
#include <QMessageBox>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>
#include <QWidget>

#include <functional>

namespace velmora::testing {

// sha256 of a file's bytes as lowercase hex ("" when it cannot be read).
QByteArray Sha256OfFile(const QString &path);
QByteArray Sha256(const QByteArray &data);

// While it lives, answers every message box of the program with `answer`
// as soon as the box is shown, and records the texts of the boxes.
class MessageBoxAnswerer : public QObject
{
    Q_OBJECT
public:
    explicit MessageBoxAnswerer(QMessageBox::StandardButton answer = QMessageBox::Ok);
    void setAnswer(QMessageBox::StandardButton answer) { m_answer = answer; }
    QStringList texts;

private:
    QMessageBox::StandardButton m_answer;
};

// A window's control by its object name, which is the control's name in the
// program ("CancelButton"); a missing control stops the test program at once.
template<typename T>
T *Control(const QObject *window, const char *name)
{
    T *control = window->findChild<T *>(QString::fromLatin1(name));
    if (!control)
        qFatal("%s has no control %s", window->metaObject()->className(), name);
    return control;
}

// Saves a grab of the widget as <build>/screenshots/<name>.png; returns the path.
QString SaveScreenshot(QWidget *widget, const QString &name);

// "host:port" on loopback where nothing listens: a server was started
// there and stopped again, so a connection is refused at once.
QString DeadHostPort();

// Folder holding the built executables (velmora-fetch, velmora-scan, ...).
QString BinDir();

// Runs fn once, from inside its modal loop, on the first modal window shown
// that match() accepts; the watch lives as long as context. It reacts to the
// window's show, so no timer looks for it.
void WhenModalShown(QObject *context, const std::function<bool(QWidget *)> &match,
                    const std::function<void(QWidget *)> &fn);

// The same for the next modal widget of type T.
template<typename T>
void WhenModal(QObject *context, const std::function<void(T *)> &fn)
{
    WhenModalShown(
        context, [](QWidget *w) { return qobject_cast<T *>(w) != nullptr; },
        [fn](QWidget *w) { fn(static_cast<T *>(w)); });
}

// Points the user's configuration, cache and music folders
// ($XDG_CONFIG_HOME, $XDG_CACHE_HOME, XDG_MUSIC_DIR) into a temporary
// folder for as long as it lives, child processes included, so that a test
// never reads or writes the real user's settings and files.
class TemporaryUserFolders
{
public:
    TemporaryUserFolders();
    ~TemporaryUserFolders();
    TemporaryUserFolders(const TemporaryUserFolders &) = delete;
    TemporaryUserFolders &operator=(const TemporaryUserFolders &) = delete;

    QString config() const { return m_root.filePath(QStringLiteral("config")); }
    QString cache() const { return m_root.filePath(QStringLiteral("cache")); }
    // The music folder the user-dirs file names ("music" here, not made).
    QString music() const { return m_root.filePath(QStringLiteral("music")); }

private:
    QTemporaryDir m_root;
    QByteArray m_oldConfig, m_oldCache;
};

// Shows the window, makes it the active one and waits until the window
// system says so (false when it never does): keyboard tests need the focus.
bool ActivateWindow(QWidget *window);

// `size` bytes of the test server's generated files, from `offset` on.
QByteArray GeneratedBytes(qint64 offset, qint64 size);

// Writes `data` as the whole file at `path`; false when it cannot.
bool WriteFile(const QString &path, const QByteArray &data);

// For a row of a local table that came out otherwise: both rows in full, so
// the failure names the row ("a | b | c\n   expected: a | b | d").
QByteArray RowMismatch(const QStringList &actual, const QStringList &expected);

// While it lives, takes the file: URLs the program hands to the desktop
// (QDesktopServices::openUrl), so no real file manager or viewer opens.
class DesktopUrlCatcher : public QObject
{
    Q_OBJECT
public:
    DesktopUrlCatcher();
    ~DesktopUrlCatcher() override;
    QList<QUrl> urls;

public slots:
    void open(const QUrl &url) { urls << url; }
};

} // namespace velmora::testing
