// A title longer than 1 GiB: dvdauthor starts a new VOB file at 1 GiB, and
// the title's tracks read across the file boundary are the authored streams
// byte for byte (no gap, no repeat); the conversion keeps the source's
// length. Label dvd_large: it writes about 2.5 GB and runs for about two
// minutes.
#include "DiscFixture.h"
#include "E2eSupport.h"
#include "OptionModel.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace e2e;

namespace {

// Whether two files hold the same bytes, read in chunks.
bool sameBytes(const QString &a, const QString &b)
{
    QFile fa(a), fb(b);
    if (!fa.open(QIODevice::ReadOnly) || !fb.open(QIODevice::ReadOnly) || fa.size() != fb.size())
        return false;
    while (!fa.atEnd())
        if (fa.read(1 << 22) != fb.read(1 << 22))
            return false;
    return true;
}

} // namespace

TEST(DiscLarge, ATitleAcrossTwoVobFilesHasNoGapOrRepeat)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // 22 minutes: AC3 stereo, and six-channel LPCM that brings the title
    // past 1 GiB; a still picture keeps the video small and quick to make.
    const int seconds = 1320;
    const QString raw = dir.filePath(QStringLiteral("raw.mpg")), mpg = dir.filePath(QStringLiteral("long.mpg"));
    ASSERT_TRUE(wstest::ffmpeg({QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                                QStringLiteral("color=c=gray:s=352x288:r=25:d=%1").arg(seconds),
                                QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                                QStringLiteral("sine=f=440:r=48000:d=%1").arg(seconds),
                                QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                                QStringLiteral("anoisesrc=r=48000:a=0.1:d=%1").arg(seconds),
                                QStringLiteral("-map"), QStringLiteral("0:v"), QStringLiteral("-map"), QStringLiteral("1:a"),
                                QStringLiteral("-map"), QStringLiteral("2:a"), QStringLiteral("-c:v"), QStringLiteral("mpeg2video"),
                                QStringLiteral("-b:v"), QStringLiteral("200k"), QStringLiteral("-g"), QStringLiteral("12"),
                                QStringLiteral("-c:a:0"), QStringLiteral("ac3"), QStringLiteral("-b:a:0"), QStringLiteral("192k"),
                                QStringLiteral("-ac:a:0"), QStringLiteral("2"), QStringLiteral("-c:a:1"), QStringLiteral("pcm_dvd"),
                                QStringLiteral("-ac:a:1"), QStringLiteral("6"), QStringLiteral("-f"), QStringLiteral("dvd"), raw}));
    ASSERT_TRUE(discfixture::renumber(raw, mpg, {{0xA0, 0xA1}}));
    QFile::remove(raw);
    QFile xml(dir.filePath(QStringLiteral("long.xml")));
    ASSERT_TRUE(xml.open(QIODevice::WriteOnly));
    xml.write(QStringLiteral("<dvdauthor dest=\"%1\"><vmgm /><titleset><titles>"
                             "<video format=\"pal\" aspect=\"4:3\" /><audio format=\"ac3\" channels=\"2\" lang=\"en\" />"
                             "<audio format=\"pcm\" channels=\"6\" lang=\"en\" />"
                             "<pgc><vob file=\"%2\" /></pgc></titles></titleset></dvdauthor>\n")
                  .arg(dir.filePath(QStringLiteral("disc")), mpg)
                  .toUtf8());
    xml.close();
    qputenv("VIDEO_FORMAT", "PAL");
    QString err;
    ASSERT_EQ(wstest::runProgram(QStringLiteral("dvdauthor"), {QStringLiteral("-x"), xml.fileName()}, nullptr, &err), 0)
        << err.toStdString();
    const QString disc = dir.filePath(QStringLiteral("disc"));
    ASSERT_TRUE(QFileInfo::exists(disc + QStringLiteral("/VIDEO_TS/VTS_01_2.VOB"))) << "the title fits one VOB file";

    // Each track read from the disc, across the boundary, against the same
    // track read from the authored file.
    const QString tromvax = wstest::binDir() + QStringLiteral("/tromvax");
    for (const QString &id : {QStringLiteral("0x80"), QStringLiteral("0xA1")}) {
        SCOPED_TRACE(id.toStdString());
        const QString fromDisc = dir.filePath(QStringLiteral("disc.") + id), authored = dir.filePath(QStringLiteral("file.") + id);
        for (const auto &[input, out] : {std::pair{disc, fromDisc}, std::pair{mpg, authored}})
            ASSERT_EQ(wstest::runProgram(tromvax, {QStringLiteral("-core("), QStringLiteral("-input"), input,
                                                   QStringLiteral("-payload"), QStringLiteral("-substream"), id,
                                                   QStringLiteral("-output"), out, QStringLiteral(")")},
                                         nullptr, &err),
                      0)
                << err.toStdString();
        EXPECT_TRUE(sameBytes(fromDisc, authored));
        QFile::remove(fromDisc);
        QFile::remove(authored);
    }
    QFile::remove(mpg);

    // The whole conversion of the AC3 track keeps its length.
    Sandbox box;
    box.store();
    const QString out = box.path(QStringLiteral("long.aac"));
    const RunResult r = box.convert(disc, out);
    ASSERT_EQ(r.code, 0) << r.all().right(2000).toStdString();
    const auto info = audiocheck::probe(out, QStringLiteral("stream=nb_read_packets,sample_rate"), {QStringLiteral("-count_packets")});
    ASSERT_EQ(info.count("nb_read_packets"), 1u);
    const double aacSeconds = std::stod(info.at("nb_read_packets")) * 1024 / std::stod(info.at("sample_rate"));
    std::printf("[ figures  ] %d s title across two VOB files: %.3f s of AAC\n", seconds, aacSeconds);
    EXPECT_NEAR(aacSeconds, seconds, 0.05);
}
