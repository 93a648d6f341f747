// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "engine/settings/SettingsFile.h"
#include "support/TestFiles.h"

#include "engine/midi/RecordingMidiService.h"
#include "engine/midi/TMidiPort.h"
#include "engine/settings/IniFile.h"
#include "engine/settings/SettingsRecord.h"

#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class SettingsFileTest : public ::testing::Test {
protected:
    QTemporaryDir home;
    QString path = home.filePath(QStringLiteral("marulet.INI"));
    RecordingMidiService service;

    SettingsFileTest() {
        resetPrm();
        midiPort.reset();
    }
    ~SettingsFileTest() override {
        midiPort.reset();
        resetPrm();
    }

    void setFile(const QByteArray& bytes) { ASSERT_TRUE(writeFile(path, bytes)); }
    QByteArray fileBytes() const { return readFile(path); }
    // A start-up reading followed by the close's writing, saved to disk.
    SettingsReadResult read() {
        IniFile ini(path);
        return ReadSettings(ini, service, home.path() + QLatin1Char('/'));
    }
    void write() {
        IniFile ini(path);
        WriteSettings(ini);
        ASSERT_TRUE(ini.flush()) << qPrintable(ini.lastError());
    }
};

TEST_F(SettingsFileTest, VersionNumberJoinsTheDigitsOfTheProductVersion) {
    EXPECT_EQ(VersionNumber(), 110);
    EXPECT_EQ(VersionNumberOf(2, 0, 13), 2013);
    EXPECT_EQ(VersionNumberOf(21, 47, 48), 214748);
    EXPECT_EQ(VersionNumberOf(2147, 48, 3647), 2147483647);
    EXPECT_EQ(VersionNumberOf(2147, 48, 3648), 0); // past 32 bits
    EXPECT_EQ(VersionNumberOf(4294967295u, 1, 0), 0);
}

TEST_F(SettingsFileTest, AnEmptyFileGivesEveryDefaultAndProgramsThePort) {
    setFile("");
    const SettingsReadResult result = read();
    EXPECT_EQ(prm.Reach, 150);
    EXPECT_EQ(prm.ActiveLv, 1.0);
    EXPECT_EQ(prm.ActivePtn, 0);
    EXPECT_FALSE(prm.Debug);
    EXPECT_EQ(prm.Background, 0);
    EXPECT_EQ(prm.NormalPen, 0xFF0000);
    EXPECT_EQ(prm.NormalBrush, 0);
    EXPECT_EQ(prm.ActiveBrush, 255);
    EXPECT_EQ(prm.ZzzBrush, 0x808080);
    EXPECT_FALSE(prm.EnableBgImage);
    EXPECT_FALSE(prm.StretchBgImage);
    EXPECT_TRUE(prm.BgImage.isEmpty());
    EXPECT_FALSE(prm.HideTitlebar);
    EXPECT_FALSE(prm.SnapGrid);
    EXPECT_EQ(prm.GridSize, 20);
    EXPECT_EQ(prm.Volume, 90);
    ASSERT_TRUE(prm.bgBitmap);
    EXPECT_TRUE(prm.bgBitmap->isNull());
    EXPECT_EQ(result.background, 0);
    EXPECT_TRUE(result.pictureError.isEmpty());

    ASSERT_TRUE(midiPort);
    EXPECT_TRUE(midiPort->isOpen());
    EXPECT_EQ(midiPort->deviceId, 0u);
    // Programs 12, 101, 115, 116 (0-based) on channels 0 to 3, then volume 90.
    std::vector<std::uint32_t> expected;
    const std::uint32_t programs[] = {12, 101, 115, 116};
    for (std::uint32_t channel = 0; channel < 4; ++channel)
        expected.push_back((0xC0 + channel) | programs[channel] << 8);
    for (std::uint32_t channel = 0; channel < 4; ++channel)
        expected.push_back((0xB0 + channel) | 7 << 8 | 90 << 16);
    std::vector<std::uint32_t> sent;
    for (const auto& message : service.messages)
        sent.push_back(message.packed);
    EXPECT_EQ(sent, expected);

    // The version stamp reached the disk at once.
    EXPECT_EQ(fileBytes(), QByteArray("[General]\nVersion=110\n"));
}

TEST_F(SettingsFileTest, AFileWrittenFromScratchHoldsEverySectionInOrder) {
    read(); // no file at all
    write();
    EXPECT_EQ(fileBytes(), QByteArray("[General]\nVersion=110\n"
                                      "[Param]\nReach=150\nActiveLv=1\nActivePtn=0\n"
                                      "[Color]\nBackground=0\nNormalPen=16711680\nNormalBrush=0\n"
                                      "ActiveBrush=255\nZzzBrush=8421504\n"
                                      "[Design]\nBgImage=\nEnableBgImage=0\nStretchBgImage=0\n"
                                      "HideTitlebar=0\nSnapGrid=0\nGridSize=20\n"
                                      "[Sound]\nDriver=0\nDriverName=Recorder\nVolume=90\n"
                                      "Prg_00=13\nPrg_01=102\nPrg_02=116\nPrg_03=117\n"));
}

TEST_F(SettingsFileTest, IntegersReadHexAndFallBackOnJunk) {
    setFile("[Param]\nReach=0x96\nActivePtn=3\n[Design]\nGridSize=12a\n");
    read();
    EXPECT_EQ(prm.Reach, 150);
    EXPECT_EQ(prm.ActivePtn, 3);
    EXPECT_EQ(prm.GridSize, 20);

    setFile("[Param]\nReach=12a\n");
    read();
    EXPECT_EQ(prm.Reach, 150);
}

TEST_F(SettingsFileTest, ActiveLvIsAlwaysPositive) {
    const struct {
        const char* text;
        double expected;
    } cases[] = {{"0", 1.0},   {"-2", 1.0}, {"abc", 1.0}, {"2.5", 2.5},
                 {"inf", 1.0}, {"", 1.0},   {"0.5", 0.5}, {"-0", 1.0}};
    for (const auto& c : cases) {
        setFile(QByteArray("[Param]\nActiveLv=") + c.text + "\n");
        read();
        EXPECT_EQ(prm.ActiveLv, c.expected) << c.text;
    }
}

TEST_F(SettingsFileTest, NormalBrushIsReadInEitherSpellingAndWrittenInOne) {
    setFile("[Color]\nNormalBrush=16711680\n");
    read();
    EXPECT_EQ(prm.NormalBrush, 16711680);

    setFile("[color]\nnormalbrush=0x00FF00\n");
    read();
    EXPECT_EQ(prm.NormalBrush, 0x00FF00);
    write();
    EXPECT_TRUE(fileBytes().contains("[color]\nnormalbrush=65280\n"));

    setFile("");
    read();
    write();
    EXPECT_TRUE(fileBytes().contains("\nNormalBrush=0\n"));
}

TEST_F(SettingsFileTest, ProgramsAreWrittenAsPrgAndReadBackAsPrg) {
    setFile("");
    read();
    midiPort->programs[1] = 40; // chosen in the sound dialog
    midiPort->deviceId = 0;
    write();
    const QByteArray written = fileBytes();
    EXPECT_TRUE(written.contains("Prg_00=13\nPrg_01=41\n")) << written.constData();

    service.messages.clear();
    read(); // the old port is closed on the way, with its all-notes-off
    std::vector<std::uint32_t> programChanges;
    for (const auto& message : service.messages) {
        if ((message.status() & 0xF0) == 0xC0) programChanges.push_back(message.packed);
    }
    EXPECT_EQ(programChanges, (std::vector<std::uint32_t>{0xC0 | 12 << 8, 0xC1 | 40 << 8,
                                                          0xC2 | 115 << 8, 0xC3 | 116 << 8}));
    EXPECT_EQ(midiPort->programs[1], 40);
}

TEST_F(SettingsFileTest, ExtremeProgramsRoundTripAndAMissingDeviceGivesWayToDeviceZero) {
    setFile("[Sound]\nprg_00=-2147483648\nprg_01=0\nDriver=-1\nVolume=500\n"
            "SoundFont=fonts/mine.sf2\n");
    const SettingsReadResult result = read();
    // No such device: the built-in one (index 0) plays instead, and says so.
    EXPECT_EQ(result.missingDevice, (MidiDeviceChoice{0xFFFFFFFFu, {}}));
    EXPECT_TRUE(midiPort->isOpen());
    EXPECT_EQ(service.opened, std::vector<unsigned>{0});
    EXPECT_EQ(midiPort->deviceId, 0u);
    EXPECT_EQ(prm.Volume, 500);
    write();
    const QByteArray written = fileBytes();
    EXPECT_TRUE(written.contains("Driver=-1\n")) << "the choice is kept";
    EXPECT_TRUE(written.contains("\nDriverName=\n"));
    EXPECT_TRUE(written.contains("SoundFont=fonts/mine.sf2\n")) << "the key is kept";
    EXPECT_TRUE(written.contains("Volume=500\n"));
    EXPECT_TRUE(written.contains("prg_00=-2147483648\nprg_01=0\n")) << written.constData();
}

TEST_F(SettingsFileTest, AStoredDeviceIsFoundByItsNameWhenItsNumberMoved) {
    // A second interface plugged in ahead of the user's synthesizer.
    service.setNames({"Marulet Synth", "Interface:Port 1", "Synth:In"});
    setFile("[Sound]\nDriver=1\nDriverName=Synth:In\nVolume=90\n");
    const SettingsReadResult result = read();
    EXPECT_FALSE(result.missingDevice.has_value());
    EXPECT_EQ(midiPort->deviceId, 2u);
    EXPECT_EQ(service.opened, std::vector<unsigned>{2});
    write();
    EXPECT_TRUE(fileBytes().contains("[Sound]\nDriver=2\nDriverName=Synth:In\nVolume=90\n"))
        << fileBytes().constData();
}

TEST_F(SettingsFileTest, AMissingDevicePlaysThroughDeviceZeroAndStaysInTheFile) {
    service.setNames({"Marulet Synth", "Interface:Port 1"});
    setFile("[Sound]\nDriver=2\nDriverName=Synth:In\n");
    const SettingsReadResult first = read();
    EXPECT_EQ(first.missingDevice, (MidiDeviceChoice{2, QStringLiteral("Synth:In")}));
    EXPECT_EQ(midiPort->deviceId, 0u);
    EXPECT_TRUE(midiPort->isOpen());
    EXPECT_EQ(service.opened, std::vector<unsigned>{0});
    write();
    EXPECT_TRUE(fileBytes().contains("Driver=2\nDriverName=Synth:In\n")) << fileBytes().constData();

    // Away for a second run too, then back at another number.
    read();
    write();
    EXPECT_TRUE(fileBytes().contains("Driver=2\nDriverName=Synth:In\n"));
    service.setNames({"Marulet Synth", "Synth:In", "Interface:Port 1"});
    const SettingsReadResult back = read();
    EXPECT_FALSE(back.missingDevice.has_value());
    EXPECT_EQ(midiPort->deviceId, 1u);
    EXPECT_EQ(service.opened.back(), 1u);

    // Until the user picks another device.
    service.setNames({"Marulet Synth", "Interface:Port 1"});
    read();
    midiPort->Close();
    midiPort->chooseDevice(1);
    midiPort->Open();
    write();
    EXPECT_TRUE(fileBytes().contains("Driver=1\nDriverName=Interface:Port 1\n"));
}

TEST_F(SettingsFileTest, AFileWithoutTheDeviceNameIsReadByNumberAsBefore) {
    service.setNames({"Marulet Synth", "Interface:Port 1", "Synth:In"});
    setFile("[Sound]\nDriver=2\nVolume=90\n");
    EXPECT_FALSE(read().missingDevice.has_value());
    EXPECT_EQ(midiPort->deviceId, 2u);
    write();
    // The name joins the number from now on, after the keys of a file
    // that had none.
    EXPECT_TRUE(fileBytes().contains("[Sound]\nDriver=2\nVolume=90\nDriverName=Synth:In\n"))
        << fileBytes().constData();
    EXPECT_TRUE(read().missingDevice == std::nullopt && midiPort->deviceId == 2u);

    setFile("[Sound]\nDriver=3\n");
    EXPECT_EQ(read().missingDevice, (MidiDeviceChoice{3, {}}));
    EXPECT_EQ(midiPort->deviceId, 0u);
    write();
    EXPECT_TRUE(fileBytes().contains("[Sound]\nDriver=3\n"));
    EXPECT_TRUE(fileBytes().contains("\nDriverName=\n"));
}

TEST_F(SettingsFileTest, AChosenSoundFontIsTakenInsideTheHomeFolderUnlessAbsolute) {
    const auto chosen = [&](const QByteArray& file) {
        setFile(file);
        IniFile ini(path);
        return ChosenSoundFont(ini, home.path());
    };
    EXPECT_EQ(chosen("[Sound]\nDriver=0\n"), QString());
    EXPECT_EQ(chosen("[sound]\nsoundfont=  \n"), QString());
    EXPECT_EQ(chosen("[Sound]\nSoundFont=/opt/gm.sf2\n"), QStringLiteral("/opt/gm.sf2"));
    EXPECT_EQ(chosen("[Sound]\nSoundFont=fonts/gm.sf2\n"),
              home.filePath(QStringLiteral("fonts/gm.sf2")));
}

TEST_F(SettingsFileTest, BooleansReadAnyNonZeroAndAreWrittenAsOne) {
    setFile("[Design]\nEnableBgImage=2\nSnapGrid=0\nHideTitlebar=-1\n");
    read();
    EXPECT_TRUE(prm.EnableBgImage);
    EXPECT_TRUE(prm.HideTitlebar);
    EXPECT_FALSE(prm.SnapGrid);
    write();
    EXPECT_TRUE(fileBytes().contains("EnableBgImage=1\nSnapGrid=0\nHideTitlebar=1\n"));
}

TEST_F(SettingsFileTest, TheVersionStampIsRaisedButNeverLowered) {
    setFile("[General]\nVersion=200\n");
    read();
    EXPECT_EQ(fileBytes(), QByteArray("[General]\nVersion=200\n"));

    setFile("[General]\r\nVersion=100\r\nWinLeft=5\r\n");
    read();
    EXPECT_EQ(fileBytes(), QByteArray("[General]\r\nVersion=110\r\nWinLeft=5\r\n"));
}

TEST_F(SettingsFileTest, CloseNeverWritesVersionOrDebug) {
    setFile("[General]\nVersion=200\n[Param]\nDebug=1\n");
    read();
    EXPECT_TRUE(prm.Debug);
    prm.Debug = false;
    write();
    const QByteArray written = fileBytes();
    EXPECT_TRUE(written.startsWith("[General]\nVersion=200\n[Param]\nDebug=1\nReach=150\n"))
        << written.constData();

    setFile("");
    read();
    write();
    EXPECT_FALSE(fileBytes().contains("Debug"));
}

TEST_F(SettingsFileTest, ARelativePictureIsLoadedAndSavedAsAnAbsolutePath) {
    QImage picture(4, 3, QImage::Format_RGB32);
    picture.fill(Qt::green);
    ASSERT_TRUE(picture.save(home.filePath(QStringLiteral("bg.png")), "PNG"));
    setFile("[Design]\nBgImage=bg.png\nEnableBgImage=1\n");
    const SettingsReadResult result = read();
    EXPECT_TRUE(result.pictureError.isEmpty());
    EXPECT_EQ(prm.BgImage, home.filePath(QStringLiteral("bg.png")));
    ASSERT_TRUE(prm.bgBitmap);
    EXPECT_EQ(prm.bgBitmap->size(), QSize(4, 3));
    write();
    EXPECT_TRUE(fileBytes().contains("BgImage=" + home.filePath("bg.png").toUtf8() + "\n"));
}

TEST_F(SettingsFileTest, AMissingPictureIsDroppedAndSavedAsEmpty) {
    setFile("[Design]\nBgImage=gone.png\n");
    read();
    EXPECT_TRUE(prm.BgImage.isEmpty());
    ASSERT_TRUE(prm.bgBitmap);
    EXPECT_TRUE(prm.bgBitmap->isNull());
    write();
    EXPECT_TRUE(fileBytes().contains("[Design]\nBgImage=\n"));
}

TEST_F(SettingsFileTest, APictureThatDoesNotDecodeIsReportedAndReadingGoesOn) {
    QFile bad(home.filePath(QStringLiteral("bad.png")));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("this is not a PNG picture at all");
    bad.close();
    setFile("[Color]\nBackground=0x123456\n[Design]\nBgImage=bad.png\nGridSize=33\n"
            "SnapGrid=1\n[Sound]\nVolume=70\n");
    const SettingsReadResult result = read();
    EXPECT_FALSE(result.pictureError.isEmpty());
    EXPECT_TRUE(result.pictureError.contains(QStringLiteral("bad.png")))
        << qPrintable(result.pictureError);
    EXPECT_EQ(result.background, 0x123456);
    EXPECT_EQ(prm.BgImage, home.filePath(QStringLiteral("bad.png"))); // the path stays
    ASSERT_TRUE(prm.bgBitmap);
    EXPECT_TRUE(prm.bgBitmap->isNull());
    // Every step after the picture has run.
    EXPECT_EQ(prm.GridSize, 33);
    EXPECT_TRUE(prm.SnapGrid);
    EXPECT_EQ(prm.Volume, 70);
    ASSERT_TRUE(midiPort);
    EXPECT_EQ(service.messages.size(), 8u);
}

} // namespace
