// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>

// The file operations a recording makes, one file at a time and from one
// thread, so that a slow, failing or crashing disk can be put behind them.
// Each returns false on failure, and error() then says why.
class DiskFile {
public:
    virtual ~DiskFile() = default;
    virtual bool writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) = 0;
    // What was written has reached the disk itself, not only its cache.
    virtual bool sync() = 0;
    virtual bool truncate(std::uint64_t size) = 0;
    virtual bool close() = 0;
    virtual QString error() const = 0;
};

// Creates the file at path, replacing one of that name; nothing, with error
// set, when it cannot be made.
using DiskFileOpener =
    std::function<std::unique_ptr<DiskFile>(const QString& path, QString& error)>;
