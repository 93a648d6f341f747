// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "desktop/Recording.h"
#include "audio/SystemMidiService.h"
#include "desktop/MainForm.h"
#include "engine/midi/RecordingMidiService.h"
#include "engine/midi/TMidiPort.h"
#include "engine/settings/RecordingFolders.h"
#include "support/TestDisk.h"
#include "support/TestFiles.h"

#include <QAction>
#include <QFileDialog>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <future>
#include <sndfile.h>
#include <sys/resource.h>
#include <thread>
#include <utility>

namespace {

const QByteArray kEndOfTrack("\xFF\x2F\x00", 3); // after a delta of its own

// How many times a byte pattern occurs.
int count(const QByteArray& data, const QByteArray& pattern) {
    int n = 0;
    for (qsizetype at = data.indexOf(pattern); at >= 0; at = data.indexOf(pattern, at + 1))
        ++n;
    return n;
}

class RecordingTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    std::unique_ptr<TMaruletMainForm> form;
    QStringList asked; // what each save dialog was set up with
    QString answer;

    void makeForm(std::unique_ptr<MidiOutService> service) {
        form = std::make_unique<TMaruletMainForm>(dir.filePath("marulet.INI"), std::move(service));
        form->createDialogs();
        form->FormShow();
        form->show();
        form->runFileDialog = [this](QFileDialog& dialog) {
            asked << QStringLiteral("%1|%2|%3|%4|%5")
                         .arg(
                             dialog.defaultSuffix(), dialog.directory().absolutePath(),
                             QString::number(dialog.acceptMode() == QFileDialog::AcceptSave),
                             QString::number(!dialog.testOption(QFileDialog::DontConfirmOverwrite)),
                             dialog.nameFilters().join(QLatin1Char(';')));
            return answer;
        };
    }
    QMenu* fileMenu() { return form->MainMenu1->findChild<QMenu*>(QStringLiteral("File1")); }
    void openFileMenu() { emit fileMenu()->aboutToShow(); }
};

TEST_F(RecordingTest, MidiItemStartsAndStopsARecordingThatSurvivesUntilClose) {
    makeForm(std::make_unique<RecordingMidiService>());
    openFileMenu();
    QAction* item = form->MidiRecItem;
    EXPECT_FALSE(item->isChecked());
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Marulet"));

    // Access keys of the File menu stay distinct.
    QList<QChar> keys;
    for (const QAction* a : fileMenu()->actions()) {
        const qsizetype amp = a->text().indexOf(QLatin1Char('&'));
        if (amp < 0) continue;
        EXPECT_FALSE(keys.contains(a->text()[amp + 1].toUpper())) << a->text().toStdString();
        keys << a->text()[amp + 1].toUpper();
    }

    answer.clear(); // cancelled: nothing starts
    item->trigger();
    EXPECT_FALSE(form->recording().midiActive());
    EXPECT_FALSE(item->isChecked());
    ASSERT_EQ(asked.size(), 1);
    // The folder itself is RecordingFoldersTest's business.
    EXPECT_TRUE(asked[0].startsWith(
        QStringLiteral("mid|%1|1|1|")
            .arg(QDir(recordingFolder(form->settings(), RecordingKind::Midi)).absolutePath())));
    EXPECT_TRUE(asked[0].endsWith(QStringLiteral("(*.mid)"))) << qPrintable(asked[0]);

    answer = dir.filePath("take.mid");
    item->trigger();
    ASSERT_TRUE(form->recording().midiActive());
    EXPECT_TRUE(item->isChecked());
    EXPECT_EQ(item->text(), QStringLiteral("MIDI録音を停止(&M)"));
    EXPECT_TRUE(form->windowTitle().contains(QStringLiteral("REC")));
    EXPECT_TRUE(form->windowTitle().startsWith(QStringLiteral("Marulet")));

    midiPort->NoteOn(2, 64, 100);
    // A device change goes on recording: the old device's all-notes-off,
    // then what the new one is sent.
    midiPort->Close();
    midiPort->Open();
    midiPort->NoteOn(2, 65, 100);
    form->close(); // completes the file, after the port's last messages
    EXPECT_FALSE(form->recording().midiActive());
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Marulet"));

    const QByteArray file = readFile(answer);
    ASSERT_TRUE(file.startsWith("MThd"));
    EXPECT_TRUE(file.endsWith(kEndOfTrack));
    EXPECT_EQ(count(file, QByteArray("\x92\x40\x64", 3)), 1);
    EXPECT_EQ(count(file, QByteArray("\x92\x41\x64", 3)), 1);
    EXPECT_EQ(count(file, QByteArray("\xBF\x7B\x00", 3)), 2); // two closes
}

TEST_F(RecordingTest, AudioCanOnlyBeRecordedFromTheBuiltInSynthesizer) {
    makeForm(std::make_unique<RecordingMidiService>());
    openFileMenu();
    EXPECT_FALSE(form->WavRecItem->isEnabled()); // a device without audio to tap
    EXPECT_TRUE(form->WavRecItem->toolTip().contains(QStringLiteral("Marulet Synth")));

    // The real outputs, with no soundfont: device 0 is still the synthesizer.
    form.reset();
    makeForm(std::make_unique<SystemMidiService>(QStringList{}, QStringList{}));
    midiPort->deviceId = 0;
    openFileMenu();
    QAction* item = form->WavRecItem;
    ASSERT_TRUE(item->isEnabled());
    EXPECT_TRUE(item->statusTip().isEmpty());
    answer = dir.filePath("take.wav");
    item->trigger();
    EXPECT_TRUE(asked.last().startsWith(QStringLiteral("wav|")));
    ASSERT_TRUE(form->recording().audioActive());
    EXPECT_TRUE(item->isChecked());
    EXPECT_EQ(item->text(), QStringLiteral("音声録音を停止(&A)"));

    midiPort->deviceId = 1; // an external port now: stopping stays possible
    openFileMenu();
    EXPECT_TRUE(item->isEnabled());
    item->trigger();
    EXPECT_FALSE(form->recording().audioActive());
    EXPECT_FALSE(item->isEnabled());
    EXPECT_TRUE(item->toolTip().contains(QStringLiteral("Marulet Synth")));
    EXPECT_FALSE(item->statusTip().isEmpty());
    EXPECT_EQ(item->text(), QStringLiteral("音声録音を開始(&A)..."));
    SF_INFO info{};
    SNDFILE* wav = sf_open(QFile::encodeName(answer).constData(), SFM_READ, &info);
    ASSERT_NE(wav, nullptr);
    sf_close(wav);
    EXPECT_EQ(info.channels, 2);
}

TEST_F(RecordingTest, TheTapIsHandedOverAndTakenBack) {
    RecordingMidiService device;
    AudioTap* tap = nullptr;
    int handovers = 0;
    Recording recording(device, [&](AudioTap* t) {
        tap = t;
        ++handovers;
    });
    TMidiPort port(recording.output());
    EXPECT_FALSE(recording.startAudio(dir.filePath("no/such/folder/a.wav")));
    EXPECT_FALSE(recording.lastError().isEmpty());
    EXPECT_EQ(handovers, 0);

    const QString path = dir.filePath("a.wav");
    ASSERT_TRUE(recording.startAudio(path));
    ASSERT_NE(tap, nullptr);
    std::thread audio([tap] {
        std::vector<float> block(2 * 441, 0.25f);
        for (int i = 0; i < 100; ++i)
            tap->audioRendered(block.data(), 441, 44100);
    });
    audio.join();
    recording.stopAudio();
    EXPECT_EQ(tap, nullptr);
    EXPECT_EQ(handovers, 2);
    SF_INFO info{};
    SNDFILE* wav = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
    ASSERT_NE(wav, nullptr);
    sf_close(wav);
    EXPECT_EQ(info.frames, 44100);
    EXPECT_EQ(info.samplerate, 44100);
}

TEST_F(RecordingTest, AFullDiskEndsBothRecordingsWithAMessageAndKeepsTheFiles) {
    RecordingMidiService device;
    AudioTap* tap = nullptr;
    Recording recording(device, [&](AudioTap* t) { tap = t; });
    TMidiPort port(recording.output());
    port.Open();
    const QString midi = dir.filePath("full.mid"), wav = dir.filePath("full.wav");
    ASSERT_TRUE(recording.startMidi(midi));
    ASSERT_TRUE(recording.startAudio(wav));
    QSignalSpy failures(&recording, &Recording::failed);

    // A file size limit fails writes the way a full disk does.
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 32 * 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    for (int i = 0; i < 20000; ++i)
        port.NoteOn(i % 4, 60, i % 2 ? 100 : 0);
    std::vector<float> block(2 * 4096, 0.1f);
    for (int i = 0; i < 10; ++i)
        tap->audioRendered(block.data(), 4096, 44100);
    const bool ended = QTest::qWaitFor([&] { return !recording.active(); }, 10000);
    recording.waitForFiles(); // completed off this thread
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldSignal);

    ASSERT_TRUE(ended);
    EXPECT_EQ(tap, nullptr);
    ASSERT_EQ(failures.size(), 2);
    for (const auto& failure : failures)
        EXPECT_TRUE(failure[0].toString().contains(QStringLiteral("keeps what was recorded")));
    const QByteArray file = readFile(midi);
    EXPECT_TRUE(file.startsWith("MThd"));
    EXPECT_TRUE(file.endsWith(kEndOfTrack));
    SF_INFO info{};
    SNDFILE* sound = sf_open(QFile::encodeName(wav).constData(), SFM_READ, &info);
    ASSERT_NE(sound, nullptr);
    sf_close(sound);
    EXPECT_GT(info.frames, 4096);
}

// The track's length as its header says, and whether the file holds it all.
bool trackComplete(const QByteArray& file) {
    if (file.size() < 22 || !file.startsWith("MThd")) return false;
    const auto* bytes = reinterpret_cast<const unsigned char*>(file.constData());
    const std::uint32_t length = std::uint32_t(bytes[18]) << 24 | std::uint32_t(bytes[19]) << 16 |
                                 std::uint32_t(bytes[20]) << 8 | bytes[21];
    return file.size() == 22 + qsizetype(length) && file.endsWith(kEndOfTrack);
}

TEST_F(RecordingTest, AFailedSyncStopsTheMidiRecordingAsAFullDiskDoes) {
    RecordingMidiService device;
    TestDisk disk;
    disk.failSync(3); // the set-up's two syncs go through, the first kept notes' does not
    Recording recording(device, {}, nullptr, disk.opener());
    TMidiPort port(recording.output());
    port.Open();
    const QString midi = dir.filePath("failing.mid");
    ASSERT_TRUE(recording.startMidi(midi));
    QSignalSpy failures(&recording, &Recording::failed);
    port.NoteOn(0, 60, 100);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !recording.midiActive(); }, 10000));
    recording.waitForFiles();
    QCoreApplication::processEvents();

    ASSERT_EQ(failures.size(), 1);
    EXPECT_EQ(failures[0][0].toString(),
              QStringLiteral("The MIDI recording stopped: %1. The file keeps what was recorded "
                             "until then.")
                  .arg(QString::fromLocal8Bit(std::strerror(EIO))));
    EXPECT_EQ(recording.lastError(), failures[0][0].toString());
    const QByteArray file = readFile(midi);
    EXPECT_TRUE(trackComplete(file));
    EXPECT_EQ(count(file, QByteArray("\x90\x3C\x64", 3)), 0)
        << "a note that never reached the disk";
}

// The tick's thread hands events on and goes: the commit every two seconds
// and the stop return while the disk does not answer.
TEST_F(RecordingTest, AStalledDiskHoldsUpNeitherTheTicksNorTheStop) {
    RecordingMidiService device;
    TestDisk disk;
    disk.stallSyncs();
    Recording recording(device, {}, nullptr, disk.opener());
    TMidiPort port(recording.output());
    port.Open();
    const QString midi = dir.filePath("stalled.mid");
    ASSERT_TRUE(recording.startMidi(midi));
    ASSERT_TRUE(disk.waitUntilStalled(std::chrono::seconds(10)));

    // Lets the disk go after ten seconds, should anything here wait for it.
    std::promise<void> returned;
    std::atomic<bool> rescued{false};
    std::thread watchdog([&, done = returned.get_future()] {
        if (done.wait_for(std::chrono::seconds(10)) == std::future_status::timeout) {
            rescued = true;
            disk.release();
        }
    });
    bool told = false;
    const auto end = [&] {
        if (!std::exchange(told, true)) returned.set_value();
        if (watchdog.joinable()) watchdog.join();
        disk.release();
    };
    // Before the recording waits for its files, whatever happens.
    const auto guard = std::shared_ptr<void>(nullptr, [&](void*) { end(); });

    for (int i = 0; i < 100; ++i)
        port.NoteOn(i % 4, 40 + i % 40, i % 2 ? 0 : 100);
    QTest::qWait(2500); // the recording's commit comes round
    port.NoteOn(3, 70, 100);
    recording.stopMidi();
    EXPECT_FALSE(recording.midiActive());
    end();
    EXPECT_FALSE(rescued) << "the tick's thread waited for the disk";

    recording.waitForFiles();
    const QByteArray file = readFile(midi);
    EXPECT_TRUE(trackComplete(file));
    EXPECT_EQ(count(file, QByteArray("\x93\x46\x64", 3)), 1);
    EXPECT_EQ(count(file, QByteArray("\x93\x46\x00", 3)), 1) << "the note sounding at the stop";
}

} // namespace
