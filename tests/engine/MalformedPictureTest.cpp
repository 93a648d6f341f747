// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "support/PictureTestSupport.h"

#include "engine/pictures/PictureLoading.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define MARULET_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define MARULET_ASAN 1
#endif
#endif

namespace {

// AddressSanitizer keeps up to 256 MB of freed memory in quarantine; a
// picture of the claimed 1.6 GB would still show.
#ifdef MARULET_ASAN
constexpr long long kGrowthLimit = 400LL * 1024 * 1024;
#else
constexpr long long kGrowthLimit = 50LL * 1024 * 1024;
#endif

long long residentBytes() {
    long long size = 0, resident = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%lld %lld", &size, &resident) != 2) resident = 0;
        std::fclose(statm);
    }
    return resident * sysconf(_SC_PAGESIZE);
}

enum class Outcome { Loaded, Failed, Empty };

void PrintTo(Outcome outcome, std::ostream* os) {
    *os << (outcome == Outcome::Loaded   ? "loaded"
            : outcome == Outcome::Failed ? "failed"
                                         : "empty");
}

struct Sample {
    const char* name;
    const char* format;
    QByteArray data;
    // The shortest cut that still holds the whole picture: a GIF without its
    // trailer, a PNG without its end chunk's checksum. JPEG has no way to tell
    // the last scan is whole but its end marker.
    qsizetype whole;
};

// Every test ends with the process holding no more than 50 MB above where it
// started, whatever the files claimed.
class MalformedPictures : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        // Load each reader once so its plugin is not counted as growth.
        for (const Sample& s : samples()) {
            put(s.name, s.data);
            ASSERT_EQ(load(s.name), Outcome::Loaded) << s.name;
        }
        startBytes = residentBytes();
        ASSERT_GT(startBytes, 0);
    }

    void TearDown() override {
        const long long growth = residentBytes() - startBytes;
        RecordProperty("ResidentGrowthKiB", std::to_string(growth / 1024));
        std::printf("resident memory growth: %lld KiB\n", growth / 1024);
        EXPECT_LT(growth, kGrowthLimit);
    }

    std::vector<Sample> samples() const {
        const QImage picture = testPattern(64, 48);
        const QByteArray png = encodePicture(picture, "PNG");
        const QByteArray jpeg = encodePicture(picture, "JPEG");
        const QByteArray bmp = encodePicture(picture, "BMP");
        const QByteArray gif = makeGif(64, 48);
        return {{"bg.png", "PNG", png, png.size() - 4},
                {"bg.jpg", "JPEG", jpeg, jpeg.size()},
                {"bg.bmp", "BMP", bmp, bmp.size()},
                {"bg.gif", "GIF", gif, gif.size() - 1}};
    }

    void put(const QString& name, const QByteArray& data) {
        ASSERT_TRUE(writeFile(home + name, data));
    }

    Outcome load(const QString& name) {
        QImage image;
        try {
            return LoadPictureFile(&image, name, home) ? Outcome::Loaded : Outcome::Empty;
        } catch (const PictureError&) {
            EXPECT_TRUE(image.isNull());
            return Outcome::Failed;
        }
    }

    QTemporaryDir dir;
    const QString home = dir.path() + QLatin1Char('/');
    long long startBytes = 0;
};

TEST_F(MalformedPictures, CutShortTheyFailUnlessThePictureIsWhole) {
    for (const Sample& s : samples()) {
        const qsizetype size = s.data.size();
        std::vector<qsizetype> lengths;
        for (qsizetype n = 0; n < size; n += std::max<qsizetype>(1, size / 200))
            lengths.push_back(n);
        for (qsizetype n = std::max<qsizetype>(0, size - 24); n < size; ++n)
            lengths.push_back(n);
        for (qsizetype n : lengths) {
            put(s.name, s.data.left(n));
            const Outcome outcome = load(s.name);
            EXPECT_EQ(outcome, n < s.whole ? Outcome::Failed : Outcome::Loaded)
                << s.name << " cut to " << n << " of " << size;
        }
    }
}

TEST_F(MalformedPictures, DamagedBytesNeverCrash) {
    std::mt19937 random(20240611);
    for (const Sample& s : samples()) {
        for (int round = 0; round < 150; ++round) {
            QByteArray damaged = s.data;
            for (int k = 0; k < 1 + round % 4; ++k)
                damaged[random() % damaged.size()] = char(random() & 0xFF);
            put(s.name, damaged);
            // A reader that reports success has delivered a picture.
            EXPECT_NE(load(s.name), Outcome::Empty) << s.name << " round " << round;
        }
    }
}

TEST_F(MalformedPictures, AHugeClaimedSizeFailsWithoutAllocatingIt) {
    for (const Sample& s : samples()) {
        const QByteArray huge = withClaimedSize(s.data, s.format, 20000, 20000);
        ASSERT_NE(huge, s.data) << s.name;
        put(s.name, huge);
        QImage image;
        try {
            LoadPictureFile(&image, s.name, home);
            ADD_FAILURE() << s.name << " was read";
        } catch (const PictureError& e) {
            // Qt's BMP reader refuses such a header outright and reports no size.
            if (s.format != QByteArray("BMP")) {
                EXPECT_NE(std::string(e.what()).find("20000 x 20000"), std::string::npos)
                    << e.what();
            }
        }
        EXPECT_TRUE(image.isNull());
        EXPECT_LT(residentBytes() - startBytes, kGrowthLimit) << s.name;
    }
}

TEST_F(MalformedPictures, AnotherFormatUnderAPictureNameFails) {
    QImage mono(16, 8, QImage::Format_Mono);
    mono.fill(1);
    const QByteArray xbm = encodePicture(mono, "XBM");
    ASSERT_TRUE(xbm.startsWith("#define")) << xbm.constData();
    for (const char* name : {"x.png", "x.jpg", "x.gif", "x.bmp"}) {
        put(name, xbm);
        EXPECT_EQ(load(name), Outcome::Failed) << name;
    }
}

} // namespace
