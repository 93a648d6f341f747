// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

#include <cstdio>
#include <optional>

// The program's only options, --help and --version, answered on the terminal
// before anything else starts: no window, no settings file, no lock.
// Returns the exit code when there were arguments (0 for an option, 2 with
// the usage on err for anything else), nothing when the program should start.
std::optional<int> answerCommandLine(int argc, const char* const* argv, std::FILE* out,
                                     std::FILE* err);
