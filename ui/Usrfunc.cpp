#include "ui/Usrfunc.h"

#include "app/HomeFolder.h"
#include "ui/PictureIntegrity.h"
#include <QCoreApplication>

#include <QFile>
#include <QFileInfo>
#include <QImageReader>

#include <algorithm>
#include <utility>

namespace {

// Qt's own default; a larger picture is refused before anything is allocated.
constexpr int kAllocationLimitMb = 128;

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
    QImage picture;
    {
        QImageReader reader(file, format);
        // The extension alone picks the reader: never look at the content.
        reader.setDecideFormatFromContent(false);
        reader.setAutoDetectImageFormat(false);
        const int limit = reader.allocationLimit();
        if (limit <= 0 || limit > kAllocationLimitMb) reader.setAllocationLimit(kAllocationLimitMb);
        const QSize claimed = reader.size(); // from the header alone
        if (!reader.read(&picture)) {
            const qint64 bytes = qint64(claimed.width()) * claimed.height() * 4;
            if (claimed.isValid() && bytes > qint64(reader.allocationLimit()) * 1024 * 1024)
                fail(file, format,
                     QCoreApplication::translate("LoadPictureFile",
                                                 "%1 (the picture claims %2 x %3 pixels, more "
                                                 "than the %4 MB a picture may take)")
                         .arg(reader.errorString())
                         .arg(claimed.width())
                         .arg(claimed.height())
                         .arg(reader.allocationLimit()));
            fail(file, format, reader.errorString());
        }
    }
    QFile data(file);
    if (!data.open(QIODevice::ReadOnly)) fail(file, format, data.errorString());
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
    if (!path.startsWith(QLatin1Char('/'))) path = homeFolder + path;
    return QFileInfo(path).isFile(); // follows links; folders and devices are not files
}

bool LoadPictureFile(QImage* destination, QString path) {
    if (!destination || path.isEmpty()) return false;
    return LoadPictureFile(destination, std::move(path), HomeFolder());
}

bool LoadPictureFile(QImage* destination, QString path, const QString& homeFolder) {
    if (!destination) return false;
    if (!ResolveFilePath(path, homeFolder)) return false;
    const QByteArray format = readerFor(upperExtension(path));
    if (!format.isEmpty()) *destination = decode(path, format);
    return !destination->isNull();
}
