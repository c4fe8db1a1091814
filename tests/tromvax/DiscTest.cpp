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

// A VOB copied from a disc with its title set's IFO (or the IFO's backup)
// beside it: the tracks of the IFO that the file holds, in the disc's order
// with the IFO's facts, then the file's other streams; without an IFO, or
// under another name, the file's own streams as before.
TEST(TromvaxDisc, VobBesideItsIfoListsTheTitleSetsTracks)
{
    ASSERT_TRUE(disc().valid());
    const QString from = disc().folder + "/VIDEO_TS/", root = QString::fromStdString(scratchDir());
    // A VOB of the title set holding AC3 0x81 (listed) and MPEG audio 0xC0
    // (stream number 0, but not the kind the IFO gives that number).
    const QString part = root + "/part.vob";
    ASSERT_TRUE(wstest::ffmpeg({"-i", from + "VTS_01_1.VOB", "-map", "0:v", "-map", "0:i:0x81", "-map", "0:i:0x1c3", "-c",
                                "copy", "-f", "vob", root + "/ff.vob"}));
    ASSERT_TRUE(discfixture::renumber(root + "/ff.vob", part, {{0x80, 0x81}}));
    const auto bytes = [](const QString &file) {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    const QByteArray ifo = bytes(from + "VTS_01_0.IFO"), partBytes = bytes(part);
    ASSERT_FALSE(ifo.isEmpty() || partBytes.isEmpty());
    const std::string ownStreams = "audio 0 0x80 ac3 6 - -\n"
                                   "audio 0 0x81 ac3 2 - -\n"
                                   "audio 0 0xA2 lpcm 2 - -\n"
                                   "audio 0 0xC3 mpeg 2 - -\n"
                                   "audio 0 0x8C dts 2 - -\n";
    const std::string discTracks = "audio 0 0x80 ac3 6 en -\n"
                                   "audio 0 0x81 ac3 2 en commentary\n"
                                   "audio 0 0xA2 lpcm 2 fr -\n"
                                   "audio 0 0xC3 mpeg 2 it -\n"
                                   "audio 0 0x8C dts 2 de -\n";
    const struct {
        const char *name;
        QList<QPair<QString, QByteArray>> files; // name and content; an empty content: the disc's VOB
        QString vob;
        std::string audio;  // the list's audio lines
        QString factsFrom;  // the file the log names; empty: no IFO facts
        std::string chosen; // the automatic choice
    } cases[] = {
        {"IFO", {{"VTS_01_1.VOB", {}}, {"VTS_01_0.IFO", ifo}}, "VTS_01_1.VOB", discTracks, "VTS_01_0.IFO", "0x80"},
        {"backup only", {{"vts_01_1.vob", {}}, {"vts_01_0.bup", ifo}}, "vts_01_1.vob", discTracks, "vts_01_0.bup", "0x80"},
        {"damaged IFO and its backup",
         {{"VTS_01_1.VOB", {}}, {"VTS_01_0.IFO", ifo.left(3000)}, {"VTS_01_0.BUP", ifo}},
         "VTS_01_1.VOB",
         discTracks,
         "VTS_01_0.BUP",
         "0x80"},
        {"no IFO", {{"VTS_01_1.VOB", {}}}, "VTS_01_1.VOB", ownStreams, "", "0x80"},
        {"another name", {{"film.vob", {}}, {"VTS_01_0.IFO", ifo}}, "film.vob", ownStreams, "", "0x80"},
        {"the IFO's track first",
         {{"VTS_01_1.VOB", partBytes}, {"VTS_01_0.IFO", ifo}},
         "VTS_01_1.VOB",
         "audio 0 0x81 ac3 2 en commentary\naudio 0 0xC0 mpeg 2 - -\n",
         "VTS_01_0.IFO",
         "0x81"},
        {"the file's own choice", {{"VTS_01_1.VOB", partBytes}}, "VTS_01_1.VOB",
         "audio 0 0xC0 mpeg 2 - -\naudio 0 0x81 ac3 2 - -\n", "", "0xC0"},
    };
    int n = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QString dir = root + QString("/case%1/").arg(++n);
        ASSERT_TRUE(QDir().mkpath(dir));
        for (const auto &[name, content] : c.files)
            if (QFile f(dir + name); content.isEmpty())
                ASSERT_TRUE(QFile::copy(from + "VTS_01_1.VOB", dir + name));
            else
                ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(content) == content.size());
        const std::string vob = (dir + c.vob).toStdString(), log = (dir + "t.log").toStdString();
        std::string out, err;
        ASSERT_EQ(runTromvax("tromvax -list( -input \"" + vob + "\" )", &err, &out), 0) << err;
        const size_t lines = std::count(c.audio.begin(), c.audio.end(), '\n');
        const std::string title = out.substr(0, out.find('\n') + 1);
        EXPECT_EQ(title.substr(title.find(" 0 ", 8)), " 0 " + std::to_string(lines) + "\n") << out;
        EXPECT_EQ(out.substr(out.find('\n') + 1), c.audio);
        // The automatic choice, and the log's line on the IFO.
        ASSERT_EQ(runTromvax("tromvax -core( -input \"" + vob + "\" -payload -output \"" + dir.toStdString() +
                                 "out\" -logfile \"" + log + "\" )",
                             &err),
                  0)
            << err;
        const std::string facts = "Audio tracks of the title set from ";
        if (c.factsFrom.isEmpty())
            EXPECT_EQ(readFile(log).find(facts), std::string::npos) << readFile(log);
        else
            EXPECT_NE(readFile(log).find(facts + (dir + c.factsFrom).toStdString() + "\n"), std::string::npos)
                << readFile(log);
        EXPECT_NE(readFile(log).find("Substream ID: " + c.chosen), std::string::npos) << readFile(log);
    }
}
