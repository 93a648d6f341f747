// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "desktop/Translations.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QPushButton>

#include <gtest/gtest.h>

namespace {

QString cancelText() {
    QDialogButtonBox box(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    return box.button(QDialogButtonBox::Cancel)->text();
}

TEST(Language, QtsOwnButtonsAndOurMessagesSpeakTheChosenLanguage) {
    Translations language;
    EXPECT_EQ(language.apply("ja"), "ja");
    EXPECT_TRUE(language.qtTranslationLoaded());
    EXPECT_EQ(cancelText(), "キャンセル");
    EXPECT_EQ(QCoreApplication::translate("AtomicFile", "the file is read-only"),
              "ファイルは読み取り専用です");
    EXPECT_EQ(QCoreApplication::translate("TDesignDlg", "デザイン設定"), "デザイン設定");

    EXPECT_EQ(language.apply("en"), "en");
    EXPECT_EQ(cancelText().remove('&'), "Cancel");
    EXPECT_EQ(QCoreApplication::translate("TDesignDlg", "デザイン設定"), "Design");
    EXPECT_EQ(QCoreApplication::translate("AtomicFile", "the file is read-only"),
              "the file is read-only");
}

TEST(Language, AnythingButEnglishIsTheDefaultJapanese) {
    EXPECT_EQ(Translations::normalise(" EN "), "en");
    for (const char* other : {"", "ja", "fr", "english", "1"})
        EXPECT_EQ(Translations::normalise(other), "ja") << other;
    {
        Translations language;
        language.apply("en");
    }
    // Gone with its owner: the source texts again.
    EXPECT_EQ(QCoreApplication::translate("TDesignDlg", "デザイン設定"), "デザイン設定");
    EXPECT_EQ(cancelText().remove('&'), "Cancel");
}

} // namespace
