// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

#include <string_view>
#include <sys/types.h>
#include <unistd.h>

using WriteCall = ssize_t (*)(int fd, const void* data, size_t size);

// Writes all of bytes to fd, going on after short writes and interrupted
// calls. False when the system refuses, with errno saying why; a write that
// makes no progress (returns 0) ends it too, as EIO, rather than spinning.
bool writeAll(int fd, std::string_view bytes, WriteCall write = &::write);
