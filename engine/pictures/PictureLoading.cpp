// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "engine/pictures/PictureLoading.h"

#include "engine/pictures/PictureIntegrity.h"
#include "engine/settings/HomeFolder.h"
#include "engine/settings/RegularFile.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>

#include <algorithm>
#include <cstring>
#include <unistd.h>
#include <utility>

namespace {

// A camera's photo is 20 to 60 megapixels; a header claiming more than this
// is refused before anything is allocated (a decompression bomb).
constexpr qint64 kMaxPixels = 100'000'000;
// What the largest picture may take decoded: 8 bytes a pixel for 16-bit PNG.
constexpr int kAllocationLimitMb = int(kMaxPixels * 8 / (1024 * 1024)) + 1;

// Paths carried over from the other platform: a drive part ("C:\x", "c:x")
// or a network share ("\\server\share").
bool hasDrivePart(const QString& path) {
    return (path.size() >= 2 && path[1] == QLatin1Char(':')) ||
           path.startsWith(QStringLiteral("\\\\"));
}

// The text from the last dot on, upper-cased; empty when that dot is not in
// the last path element.
QString upperExtension(const QString& path) {
    const qsizetype lastSeparator =
        std::max({path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')),
                  path.lastIndexOf(QLatin1Char(':'))});
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    if (dot < 0 || dot < lastSeparator) return {};
    return path.mid(dot).toUpper();
}

// The Qt reader for an extension; empty for extensions that are not read.
QByteArray readerFor(const QString& extension) {
    if (extension == QLatin1String(".BMP")) return "bmp";
    if (extension == QLatin1String(".JPG") || extension == QLatin1String(".JPE") ||
        extension == QLatin1String(".JPEG"))
        return "jpeg";
    if (extension == QLatin1String(".PNG")) return "png";
    if (extension == QLatin1String(".GIF")) return "gif";
    return {};
}

[[noreturn]] void fail(const QString& file, const QByteArray& format, const QString& why) {
    throw PictureError(QCoreApplication::translate("LoadPictureFile",
                                                   "Cannot read the picture file \"%1\" as %2: %3")
                           .arg(file, QString::fromLatin1(format.toUpper()), why)
                           .toStdString());
}

QImage decode(const QString& file, const QByteArray& format) {
    // Opened only as a regular file: a pipe would block, a device never end.
    const RegularFile opened = openRegularFile(file);
    if (opened.fd < 0)
        fail(file, format,
             opened.reason.isEmpty() ? QString::fromLocal8Bit(std::strerror(opened.error))
                                     : opened.reason);
    QFile data;
    if (!data.open(opened.fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(opened.fd);
        fail(file, format, data.errorString());
    }
    QImage picture;
    {
        QImageReader reader(&data, format);
        // The extension alone picks the reader: never look at the content.
        reader.setDecideFormatFromContent(false);
        reader.setAutoDetectImageFormat(false);
        if (QImageReader::allocationLimit() < kAllocationLimitMb)
            QImageReader::setAllocationLimit(kAllocationLimitMb);
        const QSize claimed = reader.size(); // from the header alone
        if (claimed.isValid() && qint64(claimed.width()) * claimed.height() > kMaxPixels)
            fail(file, format,
                 QCoreApplication::translate("Usrfunc",
                                             "the picture claims %1 x %2 pixels, more than the "
                                             "%3 megapixels a background picture may have")
                     .arg(claimed.width())
                     .arg(claimed.height())
                     .arg(kMaxPixels / 1'000'000));
        if (!reader.read(&picture)) fail(file, format, reader.errorString());
    }
    if (!data.seek(0)) fail(file, format, data.errorString());
    if (!isPictureComplete(data, format))
        fail(file, format,
             QCoreApplication::translate("LoadPictureFile",
                                         "the file ends before the picture does"));
    return picture;
}

} // namespace

bool ResolveFilePath(QString& path) {
    if (path.isEmpty()) return false;
    return ResolveFilePath(path, HomeFolder());
}

bool ResolveFilePath(QString& path, const QString& homeFolder) {
    if (path.isEmpty()) return false;
    // A drive or network path names nothing on this system; looking it up
    // would only find a file of that odd name in the current folder.
    if (hasDrivePart(path)) return false;
    if (path.startsWith(QLatin1Char('/'))) return QFileInfo(path).isFile();
    const QString written = homeFolder + path;
    // A path written on the other platform (bg\sky.png) names its
    // folders with backslashes; tried with slashes when it names no file.
    if (!QFileInfo(written).isFile() && path.contains(QLatin1Char('\\'))) {
        QString slashed = path;
        slashed.replace(QLatin1Char('\\'), QLatin1Char('/'));
        if (QFileInfo(homeFolder + slashed).isFile()) {
            path = homeFolder + slashed;
            return true;
        }
    }
    path = written;
    return QFileInfo(path).isFile(); // follows links; folders and devices are not files
}

QString PassedOverPicture(const QString& path) {
    const QString reason = notRegularReason(path);
    if (reason.isEmpty()) return {};
    return QCoreApplication::translate("Usrfunc", "The picture file \"%1\" was passed over: %2.")
        .arg(path, reason);
}

bool LoadPictureFile(QImage* destination, QString path) {
    if (!destination || path.isEmpty()) return false;
    return LoadPictureFile(destination, std::move(path), HomeFolder());
}

bool LoadPictureFile(QImage* destination, QString path, const QString& homeFolder) {
    if (!destination) return false;
    if (!ResolveFilePath(path, homeFolder)) {
        // Something that is there but no file (a pipe, a device) is named, not ignored.
        const QString passed = PassedOverPicture(path);
        if (!passed.isEmpty()) throw PictureError(passed.toStdString());
        return false;
    }
    const QByteArray format = readerFor(upperExtension(path));
    if (!format.isEmpty()) *destination = decode(path, format);
    return !destination->isNull();
}
