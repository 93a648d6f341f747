#include "app/HomeFolder.h"
#include "app/IniFile.h"
#include "app/InstanceGuard.h"
#include "app/MainForm.h"
#include "app/MaruletApplication.h"
#include "app/SettingsFile.h"
#include "sound/SystemMidiService.h"

#include <exception>
#include <memory>

int main(int argc, char** argv) {
    InstanceGuard guard(QStringLiteral("Marulet_is_running"));
    if (!guard.acquired()) return -1; // another copy runs: leave quietly

    MaruletApplication app(argc, argv);
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
