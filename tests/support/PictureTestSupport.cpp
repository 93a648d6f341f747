// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "PictureTestSupport.h"

#include <QBuffer>
#include <QFile>

#include <cstdint>

namespace {

void putLe16(QByteArray& out, int value) {
    out.append(char(value & 0xFF));
    out.append(char((value >> 8) & 0xFF));
}

void setLe32(QByteArray& data, int at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        data[at + i] = char((value >> (8 * i)) & 0xFF);
}

void setBe16(QByteArray& data, qsizetype at, std::uint32_t value) {
    data[at] = char((value >> 8) & 0xFF);
    data[at + 1] = char(value & 0xFF);
}

void setBe32(QByteArray& data, qsizetype at, std::uint32_t value) {
    setBe16(data, at, value >> 16);
    setBe16(data, at + 2, value & 0xFFFF);
}

std::uint32_t crc32(const char* bytes, qsizetype size) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (qsizetype i = 0; i < size; ++i) {
        crc ^= std::uint8_t(bytes[i]);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

} // namespace

QImage testPattern(int width, int height) {
    QImage picture(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            picture.setPixel(x, y, qRgb(x * 4, y * 5, (x ^ y) * 3));
    return picture;
}

QByteArray encodePicture(const QImage& picture, const char* format) {
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, format);
    return data;
}

QByteArray makeGif(int width, int height, int pixels) {
    QByteArray out("GIF89a");
    putLe16(out, width);
    putLe16(out, height);
    out.append(char(0x91)); // a global table of 4 colours
    out.append(2, char(0));
    out.append(QByteArray::fromHex("000000ff000000ff000000ff"));
    out.append(char(0x2C));
    putLe16(out, 0);
    putLe16(out, 0);
    putLe16(out, width);
    putLe16(out, height);
    out.append(char(0));
    out.append(char(2)); // minimum code size: codes are 3 bits wide

    // Every pixel a literal code, with a clear code after every two so the
    // code table never grows past 3 bits.
    QByteArray bits;
    std::uint32_t pending = 0;
    int pendingBits = 0;
    const auto put = [&](std::uint32_t code) {
        pending |= code << pendingBits;
        pendingBits += 3;
        while (pendingBits >= 8) {
            bits.append(char(pending & 0xFF));
            pending >>= 8;
            pendingBits -= 8;
        }
    };
    const std::int64_t count = pixels < 0 ? std::int64_t(width) * height : pixels;
    put(4);
    for (std::int64_t i = 0; i < count; ++i) {
        put(std::uint32_t((i % width + i / width) % 4));
        if (i % 2 == 1) put(4);
    }
    put(5);
    if (pendingBits > 0) bits.append(char(pending & 0xFF));
    for (qsizetype at = 0; at < bits.size(); at += 255) {
        const qsizetype length = std::min<qsizetype>(255, bits.size() - at);
        out.append(char(length));
        out.append(bits.mid(at, length));
    }
    out.append(char(0));
    out.append(char(0x3B));
    return out;
}

QByteArray withClaimedSize(const QByteArray& file, const char* format, int width, int height) {
    QByteArray data = file;
    const QByteArray kind = QByteArray(format).toUpper();
    if (kind == "BMP") {
        setLe32(data, 18, std::uint32_t(width));
        setLe32(data, 22, std::uint32_t(height));
    } else if (kind == "PNG") {
        setBe32(data, 16, std::uint32_t(width)); // IHDR: length, type, width, height ...
        setBe32(data, 20, std::uint32_t(height));
        setBe32(data, 29, crc32(data.constData() + 12, 17));
    } else if (kind == "GIF") {
        for (int at : {6, 30}) { // the screen, then the first image after 4 colours
            data[at] = char(width & 0xFF);
            data[at + 1] = char((width >> 8) & 0xFF);
            data[at + 2] = char(height & 0xFF);
            data[at + 3] = char((height >> 8) & 0xFF);
        }
    } else if (kind == "JPEG") {
        // Walk the segments to the frame header: height, then width.
        qsizetype at = 2;
        while (at + 9 < data.size() && std::uint8_t(data[at]) == 0xFF) {
            const std::uint8_t marker = std::uint8_t(data[at + 1]);
            if (marker >= 0xC0 && marker <= 0xC2) {
                setBe16(data, at + 5, std::uint32_t(height));
                setBe16(data, at + 7, std::uint32_t(width));
                break;
            }
            at += 2 + ((std::uint8_t(data[at + 2]) << 8) | std::uint8_t(data[at + 3]));
        }
    }
    return data;
}
