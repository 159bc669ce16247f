// SPDX-FileCopyrightText: 2026 Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One ranged request for one piece of a file whose first answer has been
// seen: "bytes=from-to" with If-Range naming that answer's version. Its
// bytes count only when the answer is a 206 for exactly that range, of the
// same version, with the whole range in it; anything else is told as what
// went wrong, and the bytes are dropped.
#include "net/failure.h"

#include <QByteArray>
#include <QObject>
#include <QString>

namespace velmora::net {

class CurlMulti;
class Transfer;

// What a piece request is for: the same for every piece of one download.
struct PieceSource
{
    QString address;    // where the first answer came from, after redirects
    QString userName;   // only when that address is the one they were given for
    QString password;
    QByteArray validator;  // the first answer's strong ETag, else its Last-Modified
    qint64 total = 0;      // the file's length, as its Content-Range said
    NetSettings settings;
};

// The version an answer vouches for: a strong ETag, else Last-Modified; "" = none.
QByteArray ValidatorOf(const QByteArray &etag, const QByteArray &lastModified);

class PieceFetch : public QObject
{
    Q_OBJECT
public:
    enum class Outcome {
        Running,
        Whole,    // the range came, whole and of the right version
        Busy,     // the server wants fewer connections: 429, 503, a 200, refused or reset before an answer
        Wrong,    // another range, a short or long body, another status: try the piece again
        Changed,  // the answer is of another version: the remote file changed
    };

    PieceFetch(CurlMulti *multi, const PieceSource &source, QObject *parent = nullptr);
    ~PieceFetch() override;

    // Asks for bytes from..to (inclusive), at most bytesPerSecond (0 = no limit).
    // The bytes go into buffer's memory when it has room: a piece's memory,
    // once read, serves the next one, and the system need not hand out and
    // clear fresh pages for every piece.
    void start(qint64 from, qint64 to, qint64 bytesPerSecond, QByteArray buffer = QByteArray());
    void cancel();
    Outcome outcome() const { return m_outcome; }
    bool running() const { return m_outcome == Outcome::Running && m_asked; }
    qint64 from() const { return m_from; }
    qint64 to() const { return m_to; }
    // The bytes that have come so far; the whole range once outcome() is Whole.
    const QByteArray &bytes() const { return m_bytes; }
    QByteArray takeBytes();
    // How long a Busy server asked us to wait (Retry-After), in ms; -1 = it did not say.
    int retryAfterMs() const { return m_retryAfterMs; }

signals:
    // The outcome is decided (it is no longer Running).
    void ended();

private:
    void onWake();
    Outcome judgeHead() const;
    void takeBody();
    void end(Outcome outcome);

    const PieceSource &m_source;
    Transfer *m_transfer;
    qint64 m_from = 0;
    qint64 m_to = -1;
    bool m_asked = false;
    bool m_headJudged = false;
    Outcome m_outcome = Outcome::Running;
    int m_retryAfterMs = -1;
    QByteArray m_bytes;
};

} // namespace velmora::net
