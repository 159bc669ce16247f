// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The local file a body is written to. Chunks are collected and written in
// large blocks: a few large writes cost the system far less than many small
// ones. What is on disk is always the body's first bytes in order, so the
// file stays a prefix of the remote one whenever the download stops.
#include <QByteArray>
#include <QByteArrayView>
#include <QFile>
#include <QString>

#include <memory>

namespace velmora {

class BodyFile
{
public:
    // Bytes collected before they are written.
    static constexpr qint64 kBlock = 1024 * 1024;
    // Room taken from the file system ahead of the writes, at most.
    static constexpr qint64 kReserveStep = 64 * 1024 * 1024;

    BodyFile();
    ~BodyFile();
    BodyFile(const BodyFile &) = delete;
    BodyFile &operator=(const BodyFile &) = delete;

    // Opens path for writing at offset; unless told not to cut, whatever the
    // file held from there on is cut off. end: where the file will end when
    // whole. False (see errorString()) when that cannot be done.
    bool open(const QString &path, qint64 offset, qint64 end, bool cut = true);
    // Direct access to the file, after what is collected has been written.
    bool seek(qint64 position);
    bool resize(qint64 size);
    QByteArray read(qint64 size);
    bool isOpen() const { return m_file.isOpen(); }
    // Takes one chunk; writes the collected block once it is full.
    bool append(QByteArrayView chunk);
    // Writes what is collected.
    bool flush();
    // Writes what is collected and closes; a write error is kept in errorString().
    bool close();
    QString errorString() const { return m_error; }
    // Bytes collected and not yet written.
    qint64 pending() const { return m_used; }

private:
    void reserveAhead();

    QFile m_file;
    qint64 m_position = 0;  // where the next written byte lands
    qint64 m_end = 0;
    qint64 m_reserved = 0;  // room taken up to here
    std::unique_ptr<char[]> m_block;  // allocated once: a fresh block each time costs page faults
    qint64 m_used = 0;
    QString m_error;
};

} // namespace velmora
