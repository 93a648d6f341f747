// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "engine/settings/HomeFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

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
    EXPECT_EQ(homeFolderFor(base + "ro", "marulet.INI", "/cfg", "/home/u"), base + "ro/");
    // Without its settings file a read-only folder is no home, even for root,
    // whose saves refuse a folder that has no write permission at all.
    EXPECT_EQ(homeFolderFor(base + "ro", "other.INI", "/cfg", "/home/u"), "/cfg/marulet/");
    QFile::setPermissions(base + "ro", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TEST_F(HomeFolderRule, AnInstalledCopyKeepsItsSettingsPerUser) {
    ASSERT_TRUE(QDir(base).mkpath("bin"));
    ASSERT_TRUE(QDir(base).mkpath("share/applications"));
    QFile entry(base + "share/applications/io.github.marulet.Marulet.desktop");
    ASSERT_TRUE(entry.open(QIODevice::WriteOnly));
    entry.close();
    EXPECT_EQ(homeFolderFor(base + "bin", "marulet.INI", "/cfg", "/home/u"), "/cfg/marulet/");
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
