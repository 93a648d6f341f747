#include "app/HomeFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

class HomeFolderRule : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    QTemporaryDir dir;
    const QString base = dir.path() + QLatin1Char('/');
};

TEST_F(HomeFolderRule, AWritableExecutableFolderIsAPortableInstall) {
    ASSERT_TRUE(QDir(base).mkpath("bin"));
    EXPECT_EQ(homeFolderFor(base + "bin", "marulet.INI", "/cfg", "/home/u"), base + "bin/");
    EXPECT_EQ(homeFolderFor(base + "bin/", "marulet.INI", "/cfg", "/home/u"), base + "bin/");
}

TEST_F(HomeFolderRule, OtherwiseThePerUserConfigurationFolder) {
    const QString missing = base + "gone";
    EXPECT_EQ(homeFolderFor(missing, "marulet.INI", "/cfg", "/home/u"), "/cfg/marulet/");
    EXPECT_EQ(homeFolderFor(missing, "marulet.INI", "/cfg/", "/home/u"), "/cfg/marulet/");
    EXPECT_EQ(homeFolderFor(missing, "marulet.INI", "", "/home/u"), "/home/u/.config/marulet/");
    // A relative XDG_CONFIG_HOME is not to be used.
    EXPECT_EQ(homeFolderFor(missing, "marulet.INI", "cfg", "/home/u"), "/home/u/.config/marulet/");
    EXPECT_EQ(homeFolderFor(QString(), "marulet.INI", "", "/"), "/.config/marulet/");
}

TEST_F(HomeFolderRule, ASettingsFileBesideAReadOnlyExecutableKeepsItPortable) {
    ASSERT_TRUE(QDir(base).mkpath("ro"));
    QFile settings(base + "ro/marulet.INI");
    ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
    settings.close();
    ASSERT_TRUE(QFile::setPermissions(base + "ro", QFile::ReadOwner | QFile::ExeOwner));
    const bool stillWritable = ::access(QFile::encodeName(base + "ro").constData(), W_OK) == 0;
    EXPECT_EQ(homeFolderFor(base + "ro", "marulet.INI", "/cfg", "/home/u"), base + "ro/");
    // root writes anywhere, so only others can see the second case
    if (!stillWritable) {
        EXPECT_EQ(homeFolderFor(base + "ro", "other.INI", "/cfg", "/home/u"), "/cfg/marulet/");
    }
    QFile::setPermissions(base + "ro", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TEST(HomeFolder, SettingsFileIsNamedAfterTheExecutableInTheHomeFolder) {
    const QString home = HomeFolder();
    ASSERT_TRUE(home.endsWith('/'));
    const QString exe = QFile::symLinkTarget("/proc/self/exe");
    // The test binary's folder is a writable build folder.
    EXPECT_EQ(home, QFileInfo(exe).absolutePath() + '/');
    EXPECT_EQ(SettingsFilePath(), home + QFileInfo(exe).completeBaseName() + ".INI");
}

} // namespace
