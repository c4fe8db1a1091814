// Discs read through libdvdread: the title and track list from a VIDEO_TS
// folder, the folder holding it and an image, and the failures a disc can
// give. Each track's conversion is checked in tests/e2e.
#include "AudioProbe.h"
#include "DiscFixture.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace tvtest;

namespace {

const discfixture::Disc &disc()
{
    static const discfixture::Disc d = discfixture::make(QString::fromStdString(scratchDir()));
    return d;
}

} // namespace

TEST(TromvaxDisc, ListsTitlesChaptersAndTracksWithLanguages)
{
    ASSERT_TRUE(disc().valid());
    const std::string expected = "title 1 12.000 3 5\n"
                                 "chapter 1 1 0.000\n"
                                 "chapter 1 2 4.000\n"
                                 "chapter 1 3 8.000\n"
                                 "audio 1 0x80 ac3 6 en -\n"
                                 "audio 1 0x81 ac3 2 en commentary\n"
                                 "audio 1 0xA2 lpcm 2 fr -\n"
                                 "audio 1 0xC3 mpeg 2 it -\n"
                                 "audio 1 0x8C dts 2 de -\n"
                                 "title 2 6.000 1 1\n"
                                 "chapter 2 1 0.000\n"
                                 "audio 2 0x80 ac3 2 es -\n";
    // The folder that holds VIDEO_TS, VIDEO_TS itself and the image.
    for (const QString &input : {disc().folder, disc().folder + "/VIDEO_TS", disc().iso}) {
        SCOPED_TRACE(input.toStdString());
        std::string out, err;
        ASSERT_EQ(runTromvax("tromvax -list( -input \"" + input.toStdString() + "\" )", &err, &out), 0) << err;
        EXPECT_EQ(out, expected);
    }
}

TEST(TromvaxDisc, FailuresNameTheDiscAndTheReason)
{
    ASSERT_TRUE(disc().valid());
    // Sectors that cannot be read, as an encrypted disc without a
    // decryption library gives them: the title's VOB file cut short.
    const auto copy = [](const QString &to) {
        EXPECT_TRUE(QDir().mkpath(to + "/VIDEO_TS"));
        for (const QString &name : QDir(disc().folder + "/VIDEO_TS").entryList(QDir::Files))
            EXPECT_TRUE(QFile::copy(disc().folder + "/VIDEO_TS/" + name, to + "/VIDEO_TS/" + name));
        return to + "/VIDEO_TS/VTS_01_1.VOB";
    };
    const QString cut = QString::fromStdString(scratchDir()) + "/cut";
    QFile vob(copy(cut));
    ASSERT_TRUE(vob.resize(vob.size() / 3));
    // A sector whose audio packet is marked scrambled, as CSS leaves it.
    const QString scrambled = QString::fromStdString(scratchDir()) + "/scrambled";
    QFile s(copy(scrambled));
    ASSERT_TRUE(s.open(QIODevice::ReadWrite));
    QByteArray bytes = s.readAll();
    for (qsizetype at = 0; at + 2048 <= bytes.size(); at += 2048)
        if (bytes.mid(at + 14, 4) == QByteArray("\0\0\1\xBD", 4)) {
            bytes[at + 0x14] = char(bytes[at + 0x14] | 0x10);
            break;
        }
    ASSERT_TRUE(s.seek(0) && s.write(bytes) == bytes.size());
    s.close();

    const std::string out = scratchDir() + "/x";
    const struct {
        QString input;
        std::string title;
        std::string says;
    } cases[] = {
        {cut, " -title 1", "the disc is damaged, or encrypted (CSS) and no decryption library (libdvdcss) is installed"},
        {scrambled, " -title 1", "is encrypted (CSS) and no decryption library (libdvdcss) is installed"},
        {disc().folder, " -title 3", "title 3 not found on"},
        {QString::fromStdString(scratchDir()), "", "is not a DVD-Video disc"},
        {disc().folder + "/none.iso", "", "cannot open"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.says);
        std::string err;
        EXPECT_EQ(runTromvax("tromvax -core( -input \"" + c.input.toStdString() + "\"" + c.title +
                                 " -payload -output \"" + out + "\" )",
                             &err),
                  1);
        EXPECT_NE(err.find(c.says), std::string::npos) << err;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
        EXPECT_FALSE(exists(out));
    }
}
