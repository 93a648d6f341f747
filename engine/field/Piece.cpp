// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "engine/field/Piece.h"

#include "engine/field/Random.h"
#include "engine/midi/TMidiPort.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

namespace {
constexpr double kHalfPi = 1.5707963267948966;
constexpr double kQuarterPi = 0.7853981633974483;

// A firing's intensity is bounded so that pitch, velocity and length stay in
// 32 bits whatever rate a hand-edited rising speed produces.
constexpr std::int64_t kMaxIntensity = std::int64_t{1} << 28;

// Truncation toward zero into 32 bits, saturating at the limits (NaN gives 0).
std::int32_t truncSaturate(double v) {
    if (!(v == v)) return 0;
    if (v >= 2147483647.0) return std::numeric_limits<std::int32_t>::max();
    if (v <= -2147483648.0) return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(v);
}

// The byte of one colour channel, the remainder keeping the dividend's sign.
std::int64_t channelOf(TColor colour, int k) {
    return (colour >> (8 * k)) % 256;
}
} // namespace

Piece::Piece(ShapeOwner& window) : owner(&window), body(&window.createShape()) {
    body->setBounds(Xpos, Ypos, kBodySize, kBodySize);
    body->setPen(prm.NormalPen);
    body->setBrush(prm.NormalBrush);
    for (int i = 0; i < 4; ++i) {
        Shape& s = window.createShape();
        s.setBounds(Xpos, Ypos, kSatelliteSize, kSatelliteSize);
        s.setPen(prm.NormalPen);
        s.setBrush(prm.NormalBrush);
        satellites[i] = &s;
        level[i] = 0.0;
        rate[i] = 0.0;
        fired[i] = false;
    }
}

void Piece::SetPosition(std::int32_t x, std::int32_t y, double angle) {
    Xpos = x;
    Ypos = y;
    Angle = angle;
    body->setPlace(Xpos, Ypos);
    // An angle that is not a number places the satellites as if unturned; the
    // stored angle stays as given.
    const double turn = std::isfinite(Angle) ? Angle : 0.0;
    const double cx = static_cast<double>(Xpos) + 11;
    const double cy = static_cast<double>(Ypos) + 11;
    for (int i = 0; i < 4; ++i) {
        const double theta = i * kHalfPi + turn + kQuarterPi;
        satellites[i]->setPlace(truncSaturate(20 * std::cos(theta) + cx - 3),
                                truncSaturate(20 * std::sin(theta) + cy - 3));
    }
}

void Piece::Update() {
    if (!Enabled) {
        for (int i = 0; i < 4; ++i) {
            rate[i] = 0.0;
            level[i] = 0.0;
            satellites[i]->setBrush(prm.ZzzBrush);
        }
        body->setBrush(prm.ZzzBrush);
        return;
    }

    int firedCount = 0;
    int hotCount = 0;
    std::int64_t intensity = 0;
    for (int i = 0; i < 4; ++i) {
        level[i] = level[i] + rate[i];
        if (level[i] > 127) {
            const double share = std::floor(rate[i] / prm.ActiveLv);
            if (share >= 1)
                intensity += share >= double(kMaxIntensity) ? kMaxIntensity
                                                            : static_cast<std::int64_t>(share);
            ++hotCount;
        }
        if (level[i] > 255) {
            level[i] = 0.0;
            rate[i] = 0.0;
            fired[i] = true;
            ++firedCount;
        }
        satellites[i]->setBrush(BlendColor(level[i]));
        satellites[i]->setPen(prm.NormalPen);
    }
    intensity = std::min(intensity, kMaxIntensity);
    body->setBrush(BlendColor(level[0] + level[1] + level[2] + level[3]));
    body->setPen(prm.NormalPen);

    if (firedCount == 0) {
        if (noteTicks > 0) {
            --noteTicks;
            if (noteTicks == 0 && midiPort) midiPort->NoteOn(channel, pitch, 0);
        }
        return;
    }

    if (noteTicks > 0 && midiPort) midiPort->NoteOn(channel, pitch, 0);
    channel = hotCount - 1;
    const std::uint32_t r1 = Random();
    const int sign = (r1 % 2 == 0) ? -1 : 1;
    const std::uint32_t r2 = Random();
    const int bump = (r2 % 3 == 0) ? 1 : 0;
    const std::int64_t wide = 48 + sign * 4 * intensity + bump;
    pitch = static_cast<std::int32_t>(std::clamp<std::int64_t>(wide, 36, 108));
    velocity = static_cast<std::int32_t>(std::min<std::int64_t>(80 + 8 * intensity, 127));
    noteTicks = static_cast<std::int32_t>(2 * intensity + 10);

    // Pan follows the body across the window; a body outside it pans fully to
    // that side instead of wrapping around to the other.
    const int width = std::max(owner->clientWidth(), 1);
    const std::int64_t pan = (std::int64_t{Xpos} * 127) / width;
    if (midiPort) {
        midiPort->SetPan(channel, static_cast<int>(std::clamp<std::int64_t>(pan, 0, 127)));
        midiPort->NoteOn(channel, pitch, velocity);
    }
    if (prm.Debug) body->setHint(QString::number(pitch));
}

TColor Piece::BlendColor(double lv) const {
    // Levels are never negative; the lower bound only keeps a damaged value
    // from overflowing the product below.
    std::int64_t b;
    if (!(lv == lv))
        b = 0;
    else if (lv >= 255)
        b = 255;
    else if (lv <= -8388608.0)
        b = -8388608;
    else
        b = static_cast<std::int64_t>(std::floor(lv));

    std::int64_t result = 0;
    for (int k = 0; k < 3; ++k) {
        const std::int64_t n = channelOf(prm.NormalBrush, k);
        const std::int64_t a = channelOf(prm.ActiveBrush, k);
        const std::int64_t c = n + ((a - n) * b) / 255;
        result += c << (8 * k);
    }
    return static_cast<TColor>(static_cast<std::uint32_t>(result));
}

void Piece::AddRates(std::int32_t mask, double x) {
    switch (mask) {
    case 1:
    case 2:
    case 4:
    case 8:
        rate[std::countr_zero(static_cast<unsigned>(mask))] += 2 * x;
        break;
    case 3:
    case 5:
    case 6:
    case 9:
    case 10:
    case 12:
        for (int i = 0; i < 4; ++i)
            if (mask & (1 << i)) rate[i] += x;
        break;
    default:
        break;
    }
}
