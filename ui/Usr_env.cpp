#include "ui/Usr_env.h"

#include "app/IniFile.h"
#include "ui/PlacedWindow.h"
#include "ui/PlacementScreen.h"

#include <QString>

#include <algorithm>
#include <cstdint>
#include <limits>

namespace {

QString section() {
    return QStringLiteral("General");
}

int clampToInt(std::int64_t value) {
    return int(std::clamp<std::int64_t>(value, std::numeric_limits<int>::min(),
                                        std::numeric_limits<int>::max()));
}

// Only with a single monitor: with more, a stored position may rightly be on
// any of them. A window larger than the screen ends with its right or bottom
// edge on the screen's edge and its left or top edge negative.
void keepOnScreen(int& left, int& top, int width, int height, const PlacementScreen& screen) {
    if (screen.monitorCount() != 1) return;
    if (left < 0) left = 0;
    if (top < 0) top = 0;
    if (std::int64_t(left) + width > screen.screenWidth())
        left = clampToInt(std::int64_t(screen.screenWidth()) - width);
    if (std::int64_t(top) + height > screen.screenHeight())
        top = clampToInt(std::int64_t(screen.screenHeight()) - height);
}

// A size of 0 or less would leave the window invisible or malformed, so a
// stored one is taken as absent.
int readSize(IniFile& ini, const QString& key, int def) {
    const int value = ini.ReadInteger(section(), key, def);
    return value > 0 ? value : def;
}

} // namespace

void LoadMainFormPos(PlacedWindow& form, IniFile& ini, const PlacementScreen& screen, int defWidth,
                     int defHeight) {
    int width = form.normalWidth();
    int height = form.normalHeight();
    if (defWidth > 0) width = readSize(ini, QStringLiteral("WinWidth"), defWidth);
    if (defHeight > 0) height = readSize(ini, QStringLiteral("WinHeight"), defHeight);
    int left = ini.ReadInteger(section(), QStringLiteral("WinLeft"),
                               clampToInt((std::int64_t(screen.screenWidth()) - width) / 2));
    int top = ini.ReadInteger(section(), QStringLiteral("WinTop"),
                              clampToInt((std::int64_t(screen.screenHeight()) - height) / 2));
    keepOnScreen(left, top, width, height, screen);
    form.setNormalGeometry(left, top, width, height);

    const int state = ini.ReadInteger(section(), QStringLiteral("WinState"), PlacedWindow::Normal);
    // Only 0, 1 and 2 mean anything; a hand-edited other value opens normal.
    form.setWindowState(state == PlacedWindow::Minimised   ? PlacedWindow::Minimised
                        : state == PlacedWindow::Maximised ? PlacedWindow::Maximised
                                                           : PlacedWindow::Normal);
}

void SaveMainFormPos(PlacedWindow& form, IniFile& ini) {
    // A minimised window is saved as normal, with the bounds it had before.
    if (form.windowState() == PlacedWindow::Minimised) form.setWindowState(PlacedWindow::Normal);
    ini.WriteInteger(section(), QStringLiteral("WinState"), form.windowState());
    if (form.windowState() == PlacedWindow::Maximised) form.setWindowState(PlacedWindow::Normal);
    ini.WriteInteger(section(), QStringLiteral("WinLeft"), form.normalLeft());
    ini.WriteInteger(section(), QStringLiteral("WinTop"), form.normalTop());
    ini.WriteInteger(section(), QStringLiteral("WinWidth"), form.normalWidth());
    ini.WriteInteger(section(), QStringLiteral("WinHeight"), form.normalHeight());
}

void LoadFormPos(PlacedWindow& form, IniFile& ini, const PlacementScreen& screen, int defLeft,
                 int defTop, int defWidth, int defHeight) {
    const QString name = form.componentName();
    int left = ini.ReadInteger(section(), name + QStringLiteral("Left"), defLeft);
    int top = ini.ReadInteger(section(), name + QStringLiteral("Top"), defTop);
    int width = form.normalWidth();
    int height = form.normalHeight();
    if (!form.hasDialogFrame() && defWidth > 0 && defHeight > 0) {
        width = readSize(ini, name + QStringLiteral("Width"), defWidth);
        height = readSize(ini, name + QStringLiteral("Height"), defHeight);
    }
    keepOnScreen(left, top, width, height, screen);
    form.setNormalGeometry(left, top, width, height);
}

void SaveFormPos(PlacedWindow& form, IniFile& ini) {
    const QString name = form.componentName();
    ini.WriteInteger(section(), name + QStringLiteral("Left"), form.normalLeft());
    ini.WriteInteger(section(), name + QStringLiteral("Top"), form.normalTop());
    if (form.hasDialogFrame()) return;
    ini.WriteInteger(section(), name + QStringLiteral("Width"), form.normalWidth());
    ini.WriteInteger(section(), name + QStringLiteral("Height"), form.normalHeight());
}
