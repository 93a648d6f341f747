// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "audio/SystemMidiService.h"
#include "desktop/InstanceGuard.h"
#include "desktop/MainForm.h"
#include "desktop/MaruletApplication.h"
#include "engine/program/CommandLine.h"
#include "engine/program/StopSignals.h"
#include "engine/settings/HomeFolder.h"
#include "engine/settings/IniFile.h"
#include "engine/settings/SettingsFile.h"

#include <exception>
#include <memory>

int main(int argc, char** argv) {
    // --help and --version answer before the lock, the settings and the display are touched.
    if (const auto code = answerCommandLine(argc, argv, stdout, stderr)) return *code;

    InstanceGuard guard(QStringLiteral("Marulet_is_running"));
    if (!guard.acquired()) return -1; // another copy runs: leave quietly

    // The field repaints at every tick. Through X's shared memory each
    // repaint waits for the server's completion event, waking Qt's X
    // reader thread and the UI thread again 20 times a second; the few
    // changed pieces (some 50 KB a tick) go through the socket instead. A user's own
    // setting of the variable stands.
    if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM")) qputenv("QT_XCB_NO_MITSHM", "1");
    MaruletApplication app(argc, argv);
    // Stopped or logged out: closed and saved like the close box, exit code 0.
    StopSignals stop;
    std::unique_ptr<TMaruletMainForm> form;
    try {
        // A soundfont named in the settings comes before the usual places.
        QStringList soundFonts = EmbeddedSynth::defaultSoundFonts();
        {
            IniFile ini(SettingsFilePath());
            const QString chosen = ChosenSoundFont(ini, HomeFolder());
            if (!chosen.isEmpty()) soundFonts.prepend(chosen);
        }
        form = std::make_unique<TMaruletMainForm>(SettingsFilePath(),
                                                  std::make_unique<SystemMidiService>(soundFonts));
        QObject::connect(&stop, &StopSignals::received, form.get(), [&stop, &form] {
            stop.release(); // asked twice, the process ends at once
            form->quitSaving();
        });
        form->createDialogs();
        form->FormShow();
        form->show();
        app.exec();
    } catch (const std::exception& e) {
        MaruletApplication::showError(QString::fromUtf8(e.what()));
    } catch (...) {
        MaruletApplication::showError(QString());
    }
    guard.release();
    form.reset();
    return 0;
}
