// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "support/PictureTestSupport.h"

#include "engine/pictures/PictureLoading.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <utility>

namespace {

class PicturePaths : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    // Writes a file of the given content under the home folder.
    void put(const QString& name, const QByteArray& data) {
        ASSERT_TRUE(writeFile(home + name, data)) << name.toStdString();
    }

    QTemporaryDir dir;
    const QString home = dir.path() + QLatin1Char('/');
    const QImage pattern = testPattern(24, 16);
};

TEST_F(PicturePaths, RelativePathsAreJoinedToTheHomeFolderAsTheyStand) {
    put("bg.png", "x");
    ASSERT_TRUE(QDir(home).mkpath("a"));

    QString path = "bg.png";
    EXPECT_TRUE(ResolveFilePath(path, home));
    EXPECT_EQ(path, home + "bg.png");

    path = "./a/../bg.png"; // dot steps are kept, not normalised
    EXPECT_TRUE(ResolveFilePath(path, home));
    EXPECT_EQ(path, home + "./a/../bg.png");

    path = "sub\\sky.png"; // a backslash is an ordinary character here
    EXPECT_FALSE(ResolveFilePath(path, home));
    EXPECT_EQ(path, home + "sub\\sky.png");

    path = "bg.png"; // no separator is added to a home folder without one
    EXPECT_TRUE(ResolveFilePath(path, home + "a/../"));
    path = "png";
    EXPECT_TRUE(ResolveFilePath(path, home + "bg."));
    EXPECT_EQ(path, home + "bg.png");
}

TEST_F(PicturePaths, AbsoluteAndForeignPathsStayAsTheyAre) {
    put("bg.png", "x");
    QString path = home + "bg.png";
    EXPECT_TRUE(ResolveFilePath(path, "/elsewhere/"));
    EXPECT_EQ(path, home + "bg.png");

    for (const QString& foreign :
         {QString("C:\\x"), QString("c:x"), QString("?:bg.png"), QString("\\\\server\\share"),
          QString("\\\\server\\share\\a.png")}) {
        path = foreign;
        EXPECT_FALSE(ResolveFilePath(path, home)) << foreign.toStdString();
        EXPECT_EQ(path, foreign);
    }
    // A single leading backslash is relative, like any other path; with
    // slashes for backslashes it names the home folder's bg.png.
    path = "\\bg.png";
    EXPECT_TRUE(ResolveFilePath(path, home));
    EXPECT_EQ(path, home + "/bg.png");
}

TEST_F(PicturePaths, EmptyPathStaysEmptyAndNamesNothing) {
    QString path;
    EXPECT_FALSE(ResolveFilePath(path, home));
    EXPECT_TRUE(path.isEmpty());
    EXPECT_FALSE(ResolveFilePath(path));
    EXPECT_TRUE(path.isEmpty());
}

TEST_F(PicturePaths, OnlyRegularFilesCountFollowingLinks) {
    put("real.png", encodePicture(pattern, "PNG"));
    ASSERT_TRUE(QDir(home).mkdir("x.png"));
    ASSERT_TRUE(QFile::link(home + "missing.png", home + "dangling.png"));
    ASSERT_TRUE(QFile::link(home + "real.png", home + "link.png"));

    QString path = "x.png";
    EXPECT_FALSE(ResolveFilePath(path, home));
    path = "dangling.png";
    EXPECT_FALSE(ResolveFilePath(path, home));
    path = "link.png";
    EXPECT_TRUE(ResolveFilePath(path, home));
    path = "/dev/null";
    EXPECT_FALSE(ResolveFilePath(path, home));

    QImage image;
    EXPECT_FALSE(LoadPictureFile(&image, "x.png", home));
    EXPECT_FALSE(LoadPictureFile(&image, "dangling.png", home));
    EXPECT_TRUE(image.isNull());
    EXPECT_TRUE(LoadPictureFile(&image, "link.png", home));
    EXPECT_EQ(image.size(), pattern.size());
}

using PictureLoading = PicturePaths;

TEST_F(PictureLoading, EveryJpegSpellingReadsThroughTheJpegReader) {
    const QByteArray jpeg = encodePicture(pattern, "JPEG");
    for (const QString name : {"BG.JPG", "bg.jpg", "bg.Jpe", "bg.jpeg", "photo.JPEG"}) {
        put(name, jpeg);
        QImage image;
        EXPECT_TRUE(LoadPictureFile(&image, name, home)) << name.toStdString();
        EXPECT_EQ(image.size(), pattern.size()) << name.toStdString();
    }
}

TEST_F(PictureLoading, EachFormatDecodesItsOwnPixels) {
    put("bg.png", encodePicture(pattern, "PNG"));
    put("bg.bmp", encodePicture(pattern, "BMP"));
    put("bg.gif", makeGif(5, 3));

    QImage image;
    ASSERT_TRUE(LoadPictureFile(&image, "bg.png", home));
    EXPECT_EQ(image.convertToFormat(QImage::Format_RGB32), pattern);
    ASSERT_TRUE(LoadPictureFile(&image, "bg.bmp", home));
    EXPECT_EQ(image.convertToFormat(QImage::Format_RGB32), pattern);
    ASSERT_TRUE(LoadPictureFile(&image, "bg.gif", home));
    ASSERT_EQ(image.size(), QSize(5, 3));
    EXPECT_EQ(image.pixel(0, 0), qRgb(0, 0, 0));
    EXPECT_EQ(image.pixel(1, 0), qRgb(255, 0, 0));
    EXPECT_EQ(image.pixel(1, 1), qRgb(0, 255, 0));
    EXPECT_EQ(image.pixel(3, 0), qRgb(0, 0, 255));
    EXPECT_EQ(image.pixel(4, 2), qRgb(0, 255, 0));
}

TEST_F(PictureLoading, OtherExtensionsOrNoneReadNothing) {
    const QByteArray jpeg = encodePicture(pattern, "JPEG");
    ASSERT_TRUE(QDir(home).mkpath("pics.d"));
    for (const QString name : {"bg.jfif", "bg.tif", "bg.ico", "bg", "pics.d/bg", "pics.d\\bg",
                               "bg.jpg.old", "bg.png:"}) {
        put(name, jpeg);
        QImage image;
        EXPECT_FALSE(LoadPictureFile(&image, name, home)) << name.toStdString();
        EXPECT_TRUE(image.isNull()) << name.toStdString();

        // The answer only tells whether the destination already held a picture.
        QImage held = testPattern(3, 3);
        EXPECT_TRUE(LoadPictureFile(&held, name, home)) << name.toStdString();
        EXPECT_EQ(held, testPattern(3, 3));
    }
}

TEST_F(PictureLoading, ContentOfAnotherFormatFailsWithTheReadersMessage) {
    put("bg.bmp", encodePicture(pattern, "JPEG"));
    put("bg.png", encodePicture(pattern, "BMP"));
    put("bg.gif", encodePicture(pattern, "PNG"));
    put("bg.jpg", makeGif(4, 4));

    for (const QString name : {"bg.bmp", "bg.png", "bg.gif", "bg.jpg"}) {
        QImage image = testPattern(7, 2);
        try {
            LoadPictureFile(&image, name, home);
            ADD_FAILURE() << name.toStdString() << " was read";
        } catch (const PictureError& e) {
            const QString message = QString::fromStdString(e.what());
            EXPECT_TRUE(message.contains(home + name)) << e.what();
            QImageReader reader(home + name,
                                QFileInfo(name).suffix().toLatin1().replace("jpg", "jpeg"));
            reader.setDecideFormatFromContent(false);
            reader.setAutoDetectImageFormat(false);
            EXPECT_TRUE(reader.read().isNull());
            EXPECT_TRUE(message.contains(reader.errorString())) << e.what();
        }
        EXPECT_EQ(image, testPattern(7, 2)) << name.toStdString(); // kept what it held
    }
}

TEST_F(PictureLoading, CutShortFilesFailInsteadOfShowingAPartialPicture) {
    // Qt's JPEG and BMP readers would fill in the missing part themselves.
    const QImage large = testPattern(64, 48);
    for (const auto& [name, format] : {std::pair{"cut.jpg", "JPEG"}, std::pair{"cut.bmp", "BMP"}}) {
        const QByteArray whole = encodePicture(large, format);
        put(name, whole.left(whole.size() * 3 / 4));
        QImage image;
        EXPECT_THROW(LoadPictureFile(&image, name, home), PictureError) << name;
        EXPECT_TRUE(image.isNull()) << name;
    }
}

TEST_F(PictureLoading, CallersPathIsNeverChanged) {
    put("bg.png", encodePicture(pattern, "PNG"));
    QString path = "bg.png";
    QImage image;
    EXPECT_TRUE(LoadPictureFile(&image, path, home));
    EXPECT_EQ(path, "bg.png");
}

TEST_F(PictureLoading, NullDestinationOrMissingFileLoadsNothing) {
    put("bg.png", encodePicture(pattern, "PNG"));
    EXPECT_FALSE(LoadPictureFile(nullptr, "bg.png", home));
    EXPECT_FALSE(LoadPictureFile(nullptr, "bg.png"));

    QImage held = testPattern(2, 2);
    EXPECT_FALSE(LoadPictureFile(&held, "nothere.png", home)); // not even looked at
    EXPECT_EQ(held, testPattern(2, 2));
    QImage empty;
    EXPECT_FALSE(LoadPictureFile(&empty, "", home));
    EXPECT_FALSE(LoadPictureFile(&empty, "nothere.png", home));
    EXPECT_TRUE(empty.isNull());
}

} // namespace
