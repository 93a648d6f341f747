// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

#include <QString>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The text encodings of INI values. Parsers take the value text already
// trimmed and give nothing when it does not convert.

// Decimal with an optional sign; text longer than 2 characters starting with
// "0x" or "0X" is hexadecimal up to 0xFFFFFFFF (read as the 32-bit pattern).
std::optional<std::int32_t> parseIniInteger(std::string_view text);

// A decimal number with a point (a comma is taken when it is the only
// separator, as files written under other number formats have it); values
// that are not finite do not convert.
std::optional<double> parseIniFloat(std::string_view text);

// The shortest text showing value to 15 significant digits, with a point
// whatever the locale: 0.785398163397448, 1, 1e+20.
std::string formatIniFloat(double value);

// At most 2047 characters of the UTF-8 text, never splitting a surrogate pair.
QString decodeIniText(std::string_view text);

inline constexpr int kMaxIniTextLength = 2047;
