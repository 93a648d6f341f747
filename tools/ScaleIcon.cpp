// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

// Build-time helper: writes the program's icon at one of the smaller sizes
// that desktop icon themes look for.
// Usage: marulet_scale_icon <source.png> <destination.png> <size>

#include <QByteArray>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QString>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s <source.png> <destination.png> <size>\n", argv[0]);
        return 2;
    }
    const QString source = QString::fromLocal8Bit(argv[1]);
    const QString destination = QString::fromLocal8Bit(argv[2]);
    bool isNumber = false;
    const int size = QByteArray(argv[3]).toInt(&isNumber);
    if (!isNumber || size < 1 || size > 1024) {
        std::fprintf(stderr, "icon size %s is not a number from 1 to 1024\n", argv[3]);
        return 2;
    }
    QImage image(source);
    if (image.isNull()) {
        std::fprintf(stderr, "%s could not be read as a picture\n", argv[1]);
        return 1;
    }
    // Smooth scaling averages the source pixels, which keeps small sizes legible.
    const QImage scaled = image.convertToFormat(QImage::Format_ARGB32)
                              .scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    QDir().mkpath(QFileInfo(destination).absolutePath());
    if (!scaled.save(destination, "PNG")) {
        std::fprintf(stderr, "%s could not be written\n", argv[2]);
        return 1;
    }
    return 0;
}
