// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "audio/SystemMidiService.h"
#include "desktop/MainForm.h"
#include "desktop/Recording.h"
#include "engine/midi/TMidiPort.h"
#include "engine/settings/IniFile.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Where the recording save dialogs open, under a home folder of the test's own.
class RecordingFoldersTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    const QString home = dir.filePath("home");
    const QString music = home + "/Music";
    const QString ini = dir.filePath("marulet.INI");
    std::unique_ptr<TMaruletMainForm> form;
    QString answer;     // the file the next save dialog chooses; empty: cancelled
    QStringList opened; // the folder each save dialog opened in

    RecordingFoldersTest() {
        saved = {{"HOME", qgetenv("HOME"), qEnvironmentVariableIsSet("HOME")},
                 {"XDG_CONFIG_HOME", qgetenv("XDG_CONFIG_HOME"),
                  qEnvironmentVariableIsSet("XDG_CONFIG_HOME")}};
        QDir().mkpath(music);
        qputenv("HOME", QFile::encodeName(home));
        // No user-dirs.dirs there: the music folder is ~/Music.
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.filePath("config")));
    }
    ~RecordingFoldersTest() override {
        form.reset();
        for (const auto& [name, value, set] : saved)
            set ? qputenv(name, value) : qunsetenv(name);
    }

    void open() {
        form.reset();
        form = std::make_unique<TMaruletMainForm>(
            ini, std::make_unique<SystemMidiService>(QStringList{}, QStringList{}));
        form->createDialogs();
        form->FormShow();
        form->show();
        midiPort->deviceId = 0; // the built-in synthesizer: audio can be recorded
        form->runFileDialog = [this](QFileDialog& dialog) {
            opened << dialog.directory().absolutePath();
            return answer;
        };
    }

    // Runs a recording item and says where its save dialog opened.
    QString folderOf(QAction* item, const QString& choose = QString()) {
        answer = choose;
        const qsizetype before = opened.size();
        item->trigger();
        return opened.size() > before ? opened.last() : QStringLiteral("(no dialog)");
    }

    QString remembered(const char* key) const {
        return IniFile(ini).ReadString("Recording", key, "(none)");
    }

private:
    struct Variable {
        const char* name;
        QByteArray value;
        bool set;
    };
    std::vector<Variable> saved;
};

TEST_F(RecordingFoldersTest, AtFirstTheMusicFolderElseHomeAndNothingIsWrittenWithoutARecording) {
    open();
    EXPECT_EQ(folderOf(form->MidiRecItem), music);
    EXPECT_EQ(folderOf(form->WavRecItem), music);
    ASSERT_TRUE(QDir(music).removeRecursively());
    EXPECT_EQ(folderOf(form->MidiRecItem), home);
    EXPECT_EQ(folderOf(form->WavRecItem), home);
    EXPECT_FALSE(form->recording().active());

    form->close();
    IniFile settings(ini);
    EXPECT_TRUE(settings.SectionExists("General")); // the file was written at close
    EXPECT_FALSE(settings.SectionExists("Recording"));
}

TEST_F(RecordingFoldersTest, EachKindRemembersTheFolderOfItsLastRecordingAcrossRuns) {
    const QString midiTakes = dir.filePath("takes/midi"), wavTakes = dir.filePath("takes/wav");
    ASSERT_TRUE(QDir().mkpath(midiTakes));
    ASSERT_TRUE(QDir().mkpath(wavTakes));
    open();
    EXPECT_EQ(folderOf(form->MidiRecItem, midiTakes + "/a.mid"), music);
    ASSERT_TRUE(form->recording().midiActive());
    form->MidiRecItem->trigger(); // stops
    EXPECT_EQ(folderOf(form->MidiRecItem), midiTakes);
    EXPECT_EQ(folderOf(form->WavRecItem), music); // the other kind keeps its own

    EXPECT_EQ(folderOf(form->WavRecItem, wavTakes + "/b.wav"), music);
    ASSERT_TRUE(form->recording().audioActive());
    form->WavRecItem->trigger();
    EXPECT_EQ(folderOf(form->WavRecItem), wavTakes);
    EXPECT_EQ(folderOf(form->MidiRecItem), midiTakes);
    form->close();
    EXPECT_EQ(remembered("MidiFolder"), midiTakes);
    EXPECT_EQ(remembered("AudioFolder"), wavTakes);

    // The next run opens there, and a folder since removed gives way.
    open();
    EXPECT_EQ(folderOf(form->MidiRecItem), midiTakes);
    EXPECT_EQ(folderOf(form->WavRecItem), wavTakes);
    ASSERT_TRUE(QDir(midiTakes).removeRecursively());
    EXPECT_EQ(folderOf(form->MidiRecItem), music);
    EXPECT_EQ(folderOf(form->WavRecItem), wavTakes);
}

} // namespace
