// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "engine/placement/WindowPlacementStore.h"

#include "engine/placement/PlacedWindow.h"
#include "engine/placement/PlacementScreen.h"
#include "engine/settings/IniFile.h"

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

// Back onto the screen, the right or bottom
// edge on the screen's edge when the window is too big for it. Works on the
// outer size, so the frame ends on the screen too.
void keepWithin(int& left, int& top, int outerWidth, int outerHeight, const QRect& screen) {
    if (left < screen.left()) left = screen.left();
    if (top < screen.top()) top = screen.top();
    if (std::int64_t(left) + outerWidth > std::int64_t(screen.left()) + screen.width())
        left = clampToInt(std::int64_t(screen.left()) + screen.width() - outerWidth);
    if (std::int64_t(top) + outerHeight > std::int64_t(screen.top()) + screen.height())
        top = clampToInt(std::int64_t(screen.top()) + screen.height() - outerHeight);
}

// Whether the title bar (without one, the top edge) lies on the monitor far
// enough to be grabbed.
bool titleBarOn(const QRect& monitor, int left, int top, int outerWidth, const QMargins& frame) {
    constexpr int kGrip = 64;
    const std::int64_t right = std::min<std::int64_t>(
        std::int64_t(left) + outerWidth, std::int64_t(monitor.left()) + monitor.width());
    const std::int64_t shown = right - std::max(left, monitor.left());
    const int bar = std::max(frame.top(), 1);
    return top >= monitor.top() &&
           std::int64_t(top) + bar <= std::int64_t(monitor.top()) + monitor.height() &&
           shown >= std::min(kGrip, outerWidth);
}

// Hand-edited or stale values never hide a window: a size larger than the
// monitor's free area shrinks to it, and a window whose title bar lies on no
// monitor that exists now is brought onto the primary one. With one monitor
// the window is kept wholly on it; with more, any place where the title bar
// can be grabbed is kept as read.
void placeOnScreen(int& left, int& top, int& width, int& height, const QMargins& frame,
                   const PlacementScreen& screen) {
    const std::vector<PlacementScreen::Monitor> monitors = screen.monitors();
    if (monitors.empty()) return;
    const int frameWidth = frame.left() + frame.right();
    const int frameHeight = frame.top() + frame.bottom();
    auto outerWidth = [&] { return clampToInt(std::int64_t(width) + frameWidth); };
    auto outerHeight = [&] { return clampToInt(std::int64_t(height) + frameHeight); };

    const PlacementScreen::Monitor* home = nullptr;
    for (const auto& monitor : monitors)
        if (titleBarOn(monitor.full, left, top, outerWidth(), frame)) {
            home = &monitor;
            break;
        }
    const bool moveHome = monitors.size() == 1 || !home;
    if (!home) home = &monitors.front();

    width = std::min(width, std::max(1, home->available.width() - frameWidth));
    height = std::min(height, std::max(1, home->available.height() - frameHeight));
    if (moveHome) keepWithin(left, top, outerWidth(), outerHeight(), home->full);
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
    placeOnScreen(left, top, width, height, form.frameMargins(), screen);
    form.setNormalGeometry(left, top, width, height);
    form.keepOnScreenOnceFramed();

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
    placeOnScreen(left, top, width, height, form.frameMargins(), screen);
    form.setNormalGeometry(left, top, width, height);
    form.keepOnScreenOnceFramed();
}

void KeepFormOnScreen(PlacedWindow& form, const PlacementScreen& screen) {
    int left = form.normalLeft();
    int top = form.normalTop();
    int width = form.normalWidth();
    int height = form.normalHeight();
    placeOnScreen(left, top, width, height, form.frameMargins(), screen);
    if (left != form.normalLeft() || top != form.normalTop() || width != form.normalWidth() ||
        height != form.normalHeight())
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
