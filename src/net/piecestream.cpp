// SPDX-FileCopyrightText: 2026 Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/piecestream.h"

#include "net/bodybuffer.h"

#include <QTimer>

#include <algorithm>

namespace velmora::net {

namespace {

// A busy server is asked again after 1, 2, 4 ... seconds unless it said how long.
int BackOffMs(int tries)
{
    return 1000 << std::min(tries, 5);
}

// A front piece with less than this still to come is left to finish on its own.
constexpr qint64 kWorthAskingAgain = PieceStream::kPieceSize / 4;

} // namespace

PieceStream::PieceStream(CurlMulti *multi, const PieceSource &source, qint64 from, int connections, QObject *parent)
    : QObject(parent), m_multi(multi), m_source(source),
      m_connections(std::clamp(connections, 1, kMaxConnections)), m_next(from),
      m_gate(source.settings.maxBytesPerSecond, kPieceSize), m_gateTimer(new QTimer(this))
{
    m_gateTimer->setSingleShot(true);
    connect(m_gateTimer, &QTimer::timeout, this, &PieceStream::schedule);
    // One connection is the head's until it is done.
    for (int i = 1; i < m_connections; ++i)
        addSlot();
}

PieceStream::~PieceStream() = default;

void PieceStream::addSlot()
{
    Slot &slot = m_slots.emplace_back();
    slot.fetch = new PieceFetch(m_multi, m_source, this);
    slot.rest = new QTimer(this);
    slot.rest->setSingleShot(true);
    connect(slot.fetch, &PieceFetch::ended, this, [this, &slot] { onEnded(slot); });
    connect(slot.rest, &QTimer::timeout, this, [this, &slot] {
        slot.state = Slot::State::Free;
        schedule();
    });
}

void PieceStream::begin()
{
    m_begun = true;
    m_clock.start();
    schedule();
}

void PieceStream::headDone()
{
    if (m_headDone || m_stopped)
        return;
    m_headDone = true;
    addSlot();
    schedule();
}

void PieceStream::stop()
{
    if (m_stopped)
        return;
    m_stopped = true;
    for (Slot &slot : m_slots) {
        slot.fetch->cancel();
        slot.rest->stop();
        slot.state = Slot::State::Retired;
    }
    // What is whole and in order stays to be read; nothing after a gap can be.
    const auto gap = std::find_if(m_pieces.begin(), m_pieces.end(),
                                  [](const Piece &p) { return p.state != Piece::State::Done; });
    m_pieces.erase(gap, m_pieces.end());
    emit wake();
}

void PieceStream::schedule()
{
    if (m_stopped || !m_begun)
        return;
    for (Slot &slot : m_slots) {
        if (slot.state != Slot::State::Free)
            continue;
        bool second = false;
        Piece *piece = nextWork(&second);
        if (!piece)
            break;
        // Under a limit, the next request waits for its turn.
        const qint64 bytes = bytesToAsk(*piece, second);
        const qint64 waitMs = m_gate.waitMs(m_clock.elapsed(), bytes);
        if (waitMs > 0) {
            // A new piece not asked for yet stays Waiting, first in line for then.
            m_gateTimer->start(int(qMin<qint64>(waitMs, 60000)));
            break;
        }
        m_gate.take(m_clock.elapsed(), bytes);
        startOn(slot, *piece, second);
    }
    // Work left and no connection that will ever take it: the stream ends short.
    if (m_headDone && allRetired() && !ended())
        stop();
}

PieceStream::Piece *PieceStream::nextWork(bool *second)
{
    *second = false;
    for (Piece &p : m_pieces)
        if (p.state == Piece::State::Waiting)
            return &p;
    if (qsizetype(m_pieces.size()) < 2 * m_connections && m_next < m_source.total) {
        Piece &p = m_pieces.emplace_back();
        p.from = m_next;
        p.to = std::min(m_next + kPieceSize, m_source.total) - 1;
        m_next = p.to + 1;
        return &p;
    }
    // All pieces in hand: a slow one at the front holds the reader back.
    if (m_pieces.empty())
        return nullptr;
    Piece &front = m_pieces.front();
    if (front.state != Piece::State::Running || front.helped || front.fetchers != 1)
        return nullptr;
    for (const Slot &slot : m_slots)
        if (slot.state == Slot::State::Asking && slot.piece == front.from
            && front.size() - slot.fetch->bytes().size() > kWorthAskingAgain) {
            *second = true;
            return &front;
        }
    return nullptr;
}

qint64 PieceStream::bytesToAsk(const Piece &piece, bool second) const
{
    if (!second)
        return piece.size();
    for (const Slot &other : m_slots)
        if (other.state == Slot::State::Asking && other.piece == piece.from)
            return piece.size() - other.fetch->bytes().size();
    return piece.size();
}

void PieceStream::startOn(Slot &slot, Piece &piece, bool second)
{
    qint64 from = piece.from;
    if (second) {
        // The bytes the first request brought so far are kept; the second asks for the rest.
        for (const Slot &other : m_slots)
            if (other.state == Slot::State::Asking && other.piece == piece.from)
                piece.bytes = other.fetch->bytes();
        from += piece.bytes.size();
        piece.helped = true;
    }
    piece.state = Piece::State::Running;
    ++piece.fetchers;
    slot.state = Slot::State::Asking;
    slot.piece = piece.from;
    slot.second = second;
    const qint64 rate = m_source.settings.maxBytesPerSecond / m_connections;
    QByteArray buffer;
    // A piece's memory still held by whoever read it is left to them.
    while (!m_spare.empty() && buffer.isNull()) {
        if (m_spare.back().isDetached())
            buffer = std::move(m_spare.back());
        m_spare.pop_back();
    }
    slot.fetch->start(from, piece.to, m_source.settings.maxBytesPerSecond > 0 ? std::max<qint64>(rate, 1) : 0,
                      std::move(buffer));
}

void PieceStream::onEnded(Slot &slot)
{
    if (m_stopped || slot.state != Slot::State::Asking)
        return;
    slot.state = Slot::State::Free;
    Piece *piece = find(slot.piece);
    if (!piece)
        return schedule();
    switch (slot.fetch->outcome()) {
    case PieceFetch::Outcome::Whole:
        slot.busyTries = 0;
        pieceWhole(slot, *piece);
        break;
    case PieceFetch::Outcome::Busy:
        pieceLost(slot, *piece);
        rest(slot);
        break;
    case PieceFetch::Outcome::Wrong:
        pieceLost(slot, *piece);
        if (++piece->tries >= kPieceTries)
            return stop();
        break;
    case PieceFetch::Outcome::Changed:
    case PieceFetch::Outcome::Running:
        return stop();
    }
    schedule();
    emit wake();
}

void PieceStream::pieceWhole(Slot &slot, Piece &piece)
{
    if (slot.second)
        piece.bytes += slot.fetch->takeBytes();
    else
        piece.bytes = slot.fetch->takeBytes();
    piece.state = Piece::State::Done;
    piece.fetchers = 0;
    // The other request for it, if any, is of no use now.
    for (Slot &other : m_slots)
        if (&other != &slot && other.state == Slot::State::Asking && other.piece == piece.from) {
            other.fetch->cancel();
            other.state = Slot::State::Free;
        }
}

void PieceStream::pieceLost(Slot &slot, Piece &piece)
{
    --piece.fetchers;
    if (slot.second)
        piece.bytes.clear();  // the first request goes on from the start
    if (piece.fetchers > 0)
        return;
    piece.state = Piece::State::Waiting;
    piece.bytes.clear();
    piece.helped = false;
}

void PieceStream::rest(Slot &slot)
{
    if (++slot.busyTries > kBusyTries) {
        slot.state = Slot::State::Retired;
        return;
    }
    slot.state = Slot::State::Resting;
    const int asked = slot.fetch->retryAfterMs();
    slot.rest->start(asked >= 0 ? std::max(asked, 1000) : BackOffMs(slot.busyTries - 1));
}

PieceStream::Piece *PieceStream::find(qint64 from)
{
    for (Piece &p : m_pieces)
        if (p.from == from)
            return &p;
    return nullptr;
}

bool PieceStream::allRetired() const
{
    return std::all_of(m_slots.begin(), m_slots.end(),
                       [](const Slot &s) { return s.state == Slot::State::Retired; });
}

int PieceStream::running() const
{
    return int(std::count_if(m_slots.begin(), m_slots.end(),
                             [](const Slot &s) { return s.state == Slot::State::Asking; }));
}

qint64 PieceStream::readyBytes() const
{
    qint64 ready = 0;
    for (const Piece &p : m_pieces) {
        if (p.state != Piece::State::Done)
            break;
        ready += p.size() - p.taken;
    }
    return ready;
}

SharedView PieceStream::peekShared(qint64 size) const
{
    if (m_pieces.empty() || m_pieces.front().state != Piece::State::Done)
        return {};
    const Piece &p = m_pieces.front();
    const qint64 n = std::min({size, p.size() - p.taken, BodyBuffer::kMaxPeek});
    return {QByteArrayView(p.bytes.constData() + p.taken, qsizetype(n)), p.bytes};
}

void PieceStream::consume(qint64 bytes)
{
    while (bytes > 0 && !m_pieces.empty() && m_pieces.front().state == Piece::State::Done) {
        Piece &p = m_pieces.front();
        const qint64 n = std::min(bytes, p.size() - p.taken);
        p.taken += n;
        bytes -= n;
        if (p.taken == p.size()) {
            if (qsizetype(m_spare.size()) < m_connections)
                m_spare.push_back(std::move(p.bytes));
            m_pieces.pop_front();
        }
    }
    schedule();
}

bool PieceStream::ended() const
{
    // What is still held can be read; nothing more will come.
    return (m_stopped || m_next >= m_source.total)
        && std::all_of(m_pieces.begin(), m_pieces.end(), [](const Piece &p) { return p.state == Piece::State::Done; });
}

} // namespace velmora::net
