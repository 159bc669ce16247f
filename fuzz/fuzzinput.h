// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Small helpers shared by the fuzz targets: cutting one input into the
// arguments of a function, and stopping loudly when a property fails.
#include <QByteArray>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace fuzz {

// Stops the run with a message: libFuzzer keeps the input that did it.
#define FUZZ_CHECK(cond)                                                                  \
    do {                                                                                  \
        if (!(cond)) {                                                                    \
            std::fprintf(stderr, "property failed: %s (%s:%d)\n", #cond, __FILE__, __LINE__); \
            std::abort();                                                                 \
        }                                                                                 \
    } while (0)

class Input
{
public:
    Input(const uint8_t *data, size_t size) : m_data(data), m_size(size) {}

    // A fixed-size value from the front (zero bytes when the input runs out).
    template <typename T> T take()
    {
        T value{};
        const size_t n = m_size < sizeof(T) ? m_size : sizeof(T);
        std::memcpy(&value, m_data, n);
        m_data += n;
        m_size -= n;
        return value;
    }

    // The bytes up to the next NUL (or the end), without the NUL.
    QByteArray field()
    {
        const void *nul = std::memchr(m_data, 0, m_size);
        const size_t n = nul ? size_t(static_cast<const uint8_t *>(nul) - m_data) : m_size;
        QByteArray out(reinterpret_cast<const char *>(m_data), qsizetype(n));
        const size_t used = nul ? n + 1 : n;
        m_data += used;
        m_size -= used;
        return out;
    }

    QByteArray rest()
    {
        QByteArray out(reinterpret_cast<const char *>(m_data), qsizetype(m_size));
        m_data += m_size;
        m_size = 0;
        return out;
    }

    size_t left() const { return m_size; }

private:
    const uint8_t *m_data;
    size_t m_size;
};

} // namespace fuzz
