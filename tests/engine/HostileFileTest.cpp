// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

// Files that are not what they seem: pipes, devices, huge or foreign files,
// and saves that fail for a reason the user should hear.
#include "support/FieldTestSupport.h"
#include "support/PictureTestSupport.h"
#include "support/TestFiles.h"

#include "engine/field/Pieces.h"
#include "engine/midi/RecordingMidiService.h"
#include "engine/midi/TMidiPort.h"
#include "engine/pictures/PictureLoading.h"
#include "engine/settings/IniFile.h"
#include "engine/settings/LayoutFile.h"
#include "engine/settings/SettingsFile.h"
#include "engine/settings/SettingsRecord.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <functional>
#include <future>
#include <malloc.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Runs work on another thread. A call still blocked after five seconds (in
// open() on a pipe) is set free by opening the pipe's other end, and counts
// as a failure.
bool finishesWithoutWaitingOn(const QString& fifo, const std::function<void()>& work) {
    auto done = std::async(std::launch::async, work);
    if (done.wait_for(std::chrono::seconds(5)) == std::future_status::ready) {
        done.get();
        return true;
    }
    const int fd = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK);
    if (fd >= 0) ::close(fd);
    done.wait();
    return false;
}

bool makeFifo(const QString& path) {
    return ::mkfifo(QFile::encodeName(path).constData(), 0644) == 0;
}

bool makeSparse(const QString& path, qint64 size) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.resize(size);
}

bool isFifo(const QString& path) {
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISFIFO(st.st_mode);
}

class HostileFiles : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
};

// --- the INI accessor ------------------------------------------------------

TEST_F(HostileFiles, PipesDevicesAndHugeFilesReadAsEmptyAtOnceAndSayWhy) {
    const QString fifo = path("fifo.INI");
    ASSERT_TRUE(makeFifo(fifo));
    const QString zero = path("zero.INI");
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), zero));
    const QString huge = path("huge.INI");
    ASSERT_TRUE(makeSparse(huge, 16 * 1024 * 1024 + 1));

    const struct {
        QString file;
        const char* says;
    } cases[] = {{fifo, "named pipe"}, {zero, "device"}, {huge, "16 MB"}};
    for (const auto& c : cases) {
        QString error;
        int reach = 0;
        EXPECT_TRUE(finishesWithoutWaitingOn(fifo, [&] {
            IniFile ini(c.file);
            error = ini.readError();
            reach = ini.ReadInteger(QStringLiteral("Param"), QStringLiteral("Reach"), 150);
        })) << qPrintable(c.file);
        EXPECT_TRUE(error.contains(QLatin1String(c.says))) << qPrintable(error);
        EXPECT_EQ(reach, 150);
    }

    // A save puts a regular file in the link's place; /dev/zero is untouched.
    {
        IniFile ini(zero);
        ini.WriteInteger(QStringLiteral("Param"), QStringLiteral("Reach"), 222);
        ASSERT_TRUE(ini.flush()) << qPrintable(ini.lastError());
    }
    EXPECT_TRUE(QFileInfo(zero).isFile());
    EXPECT_FALSE(QFileInfo(zero).isSymLink());
    EXPECT_EQ(readFile(zero), QByteArray("[Param]\nReach=222\n"));

    // A file at the limit is read; a device node itself is never replaced.
    IniFile null(QStringLiteral("/dev/null"));
    null.WriteInteger(QStringLiteral("S"), QStringLiteral("k"), 1);
    EXPECT_FALSE(null.flush());
    EXPECT_TRUE(null.lastError().contains(QStringLiteral("device")))
        << qPrintable(null.lastError());
    EXPECT_TRUE(QFileInfo(QStringLiteral("/dev/null")).exists());
}

#if !defined(__SANITIZE_ADDRESS__)
TEST_F(HostileFiles, AFileOfManySectionsTakesMemoryInProportionAndGivesItBack) {
    // Two megabytes of the smallest sections there are.
    QByteArray text;
    for (int i = 0; text.size() < 2 * 1024 * 1024; ++i)
        text += "[" + QByteArray::number(i % 100) + "]\n";
    text += "[Last]\nKey=1\n";
    const QString file = path("many.INI");
    ASSERT_TRUE(writeFile(file, text));

    const auto heap = [] { return qint64(mallinfo2().uordblks); };
    const qint64 before = heap();
    {
        IniFile ini(file);
        const qint64 held = heap() - before;
        EXPECT_LT(held, 5 * text.size()) << held << " bytes for a file of " << text.size();
        EXPECT_EQ(ini.ReadInteger(QStringLiteral("last"), QStringLiteral("key"), 0), 1);
        EXPECT_TRUE(ini.SectionExists(QStringLiteral("99")));
        ini.WriteInteger(QStringLiteral("Last"), QStringLiteral("Key"), 2);
        ini.WriteInteger(QStringLiteral("7"), QStringLiteral("New"), 3);
    }
    EXPECT_LT(heap() - before, 64 * 1024) << "memory kept after the file was closed";
    QByteArray expected = text;
    expected.replace("[Last]\nKey=1\n", "[Last]\nKey=2\n");
    expected.replace(expected.indexOf("[7]\n") + 4, 0, "New=3\n");
    EXPECT_EQ(readFile(file), expected);
}
#endif

// Runs work in a child process with its own mount table, where a small
// file system can be mounted; the child's answer comes back as text.
// Empty when the system does not allow it.
QString inOwnMounts(const std::function<QString()>& work) {
    int answer[2];
    if (::pipe(answer) != 0) return {};
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(answer[0]);
        if (::unshare(CLONE_NEWNS) != 0 ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            ::_exit(77);
        const QByteArray text = work().toUtf8();
        if (::write(answer[1], text.constData(), size_t(text.size())) != text.size()) ::_exit(3);
        ::_exit(0);
    }
    ::close(answer[1]);
    QByteArray text;
    char buffer[512];
    for (ssize_t n; (n = ::read(answer[0], buffer, sizeof buffer)) > 0;)
        text.append(buffer, n);
    ::close(answer[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    return QString::fromUtf8(text);
}

TEST_F(HostileFiles, FailedSavesNameTheirRealCause) {
    const QString mountPoint = path("small");
    ASSERT_TRUE(QDir().mkpath(mountPoint));
    const QByteArray point = QFile::encodeName(mountPoint);
    const QString file = mountPoint + QStringLiteral("/marulet.INI");
    const auto save = [&] {
        IniFile ini(file);
        ini.WriteString(QStringLiteral("Design"), QStringLiteral("BgImage"), QString(3000, 'x'));
        return ini.flush() ? QStringLiteral("saved") : ini.lastError();
    };

    const QString readOnly = inOwnMounts([&] {
        if (::mount("tmpfs", point.constData(), "tmpfs", 0, "size=64k") != 0) return QString();
        writeFile(file, "[Design]\nBgImage=a\n");
        if (::mount(nullptr, point.constData(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) != 0)
            return QString();
        return save();
    });
    const QString full = inOwnMounts([&] {
        if (::mount("tmpfs", point.constData(), "tmpfs", 0, "size=16k") != 0) return QString();
        writeFile(file, "[Design]\nBgImage=a\n");
        QFile filler(mountPoint + QStringLiteral("/filler"));
        if (filler.open(QIODevice::WriteOnly)) {
            const QByteArray block(1024, 'f');
            while (filler.write(block) == block.size() && filler.flush()) {
            }
        }
        return save();
    });
    if (readOnly.isEmpty() || full.isEmpty())
        GTEST_SKIP() << "no private mounts here: the read-only and full disk cases are not run";
    EXPECT_TRUE(readOnly.contains(QStringLiteral("the file system is read-only")))
        << qPrintable(readOnly);
    EXPECT_FALSE(readOnly.contains(QStringLiteral("the file is read-only")));
    EXPECT_TRUE(full.contains(QStringLiteral("the disk is full"))) << qPrintable(full);
    EXPECT_TRUE(full.contains(file)) << qPrintable(full);
}

TEST_F(HostileFiles, AFolderWithoutPermissionIsNamedAsSuch) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs to become another user";
    const QString file = path("marulet.INI");
    ASSERT_TRUE(writeFile(file, "[Param]\nReach=1\n"));
    ASSERT_EQ(::chmod(QFile::encodeName(file).constData(), 0666), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
    int answer[2];
    ASSERT_EQ(::pipe(answer), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(answer[0]);
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(77);
        IniFile ini(file);
        ini.WriteInteger(QStringLiteral("Param"), QStringLiteral("Reach"), 2);
        const QByteArray text = ini.flush() ? QByteArray("saved") : ini.lastError().toUtf8();
        if (::write(answer[1], text.constData(), size_t(text.size())) != text.size()) ::_exit(3);
        ::_exit(0);
    }
    ::close(answer[1]);
    char buffer[1024];
    const ssize_t n = ::read(answer[0], buffer, sizeof buffer);
    ::close(answer[0]);
    ::waitpid(child, nullptr, 0);
    const QString error = QString::fromUtf8(buffer, n > 0 ? n : 0);
    EXPECT_TRUE(error.contains(QStringLiteral("no permission to write in its folder")))
        << qPrintable(error);
}

// --- settings and layout files ---------------------------------------------

TEST_F(HostileFiles, ASettingsFileThatIsAPipeGivesDefaultsSaysSoAndStaysUntilClose) {
    resetPrm();
    const QString settings = path("marulet.INI");
    ASSERT_TRUE(makeFifo(settings));
    RecordingMidiService service;
    SettingsReadResult result;
    bool keptWhileOpen = false;
    EXPECT_TRUE(finishesWithoutWaitingOn(settings, [&] {
        IniFile ini(settings);
        result = ReadSettings(ini, service, dir.path() + QLatin1Char('/'));
        keptWhileOpen = isFifo(settings);
    }));
    EXPECT_TRUE(result.settingsError.contains(settings)) << qPrintable(result.settingsError);
    EXPECT_TRUE(result.settingsError.contains(QStringLiteral("named pipe")));
    EXPECT_EQ(prm.Reach, 150);
    EXPECT_TRUE(keptWhileOpen) << "replaced before the user could read why";
    // Closing writes the settings in the pipe's place.
    EXPECT_TRUE(QFileInfo(settings).isFile());
    EXPECT_TRUE(readFile(settings).startsWith("[General]\nVersion="));
    midiPort.reset();
    resetPrm();
}

TEST_F(HostileFiles, APictureThatIsAPipeIsPassedOverWithAMessage) {
    resetPrm();
    const QString picture = path("bg.png");
    ASSERT_TRUE(makeFifo(picture));
    const QString settings = path("marulet.INI");
    ASSERT_TRUE(writeFile(settings, "[Design]\nBgImage=bg.png\nEnableBgImage=1\n"));
    RecordingMidiService service;
    SettingsReadResult result;
    EXPECT_TRUE(finishesWithoutWaitingOn(picture, [&] {
        IniFile ini(settings);
        result = ReadSettings(ini, service, dir.path() + QLatin1Char('/'));
    }));
    EXPECT_TRUE(result.pictureError.contains(QStringLiteral("named pipe")))
        << qPrintable(result.pictureError);
    EXPECT_TRUE(prm.BgImage.isEmpty());
    midiPort.reset();
    resetPrm();

    QImage image;
    EXPECT_TRUE(finishesWithoutWaitingOn(
        picture, [&] { EXPECT_THROW(LoadPictureFile(&image, picture), PictureError); }));
}

TEST_F(HostileFiles, AFileWithoutPieceSectionsIsNoLayoutAndChangesNothing) {
    FieldFixture field;
    for (int i = 0; i < kPieceCount; ++i)
        pieces[i]->SetPosition(7 + i, 9 + i, 1.0);
    const QString file = path("layout.DAT");
    const QByteArray noLayouts[] = {"", "[General]\nVersion=110\n",
                                    QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\xff\xfe", 18)};
    for (const QByteArray& bytes : noLayouts) {
        ASSERT_TRUE(writeFile(file, bytes));
        const QString refused = LoadLayoutFile(file);
        EXPECT_TRUE(refused.contains(QStringLiteral("is not a layout file")))
            << qPrintable(refused);
        EXPECT_EQ(pieces[5]->Xpos, 12);
        EXPECT_EQ(pieces[5]->Angle, 1.0);
    }

    const QString fifo = path("pipe.DAT");
    ASSERT_TRUE(makeFifo(fifo));
    QString refused;
    EXPECT_TRUE(finishesWithoutWaitingOn(fifo, [&] { refused = LoadLayoutFile(fifo); }));
    EXPECT_TRUE(refused.contains(QStringLiteral("passed over"))) << qPrintable(refused);
    EXPECT_EQ(pieces[5]->Xpos, 12);

    // One Piece section is a layout: the rest take the default grid.
    ASSERT_TRUE(writeFile(file, "[piece3]\nXpos=300\n"));
    EXPECT_TRUE(LoadLayoutFile(file).isEmpty());
    EXPECT_EQ(pieces[3]->Xpos, 300);
    EXPECT_EQ(pieces[5]->Xpos, DefaultXpos(5));
    EXPECT_EQ(pieces[5]->Angle, 0.0);
}

// --- pictures --------------------------------------------------------------

TEST_F(HostileFiles, BackslashedRelativePicturePathsAreTriedWithSlashes) {
    const QString home = dir.path() + QLatin1Char('/');
    ASSERT_TRUE(QDir(home).mkpath(QStringLiteral("bg/deep")));
    ASSERT_TRUE(writeFile(home + "bg/deep/sky.png", encodePicture(testPattern(8, 6), "PNG")));
    QString written = QStringLiteral("bg\\deep\\sky.png");
    EXPECT_TRUE(ResolveFilePath(written, home));
    EXPECT_EQ(written, home + "bg/deep/sky.png");
    QImage image;
    EXPECT_TRUE(LoadPictureFile(&image, QStringLiteral("bg\\deep\\sky.png"), home));
    EXPECT_EQ(image.size(), QSize(8, 6));

    // A file whose name holds the backslash, as written, comes first.
    ASSERT_TRUE(writeFile(home + "bg\\deep\\sky.png", "x"));
    written = QStringLiteral("bg\\deep\\sky.png");
    EXPECT_TRUE(ResolveFilePath(written, home));
    EXPECT_EQ(written, home + "bg\\deep\\sky.png");
    // Nothing under either spelling: still nothing.
    written = QStringLiteral("bg\\none.png");
    EXPECT_FALSE(ResolveFilePath(written, home));
}

TEST_F(HostileFiles, ACameraSizedPhotoLoadsAndABombStillDoesNot) {
    // Both above the old 128 MB limit: the camera's 216 MB and 144 MB.
    const struct {
        const char* name;
        const char* format;
        QSize size;
    } photos[] = {{"photo.jpg", "JPEG", {9000, 6000}}, {"photo.png", "PNG", {6000, 6000}}};
    for (const auto& p : photos) {
        QImage photo(p.size, QImage::Format_RGB32);
        photo.fill(QColor(40, 90, 160));
        ASSERT_TRUE(writeFile(path(p.name), encodePicture(photo, p.format)));
        photo = QImage();
        QImage image;
        EXPECT_NO_THROW(EXPECT_TRUE(LoadPictureFile(&image, path(p.name)))) << p.name;
        EXPECT_EQ(image.size(), p.size) << p.name;
    }

    const QByteArray png = encodePicture(testPattern(64, 48), "PNG");
    ASSERT_TRUE(writeFile(path("bomb.png"), withClaimedSize(png, "PNG", 10001, 10000)));
    QImage image;
    try {
        LoadPictureFile(&image, path("bomb.png"));
        ADD_FAILURE() << "a picture over 100 megapixels was read";
    } catch (const PictureError& e) {
        EXPECT_NE(std::string(e.what()).find("100 megapixels"), std::string::npos) << e.what();
    }
    EXPECT_TRUE(image.isNull());
}

} // namespace
