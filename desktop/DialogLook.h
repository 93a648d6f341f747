// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

class QGroupBox;
class QLabel;
class QWidget;

// Small helpers that keep the dialogs' pixel layouts readable at the real
// font sizes of the CJK faces, whose lines are taller and glyphs wider than
// the layouts were drawn for.

// The frame line runs through the middle of the title, so controls placed
// just below the title stay inside the frame. Call it once the box's
// children are made.
void setTitleOnFrame(QGroupBox* box);

// Widens the control to its text from the same top-left corner, as far as
// its parent has room.
void widenToText(QWidget* control);

// Tightens the label's letters, then its size, until its right edge stays
// clear of `limit` (the left edge of the control beside it). A label that
// fits is left as it is.
void fitLabelBefore(QLabel* label, int limit);
