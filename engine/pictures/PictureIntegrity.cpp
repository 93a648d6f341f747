// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "engine/pictures/PictureIntegrity.h"

#include <QIODevice>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace {

// Buffered forward reading; every read says whether the bytes were there.
class ByteReader {
public:
    explicit ByteReader(QIODevice& device) : m_device(device), m_buf(64 * 1024) {}

    bool get(std::uint8_t& byte) {
        if (m_pos == m_len && !refill()) return false;
        byte = static_cast<std::uint8_t>(m_buf[m_pos++]);
        ++m_consumed;
        return true;
    }

    bool skip(std::int64_t count) {
        while (count > 0) {
            if (m_pos == m_len && !refill()) return false;
            const std::int64_t step = std::min<std::int64_t>(count, m_len - m_pos);
            m_pos += step;
            m_consumed += step;
            count -= step;
        }
        return true;
    }

    bool u16be(std::uint32_t& value) {
        std::uint8_t hi, lo;
        if (!get(hi) || !get(lo)) return false;
        value = (std::uint32_t(hi) << 8) | lo;
        return true;
    }

    bool le(int bytes, std::uint32_t& value) {
        value = 0;
        for (int i = 0; i < bytes; ++i) {
            std::uint8_t b;
            if (!get(b)) return false;
            value |= std::uint32_t(b) << (8 * i);
        }
        return true;
    }

    std::int64_t consumed() const { return m_consumed; }

private:
    bool refill() {
        const qint64 got = m_device.read(m_buf.data(), qint64(m_buf.size()));
        if (got <= 0) return false;
        m_pos = 0;
        m_len = got;
        return true;
    }

    QIODevice& m_device;
    std::vector<char> m_buf;
    std::int64_t m_pos = 0;
    std::int64_t m_len = 0;
    std::int64_t m_consumed = 0;
};

// Complete when an end-of-image marker follows the start-of-image. Segment
// payloads are skipped by their length, so an embedded thumbnail's end marker
// does not count; inside entropy-coded data only a real marker stops the scan.
bool jpegComplete(ByteReader& in) {
    std::uint8_t a, b;
    if (!in.get(a) || !in.get(b) || a != 0xFF || b != 0xD8) return false;
    for (;;) {
        std::uint8_t marker;
        if (!in.get(marker)) return false;
        if (marker != 0xFF) continue; // entropy-coded data or stray bytes
        do {
            if (!in.get(marker)) return false;
        } while (marker == 0xFF);
        if (marker == 0x00 || (marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) continue;
        if (marker == 0xD9) return true;
        std::uint32_t length;
        if (!in.u16be(length) || length < 2 || !in.skip(length - 2)) return false;
    }
}

bool gifSubBlocks(ByteReader& in) {
    for (;;) {
        std::uint8_t size;
        if (!in.get(size)) return false;
        if (size == 0) return true;
        if (!in.skip(size)) return false;
    }
}

// Complete when the first image's data blocks end with their terminator:
// that image is the one shown.
bool gifComplete(ByteReader& in) {
    std::uint8_t flags;
    if (!in.skip(10) || !in.get(flags) || !in.skip(2)) return false;
    if ((flags & 0x80) && !in.skip(3 << ((flags & 7) + 1))) return false;
    for (;;) {
        std::uint8_t block;
        if (!in.get(block)) return false;
        if (block == 0x21) { // extension: label, then sub-blocks
            if (!in.skip(1) || !gifSubBlocks(in)) return false;
        } else if (block == 0x2C) {
            if (!in.skip(8) || !in.get(flags)) return false;
            if ((flags & 0x80) && !in.skip(3 << ((flags & 7) + 1))) return false;
            return in.skip(1) && gifSubBlocks(in); // code size, then the data
        } else {
            return false; // trailer before any image, or garbage
        }
    }
}

// Run-length data is complete when its end-of-bitmap code is reached.
bool bmpRleComplete(ByteReader& in, bool fourBit) {
    for (;;) {
        std::uint8_t count, value;
        if (!in.get(count) || !in.get(value)) return false;
        if (count != 0) continue; // a run
        if (value == 1) return true;
        if (value == 0) continue; // end of line
        if (value == 2) {         // delta
            if (!in.skip(2)) return false;
            continue;
        }
        const std::int64_t bytes = fourBit ? (value + 1) / 2 : value;
        if (!in.skip(bytes + (bytes & 1))) return false; // absolute run, word aligned
    }
}

bool bmpComplete(ByteReader& in, std::int64_t fileSize) {
    std::uint32_t offBits, headerSize;
    if (!in.skip(10) || !in.le(4, offBits) || !in.le(4, headerSize)) return false;
    std::int64_t width, height;
    std::uint32_t bitCount, compression = 0, v;
    if (headerSize == 12) { // OS/2 core header
        if (!in.le(2, v)) return false;
        width = v;
        if (!in.le(2, v)) return false;
        height = v;
        if (!in.skip(2) || !in.le(2, bitCount)) return false;
    } else {
        if (!in.le(4, v)) return false;
        width = std::int32_t(v);
        if (!in.le(4, v)) return false;
        height = std::int32_t(v);
        if (!in.skip(2) || !in.le(2, bitCount) || !in.le(4, compression)) return false;
    }
    switch (compression) {
    case 0: // plain rows
    case 3: // bit fields
    case 6: {
        const std::int64_t stride = (std::abs(width) * bitCount + 31) / 32 * 4;
        return fileSize >= std::int64_t(offBits) + stride * std::abs(height);
    }
    case 1:
    case 2:
        if (offBits < in.consumed() || !in.skip(offBits - in.consumed())) return false;
        return bmpRleComplete(in, compression == 2);
    default:
        return true; // not read by Qt at all
    }
}

} // namespace

bool isPictureComplete(QIODevice& device, const QByteArray& format) {
    ByteReader in(device);
    if (format == "jpeg") return jpegComplete(in);
    if (format == "gif") return gifComplete(in);
    if (format == "bmp") return bmpComplete(in, device.size() - device.pos());
    return true;
}
