// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "engine/settings/IniFile.h"
#include "engine/settings/WriteAll.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <cfloat>
#include <chrono>
#include <cmath>
#include <csignal>
#include <random>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

QByteArray readBytes(const QString& path) {
    return readFile(path);
}

void writeBytes(const QString& path, const QByteArray& bytes) {
    ASSERT_TRUE(writeFile(path, bytes));
}

class IniFileTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("test.INI"));

    // An accessor over a file holding exactly these bytes.
    std::unique_ptr<IniFile> over(const QByteArray& bytes) {
        writeBytes(path, bytes);
        return std::make_unique<IniFile>(path);
    }
};

// --- value encodings -------------------------------------------------------

TEST_F(IniFileTest, IntegersReadDecimalAndHexAndFallBackOnAnythingElse) {
    const auto ini = over("[S]\n"
                          "hex=0x96\nHEX=0XfF\nneg=-42\nplus=+7\nspaced =  12  \n"
                          "bad=12a\nempty=\nshort=0x\nbadhex=0x1g\n"
                          "max=2147483647\nmin=-2147483648\nover=2147483648\n"
                          "pattern=0xFFFFFFFF\nwide=0x100000000\nneghex=-0x10\n");
    const QString s = QStringLiteral("S");
    EXPECT_EQ(ini->ReadInteger(s, QStringLiteral("hex"), 1), 150);
    EXPECT_EQ(ini->ReadInteger(s, QStringLiteral("neg"), 1), -42);
    EXPECT_EQ(ini->ReadInteger(s, QStringLiteral("plus"), 1), 7);
    EXPECT_EQ(ini->ReadInteger(s, QStringLiteral("spaced"), 1), 12);
    EXPECT_EQ(ini->ReadInteger(s, QStringLiteral("max"), 1), 2147483647);
    EXPECT_EQ(ini->ReadInteger(s, QStringLiteral("min"), 1), -2147483647 - 1);
    EXPECT_EQ(ini->ReadInteger(s, QStringLiteral("pattern"), 1), -1);
    for (const char* key : {"bad", "empty", "short", "badhex", "over", "wide", "neghex", "absent"})
        EXPECT_EQ(ini->ReadInteger(s, QString::fromLatin1(key), 150), 150) << key;

    ini->WriteInteger(s, QStringLiteral("written"), -2147483647 - 1);
    EXPECT_EQ(ini->ReadString(s, QStringLiteral("written"), {}), QStringLiteral("-2147483648"));
}

TEST_F(IniFileTest, BooleansAreOneAndZeroAndAnyNonZeroIntegerIsTrue) {
    const auto ini = over("[S]\nzero=0\ntwo=2\nhex=0x10\nword=yes\n");
    const QString s = QStringLiteral("S");
    EXPECT_FALSE(ini->ReadBool(s, QStringLiteral("zero"), true));
    EXPECT_TRUE(ini->ReadBool(s, QStringLiteral("two"), false));
    EXPECT_TRUE(ini->ReadBool(s, QStringLiteral("hex"), false));
    EXPECT_TRUE(ini->ReadBool(s, QStringLiteral("word"), true));
    EXPECT_FALSE(ini->ReadBool(s, QStringLiteral("word"), false));
    EXPECT_TRUE(ini->ReadBool(s, QStringLiteral("absent"), true));

    ini->WriteBool(s, QStringLiteral("two"), true);
    ini->WriteBool(s, QStringLiteral("zero"), false);
    EXPECT_EQ(ini->ReadString(s, QStringLiteral("two"), {}), QStringLiteral("1"));
    EXPECT_EQ(ini->ReadString(s, QStringLiteral("zero"), {}), QStringLiteral("0"));
}

TEST_F(IniFileTest, FloatsAreWrittenWithFifteenDigitsAndAPoint) {
    IniFile ini(path);
    const QString s = QStringLiteral("F");
    const struct {
        double value;
        const char* text;
    } cases[] = {{M_PI / 4, "0.785398163397448"},
                 {2.5, "2.5"},
                 {1.0, "1"},
                 {-0.1, "-0.1"},
                 {1e20, "1e+20"},
                 {1.5e-7, "1.5e-07"},
                 {123456789012345678.0, "1.23456789012346e+17"},
                 // 15 digits would round past the largest double; rounded down instead.
                 {-DBL_MAX, "-1.79769313486231e+308"}};
    for (const auto& c : cases) {
        ini.WriteFloat(s, QStringLiteral("v"), c.value);
        EXPECT_EQ(ini.ReadString(s, QStringLiteral("v"), {}), QLatin1String(c.text));
        const double back = ini.ReadFloat(s, QStringLiteral("v"), 0.0);
        EXPECT_NEAR(back, c.value, std::abs(c.value) * 1e-14) << c.text;
    }
}

TEST_F(IniFileTest, FloatsThatDoNotConvertOrAreNotFiniteGiveTheDefault) {
    const auto ini = over("[F]\nword=abc\nempty=\ninf=inf\nnan=nan\nhuge=1e999\n"
                          "trail=1.5x\ntwo=1.2.3\nhex=0x10\ncomma=1,5\nexp=-2.5E+2\n");
    const QString s = QStringLiteral("F");
    for (const char* key : {"word", "empty", "inf", "nan", "huge", "trail", "two", "hex"})
        EXPECT_EQ(ini->ReadFloat(s, QString::fromLatin1(key), 7.0), 7.0) << key;
    // Files from machines with a comma as separator still read.
    EXPECT_EQ(ini->ReadFloat(s, QStringLiteral("comma"), 7.0), 1.5);
    EXPECT_EQ(ini->ReadFloat(s, QStringLiteral("exp"), 7.0), -250.0);
}

TEST_F(IniFileTest, TextKeepsUnicodeIsCutAt2047AndStaysOneLine) {
    IniFile ini(path);
    const QString s = QStringLiteral("T");
    const QString japanese = QStringLiteral("/home/ユーザー/背景 画像.png");
    ini.WriteString(s, QStringLiteral("jp"), japanese);
    ini.WriteString(s, QStringLiteral("long"), QString(3000, QLatin1Char('x')));
    ini.WriteString(s, QStringLiteral("lines"), QStringLiteral("one\ntwo\r\n[Evil]"));
    ini.WriteInteger(s, QStringLiteral("after"), 5);
    ASSERT_TRUE(ini.flush());

    EXPECT_EQ(ini.ReadString(s, QStringLiteral("jp"), {}), japanese);
    EXPECT_EQ(ini.ReadString(s, QStringLiteral("long"), {}).size(), 2047);
    EXPECT_EQ(ini.ReadString(s, QStringLiteral("lines"), {}), QStringLiteral("one two  [Evil]"));
    EXPECT_FALSE(ini.SectionExists(QStringLiteral("Evil")));
    EXPECT_EQ(ini.ReadInteger(s, QStringLiteral("after"), 0), 5);
    EXPECT_EQ(ini.ReadString(s, QStringLiteral("absent"), QStringLiteral("def")),
              QStringLiteral("def"));
    EXPECT_TRUE(readBytes(path).contains("jp=/home/ユーザー/背景 画像.png\n"));
}

// --- names -----------------------------------------------------------------

TEST_F(IniFileTest, SectionAndKeyNamesMatchWithoutRegardToCase) {
    const auto ini = over("[Color]\nNormalBrush=16711680\n[Sound]\nPrg_00=13\n");
    EXPECT_EQ(ini->ReadInteger(QStringLiteral("color"), QStringLiteral("Normalbrush"), 0),
              16711680);
    EXPECT_EQ(ini->ReadInteger(QStringLiteral("SOUND"), QStringLiteral("prg_00"), 0), 13);
    EXPECT_TRUE(ini->ValueExists(QStringLiteral("sound"), QStringLiteral("PRG_00")));
    EXPECT_TRUE(ini->SectionExists(QStringLiteral("cOLOR")));
    EXPECT_FALSE(ini->SectionExists(QStringLiteral("Design")));

    // A write in another case replaces the same line and keeps its spelling.
    ini->WriteInteger(QStringLiteral("COLOR"), QStringLiteral("normalbrush"), 255);
    ini->WriteInteger(QStringLiteral("Über"), QStringLiteral("Größe"), 1);
    EXPECT_EQ(ini->ReadInteger(QStringLiteral("ÜBER"), QStringLiteral("gröSSE"), 0), 0);
    EXPECT_EQ(ini->ReadInteger(QStringLiteral("über"), QStringLiteral("GRÖßE"), 0), 1);
    ASSERT_TRUE(ini->flush());
    EXPECT_EQ(readBytes(path), QByteArray("[Color]\nNormalBrush=255\n[Sound]\nPrg_00=13\n"
                                          "[Über]\nGröße=1\n"));
}

TEST_F(IniFileTest, NamesThatCannotBeStoredAreRefusedAndReported) {
    IniFile ini(path);
    ini.WriteInteger(QStringLiteral("S"), QStringLiteral("a=b"), 1);
    EXPECT_TRUE(ini.lastError().contains(QStringLiteral("a=b")));
    ini.WriteInteger(QStringLiteral("S]x"), QStringLiteral("k"), 1);
    ini.WriteInteger(QStringLiteral("S"), QStringLiteral("line\nbreak"), 1);
    ini.WriteInteger(QString(), QStringLiteral("k"), 1);
    ini.WriteInteger(QStringLiteral("S"), QStringLiteral(";comment"), 1);
    ASSERT_TRUE(ini.flush());
    EXPECT_TRUE(ini.lastError().isEmpty());
    EXPECT_FALSE(QFile::exists(path)); // nothing was written, so nothing was saved
}

// --- preserving the file ---------------------------------------------------

TEST_F(IniFileTest, WritingOneKeyKeepsEveryOtherByteOfACrlfFile) {
    const QByteArray original = "\xEF\xBB\xBF; settings\r\n"
                                "\r\n"
                                "[General]\r\n"
                                "Unknown = kept as is \r\n"
                                "WinLeft=10\r\n"
                                "\r\n"
                                "; about colours\r\n"
                                "[Color]\r\n"
                                "Background = 0\r\n"
                                "orphan line without equals\r\n"
                                "\r\n"
                                "[Tail]\r\n"
                                "x=1";
    {
        const auto ini = over(original);
        ini->WriteInteger(QStringLiteral("Color"), QStringLiteral("Background"), 255);
        ini->WriteInteger(QStringLiteral("General"), QStringLiteral("WinTop"), 20);
        ini->WriteInteger(QStringLiteral("Tail"), QStringLiteral("y"), 2);
        ini->WriteInteger(QStringLiteral("Sound"), QStringLiteral("Volume"), 90);
        ASSERT_TRUE(ini->flush());
    }
    EXPECT_EQ(readBytes(path), QByteArray("\xEF\xBB\xBF; settings\r\n"
                                          "\r\n"
                                          "[General]\r\n"
                                          "Unknown = kept as is \r\n"
                                          "WinLeft=10\r\n"
                                          "WinTop=20\r\n"
                                          "\r\n"
                                          "; about colours\r\n"
                                          "[Color]\r\n"
                                          "Background = 255\r\n"
                                          "orphan line without equals\r\n"
                                          "\r\n"
                                          "[Tail]\r\n"
                                          "x=1\r\n"
                                          "y=2\r\n"
                                          "[Sound]\r\n"
                                          "Volume=90\r\n"));
    // The byte-order mark is not part of the first line's text.
    IniFile again(path);
    EXPECT_EQ(again.ReadString(QStringLiteral("General"), QStringLiteral("Unknown"), {}),
              QStringLiteral("kept as is"));
}

TEST_F(IniFileTest, UnchangedValuesLeaveTheFileAloneAndTheFirstOfTwinsIsUsed) {
    const QByteArray original = "[A]\nk=1\nk=2\n[a]\nk=3\nonly=4\n";
    const auto ini = over(original);
    EXPECT_EQ(ini->ReadInteger(QStringLiteral("A"), QStringLiteral("k"), 0), 1);
    EXPECT_EQ(ini->ReadInteger(QStringLiteral("A"), QStringLiteral("only"), 0), 4);
    ini->WriteInteger(QStringLiteral("a"), QStringLiteral("K"), 1);
    ASSERT_TRUE(ini->flush());
    QFile::remove(path); // a flush with nothing new must not write it back
    ASSERT_TRUE(ini->flush());
    EXPECT_FALSE(QFile::exists(path));

    ini->WriteInteger(QStringLiteral("a"), QStringLiteral("only"), 5);
    ini->WriteInteger(QStringLiteral("a"), QStringLiteral("new"), 6);
    ASSERT_TRUE(ini->flush());
    EXPECT_EQ(readBytes(path), QByteArray("[A]\nk=1\nk=2\nnew=6\n[a]\nk=3\nonly=5\n"));
}

TEST_F(IniFileTest, DamagedInputReadsAsDefaultsAroundWhatCanBeRead) {
    QByteArray garbage("[Param]\nReach=77\n");
    garbage += QByteArray("Nul=1\0x\n", 8);
    garbage += "[\n"; // a lone bracket opens a nameless section
    garbage += "no equals here\n";
    garbage += QByteArray(100000, 'z') + "\n";
    garbage += "=novalue\n";
    garbage += "\xFF\xFE\xC3(=\x80\x81\n";
    garbage += "[Color]\nBackground=\xE3\x81\n";
    garbage += "[Design\nGridSize=30";
    const auto ini = over(garbage);
    EXPECT_EQ(ini->ReadInteger(QStringLiteral("Param"), QStringLiteral("Reach"), 0), 77);
    EXPECT_EQ(ini->ReadInteger(QStringLiteral("Param"), QStringLiteral("Nul"), 0), 1);
    EXPECT_EQ(ini->ReadInteger(QStringLiteral("Color"), QStringLiteral("Background"), 9), 9);
    EXPECT_EQ(ini->ReadInteger(QStringLiteral("Design"), QStringLiteral("GridSize"), 0), 30);
    EXPECT_EQ(ini->ReadInteger(QStringLiteral("Param"), QStringLiteral("Absent"), 3), 3);

    ini->WriteInteger(QStringLiteral("Design"), QStringLiteral("SnapGrid"), 1);
    ASSERT_TRUE(ini->flush());
    EXPECT_EQ(readBytes(path), garbage + "\nSnapGrid=1\n");
}

TEST_F(IniFileTest, AMissingFileReadsEmptyAndTheFirstFlushCreatesItAndItsFolder) {
    const QString nested = dir.filePath(QStringLiteral("a/b/new.ini"));
    {
        IniFile ini(nested);
        EXPECT_FALSE(ini.SectionExists(QStringLiteral("General")));
        EXPECT_EQ(ini.ReadInteger(QStringLiteral("General"), QStringLiteral("Version"), 4), 4);
        ini.WriteInteger(QStringLiteral("General"), QStringLiteral("Version"), 110);
    } // destruction saves
    EXPECT_EQ(readBytes(nested), QByteArray("[General]\nVersion=110\n"));
}

TEST_F(IniFileTest, ASaveThroughASymbolicLinkWritesWhereItLeadsAndKeepsTheLink) {
    // A dotfiles folder: the settings file there, a relative link to it, and
    // a link to that link.
    QDir(dir.path()).mkdir(QStringLiteral("dotfiles"));
    const QString kept = dir.filePath(QStringLiteral("dotfiles/marulet.INI"));
    writeBytes(kept, "; mine\n[Param]\nReach=150\n");
    ASSERT_EQ(::chmod(QFile::encodeName(kept).constData(), 0640), 0);
    const QString link = dir.filePath(QStringLiteral("link.INI"));
    ASSERT_EQ(::symlink("dotfiles/marulet.INI", QFile::encodeName(link).constData()), 0);
    ASSERT_TRUE(QFile::link(link, path));
    {
        IniFile ini(path);
        EXPECT_EQ(ini.ReadInteger(QStringLiteral("Param"), QStringLiteral("Reach"), 0), 150);
        ini.WriteInteger(QStringLiteral("Param"), QStringLiteral("Reach"), 222);
        ASSERT_TRUE(ini.flush()) << qPrintable(ini.lastError());
    }
    EXPECT_TRUE(QFileInfo(path).isSymLink());
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(readBytes(kept), QByteArray("; mine\n[Param]\nReach=222\n"));
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(kept).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u) << "the file keeps its permissions";
    EXPECT_EQ(
        QDir(dir.filePath(QStringLiteral("dotfiles"))).entryList(QDir::Files | QDir::Hidden).size(),
        1)
        << "no temporary file left beside it";

    // A link whose file is not made yet: the first save makes it there.
    const QString later = dir.filePath(QStringLiteral("dotfiles/later.INI"));
    const QString dangling = dir.filePath(QStringLiteral("dangling.INI"));
    ASSERT_TRUE(QFile::link(later, dangling));
    {
        IniFile ini(dangling);
        ini.WriteInteger(QStringLiteral("General"), QStringLiteral("Version"), 110);
        ASSERT_TRUE(ini.flush()) << qPrintable(ini.lastError());
    }
    EXPECT_TRUE(QFileInfo(dangling).isSymLink());
    EXPECT_EQ(readBytes(later), QByteArray("[General]\nVersion=110\n"));

    // Links round a circle lead nowhere: the save puts a file in their place.
    const QString a = dir.filePath(QStringLiteral("a.INI"));
    const QString b = dir.filePath(QStringLiteral("b.INI"));
    ASSERT_TRUE(QFile::link(b, a));
    ASSERT_TRUE(QFile::link(a, b));
    {
        IniFile ini(a);
        ini.WriteInteger(QStringLiteral("Param"), QStringLiteral("Reach"), 99);
        ASSERT_TRUE(ini.flush()) << qPrintable(ini.lastError());
    }
    EXPECT_FALSE(QFileInfo(a).isSymLink());
    EXPECT_EQ(readBytes(a), QByteArray("[Param]\nReach=99\n"));
}

// --- sharing ---------------------------------------------------------------

TEST_F(IniFileTest, TwoAccessorsOnOneFileSeeEachOthersWrites) {
    const QString otherSpelling = dir.path() + QStringLiteral("/./sub/../test.INI");
    QDir(dir.path()).mkdir(QStringLiteral("sub"));
    writeBytes(path, "[General]\nVersion=100\n");
    auto first = std::make_unique<IniFile>(path);
    auto second = std::make_unique<IniFile>(otherSpelling);
    first->WriteInteger(QStringLiteral("General"), QStringLiteral("Version"), 110);
    EXPECT_EQ(second->ReadInteger(QStringLiteral("general"), QStringLiteral("version"), 0), 110);
    second->WriteString(QStringLiteral("Design"), QStringLiteral("BgImage"), QStringLiteral("x"));
    EXPECT_EQ(first->ReadString(QStringLiteral("Design"), QStringLiteral("BgImage"), {}),
              QStringLiteral("x"));

    first.reset(); // saves both writes: they are one document
    EXPECT_EQ(readBytes(path), QByteArray("[General]\nVersion=110\n[Design]\nBgImage=x\n"));
    second.reset();

    // Once every accessor is gone the file is read afresh.
    writeBytes(path, "[General]\nVersion=7\n");
    IniFile third(path);
    EXPECT_EQ(third.ReadInteger(QStringLiteral("General"), QStringLiteral("Version"), 0), 7);
}

// --- failed saves ----------------------------------------------------------

TEST_F(IniFileTest, AReadOnlyFolderOrFileKeepsTheOldFileAndSaysWhy) {
    const QByteArray original = "[Param]\r\nReach=150\r\n";
    const auto ini = over(original);
    ini->WriteInteger(QStringLiteral("Param"), QStringLiteral("Reach"), 300);

    ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0555), 0);
    EXPECT_FALSE(ini->flush());
    EXPECT_TRUE(ini->lastError().contains(path)) << qPrintable(ini->lastError());
    EXPECT_TRUE(ini->lastError().contains(QStringLiteral("read-only")));
    ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
    EXPECT_EQ(readBytes(path), original);

    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0444), 0);
    EXPECT_FALSE(ini->flush());
    EXPECT_TRUE(ini->lastError().contains(QStringLiteral("read-only")));
    EXPECT_EQ(readBytes(path), original);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);

    // The write was kept and goes out once the file may be written again.
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0644), 0);
    EXPECT_TRUE(ini->flush());
    EXPECT_TRUE(ini->lastError().isEmpty());
    EXPECT_EQ(readBytes(path), QByteArray("[Param]\r\nReach=300\r\n"));
}

TEST_F(IniFileTest, AFullDiskKeepsTheOldFileAndSaysWhy) {
    const QByteArray original = "[Param]\nReach=150\n";
    const auto ini = over(original);
    ini->WriteString(QStringLiteral("Param"), QStringLiteral("Big"), QString(4000, 'b'));

    // A file size limit makes the write fail the way a full disk does.
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 1024;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool flushed = ini->flush();
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(flushed);
    EXPECT_TRUE(ini->lastError().contains(path)) << qPrintable(ini->lastError());
    EXPECT_EQ(readBytes(path), original);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

// Stand-ins for write(2): a device that takes nothing, and one that takes a
// byte at a time and is interrupted between bytes.
ssize_t takesNothing(int, const void*, size_t) {
    return 0;
}

std::string trickled;
ssize_t trickles(int, const void* data, size_t size) {
    static bool interrupt = false;
    interrupt = !interrupt;
    if (interrupt) {
        errno = EINTR;
        return -1;
    }
    if (size == 0) return 0;
    trickled += *static_cast<const char*>(data);
    return 1;
}

TEST(WriteAllTest, AWriteThatMakesNoProgressEndsWithAnErrorAndShortWritesGoOn) {
    errno = 0;
    EXPECT_FALSE(writeAll(-1, "[Param]\n", &takesNothing));
    EXPECT_EQ(errno, EIO);
    EXPECT_TRUE(writeAll(-1, "", &takesNothing)) << "nothing to write is no failure";

    trickled.clear();
    EXPECT_TRUE(writeAll(-1, "Reach=150\n", &trickles));
    EXPECT_EQ(trickled, "Reach=150\n");

    // The real call: a closed descriptor says so.
    EXPECT_FALSE(writeAll(-1, "x"));
    EXPECT_EQ(errno, EBADF);
}

TEST_F(IniFileTest, NoFileNameOrAFolderInTheWayIsReportedNotFatal) {
    for (const QString& where : {QString(), dir.path()}) {
        IniFile ini(where);
        EXPECT_EQ(ini.ReadInteger(QStringLiteral("S"), QStringLiteral("k"), 3), 3);
        ini.WriteInteger(QStringLiteral("S"), QStringLiteral("k"), 4);
        EXPECT_EQ(ini.ReadInteger(QStringLiteral("S"), QStringLiteral("k"), 3), 4);
        EXPECT_FALSE(ini.flush());
        EXPECT_TRUE(ini.lastError().startsWith(QStringLiteral("Cannot save")))
            << qPrintable(ini.lastError());
    }
    EXPECT_TRUE(QFileInfo(dir.path()).isDir());
}

// --- crash safety ----------------------------------------------------------

// A full settings file (all sections, 49 pieces) whose every value follows
// from one generation number, so a file mixed from two saves shows.
void writeGeneration(IniFile& ini, int generation) {
    ini.WriteInteger(QStringLiteral("General"), QStringLiteral("Generation"), generation);
    for (const char* key : {"WinState", "WinLeft", "WinTop", "WinWidth", "WinHeight"})
        ini.WriteInteger(QStringLiteral("General"), QString::fromLatin1(key), generation);
    for (int i = 0; i < 49; ++i) {
        const QString section = QStringLiteral("Piece%1").arg(i);
        ini.WriteInteger(section, QStringLiteral("Xpos"), generation + i);
        ini.WriteInteger(section, QStringLiteral("Ypos"), generation - i);
        ini.WriteFloat(section, QStringLiteral("Angle"), generation * 0.001 + i);
        ini.WriteBool(section, QStringLiteral("Enabled"), (generation + i) % 2);
    }
    for (const char* section : {"Param", "Color", "Design", "Sound"}) {
        for (int k = 0; k < 6; ++k)
            ini.WriteInteger(QString::fromLatin1(section), QStringLiteral("Key%1").arg(k),
                             generation * 7 + k);
    }
    ini.WriteString(QStringLiteral("Design"), QStringLiteral("BgImage"),
                    QStringLiteral("/pictures/%1.png").arg(generation));
}

// How many keys hold the values of the file's generation; -1 for none.
int consistentKeys(IniFile& ini, int& generation) {
    generation = ini.ReadInteger(QStringLiteral("General"), QStringLiteral("Generation"), -1);
    if (generation < 0) return -1;
    IniFile& r = ini; // short, for the long list below
    int good = 0;
    for (const char* key : {"WinState", "WinLeft", "WinTop", "WinWidth", "WinHeight"})
        good +=
            r.ReadInteger(QStringLiteral("General"), QString::fromLatin1(key), -1) == generation;
    for (int i = 0; i < 49; ++i) {
        const QString section = QStringLiteral("Piece%1").arg(i);
        good += r.ReadInteger(section, QStringLiteral("Xpos"), -1) == generation + i;
        good += r.ReadInteger(section, QStringLiteral("Ypos"), -1) == generation - i;
        good += std::abs(r.ReadFloat(section, QStringLiteral("Angle"), -1) -
                         (generation * 0.001 + i)) < 1e-9;
        good += r.ReadBool(section, QStringLiteral("Enabled"), (generation + i) % 2 == 0) ==
                bool((generation + i) % 2);
    }
    for (const char* section : {"Param", "Color", "Design", "Sound"}) {
        for (int k = 0; k < 6; ++k)
            good += r.ReadInteger(QString::fromLatin1(section), QStringLiteral("Key%1").arg(k),
                                  -1) == generation * 7 + k;
    }
    good += r.ReadString(QStringLiteral("Design"), QStringLiteral("BgImage"), {}) ==
            QStringLiteral("/pictures/%1.png").arg(generation);
    return good;
}

constexpr int kKeysPerGeneration = 5 + 49 * 4 + 4 * 6 + 1;

TEST(IniFileCrashSafety, ASaveKilledAtAnyMomentLeavesTheOldOrTheNewFileWhole) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("crash.INI"));
    {
        IniFile ini(path);
        writeGeneration(ini, 0);
        ASSERT_TRUE(ini.flush());
    }
    std::mt19937 random(20240611);
    int lastGeneration = 0;
    int killedMidSave = 0;
    for (int round = 0; round < 200; ++round) {
        // The child reports each finished save, so the kill can be timed to
        // land anywhere in the saves that follow its first one.
        int saved[2];
        ASSERT_EQ(::pipe(saved), 0);
        const auto start = std::chrono::steady_clock::now();
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(saved[0]);
            IniFile ini(path);
            for (int generation = (round + 1) * 1000000;; ++generation) {
                writeGeneration(ini, generation);
                if (!ini.flush()) ::_exit(3);
                if (::write(saved[1], "s", 1) != 1) ::_exit(4);
            }
        }
        ::close(saved[1]);
        char report = 0;
        const bool progressed = ::read(saved[0], &report, 1) == 1;
        const auto firstSave = std::chrono::steady_clock::now() - start;
        const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(firstSave);
        if (progressed) ::usleep(static_cast<useconds_t>(random() % (micros.count() + 1)));
        ::kill(child, SIGKILL);
        ::close(saved[0]);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(progressed) << "the saving child stopped by itself: " << status;

        // A temporary file left behind means the kill came in the middle of a save.
        const QString temps = QStringLiteral(".crash.INI.%1.*.tmp").arg(child);
        killedMidSave += !QDir(dir.path()).entryList({temps}, QDir::Files | QDir::Hidden).isEmpty();

        IniFile check(path);
        int generation = -1;
        ASSERT_EQ(consistentKeys(check, generation), kKeysPerGeneration)
            << "round " << round << ", generation " << generation;
        ASSERT_GT(generation, lastGeneration) << "round " << round;
        lastGeneration = generation;
    }
    ::testing::Test::RecordProperty("killed_mid_save", killedMidSave);
    EXPECT_GT(killedMidSave, 0);

    // The next save clears the temporary files that the killed children left.
    {
        IniFile ini(path);
        ini.WriteInteger(QStringLiteral("General"), QStringLiteral("Generation"), 1);
        ASSERT_TRUE(ini.flush());
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("crash.INI")});
}

} // namespace
