// SPDX-FileCopyrightText: 2026 Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The rest of a file fetched as pieces over several connections at once,
// handed on in order. Pieces are fetched at most twice the number of
// connections ahead of the reader, so memory stays bounded whatever the
// servers do; a slow piece at the front is asked for again (its rest) on a
// free connection, and whichever answer comes first counts.
//
// A connection whose server wants fewer (429, 503, a 200, refused or reset)
// rests for as long as it is told, or backs off, and after a few tries is
// given up; the others go on. A piece that comes wrong is tried again a few
// times; after that, or when an answer is of another version, the stream
// ends where its pieces stop being whole, and the caller's own rules take
// over from there.
#include "net/piece.h"
#include "net/bodybuffer.h"
#include "net/rategate.h"

#include <QByteArrayView>
#include <QElapsedTimer>
#include <QObject>

#include <deque>
#include <vector>


class QTimer;

namespace velmora::net {

class PieceStream : public QObject
{
    Q_OBJECT
public:
    static constexpr qint64 kPieceSize = 1024 * 1024;
    // Less than this left to fetch is not worth more connections.
    static constexpr qint64 kMinimumRest = 4 * kPieceSize;
    // Tries of a piece whose answers come wrong, and of a connection whose server is busy.
    static constexpr int kPieceTries = 3;
    static constexpr int kBusyTries = 3;
    // Connections at most for one download.
    static constexpr int kMaxConnections = 16;

    // Fetches bytes from `from` to the end of the file over `connections`
    // connections, one of which is still busy elsewhere until headDone().
    PieceStream(CurlMulti *multi, const PieceSource &source, qint64 from, int connections,
                QObject *parent = nullptr);
    ~PieceStream() override;

    void begin();
    // The connection that brought the bytes before `from` is free.
    void headDone();
    // Ends every request; what is whole and in order can still be read.
    void stop();

    // Bytes in order, ready to be read.
    qint64 readyBytes() const;
    SharedView peekShared(qint64 size) const;
    void consume(qint64 bytes);
    // Nothing more will come (what is ready can still be read).
    bool ended() const;
    // Everything up to the end of the file came.
    bool complete() const { return ended() && !m_stopped && m_pieces.empty(); }
    // Connections asking at this moment (for tests and logs).
    int running() const;

signals:
    void wake();

private:
    struct Piece
    {
        enum class State { Waiting, Running, Done };
        qint64 from = 0;
        qint64 to = 0;  // inclusive
        State state = State::Waiting;
        QByteArray bytes;  // the whole piece when Done; the kept start while a second request runs
        qint64 taken = 0;  // bytes of a Done piece already read
        int fetchers = 0;  // requests running for it: one, or two for a slow front piece
        bool helped = false;
        int tries = 0;
        qint64 size() const { return to - from + 1; }
    };
    struct Slot
    {
        enum class State { Free, Asking, Resting, Retired };
        State state = State::Free;
        PieceFetch *fetch = nullptr;
        QTimer *rest = nullptr;
        int busyTries = 0;
        qint64 piece = -1;   // from of the piece it asks for
        bool second = false; // it asks for the rest of a slow piece
    };

    void addSlot();
    void schedule();
    Piece *nextWork(bool *second);
    qint64 bytesToAsk(const Piece &piece, bool second) const;
    void startOn(Slot &slot, Piece &piece, bool second);
    void onEnded(Slot &slot);
    void pieceWhole(Slot &slot, Piece &piece);
    void pieceLost(Slot &slot, Piece &piece);
    void rest(Slot &slot);
    Piece *find(qint64 from);
    bool allRetired() const;

    CurlMulti *m_multi;
    PieceSource m_source;
    const int m_connections;
    qint64 m_next;  // first byte no piece has been made for yet
    std::deque<Piece> m_pieces;
    std::deque<Slot> m_slots;
    std::vector<QByteArray> m_spare;  // memory of pieces read, for the next ones  // grows at the back only: references stay valid
    // The download's limit over all its pieces, and the clock it counts by.
    RateGate m_gate;
    QElapsedTimer m_clock;
    QTimer *m_gateTimer;
    bool m_headDone = false;
    bool m_begun = false;
    bool m_stopped = false;
};

} // namespace velmora::net
