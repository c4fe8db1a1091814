// Discs, DTS and sources that end inside a frame, converted through the
// headless job and the built tools: every track of a title and the other
// title match the streams they were authored from; truncated sources give
// their whole frames; the automatic choice takes stream number 0's AC3; an
// unreadable title fails with the reason.
#include "DiscFixture.h"
#include "DiscList.h"
#include "E2eSupport.h"
#include "JobCommands.h"
#include "JobSettings.h"
#include "OptionModel.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

using namespace e2e;

namespace {

constexpr double kPart = 4.0;
constexpr int kRate = 48000;

// A disc's 5.1 AC3, like a VOB's, takes the decoder's own stereo down-mix
// (no -azid switches) at the levels the stream codes: ffmpeg's encoder codes
// the centre at -4.5 dB and the surrounds at -6 dB.
const QString kCodedLevels = QStringLiteral("aresample=clev=0.594604:slev=0.5:ochl=stereo");

const discfixture::Disc &disc()
{
    static QTemporaryDir dir;
    static const discfixture::Disc d = discfixture::make(dir.path());
    return d;
}

// The stored options of these tests: short parts, the built tools.
void store(Sandbox &box, double part = kPart)
{
    box.store([&](ws::OptionModel &o) {
        o.setText(o.control(QStringLiteral("splitval"), 0), QString::number(part));
        for (const char *tool : {"Tromvax", "Kardune", "aacenc"})
            o.setText(o.control(QLatin1String(tool)), wstest::binDir() + QLatin1Char('/') + QString::fromLatin1(tool).toLower());
    });
}

// `--convert INPUT [--title N] [--substream ID]` in the sandbox's settings.
RunResult convert(const Sandbox &box, const QString &input, const QString &output, int title = 0,
                  const QString &substream = {})
{
    QStringList more;
    if (title > 0)
        more << QStringLiteral("--title") << QString::number(title);
    if (!substream.isEmpty())
        more << QStringLiteral("--substream") << substream;
    return box.convert(input, output, more);
}

// The converted file against a reference decode: its length and its sound.
void expectMatch(const Pcm &ref, const QString &out, const char *what)
{
    const Pcm got = decode(out, 2, kRate);
    ASSERT_GT(ref.frames(), 0u) << what;
    ASSERT_GT(got.frames(), 0u) << what;
    const int parts = int(std::ceil(ref.seconds() / kPart - 1e-9));
    EXPECT_NEAR(got.seconds(), ref.seconds(), 0.050 + 0.025 * parts) << what;
    const Match m = compare(ref, got, kPart);
    ASSERT_TRUE(m.ok) << what << ": " << m.why.toStdString();
    std::printf("[ figures  ] %-28s SNR %5.1f dB  length %.4f s for %.4f s\n", what, m.snrDb, got.seconds(), ref.seconds());
    EXPECT_GE(m.snrDb, 20.0) << what;
    for (size_t i = 1; i < m.lags.size(); ++i)
        EXPECT_LE(std::abs(m.lags[i] - m.lags[i - 1]), 16) << what << ", part " << i + 1;
}

} // namespace

// Every track of title 1 (from the folder, title given), title 2 (from the
// image) and, without --title and --substream, the longest title's first
// track: each matches the stream it was authored from.
TEST(DiscConversion, EveryTrackAndTitleMatchesItsSource)
{
    ASSERT_TRUE(disc().valid());
    Sandbox box;
    store(box);
    struct Case {
        QString input;
        int title;
        QString substream;
        QString source;    // what was authored
        QString stream;    // its audio stream, for ffmpeg's -map
        QString refFilter;
    };
    const QString folder = disc().folder, iso = disc().iso;
    const QList<Case> cases = {
        {folder, 1, QStringLiteral("0x80"), disc().title1, QStringLiteral("0:i:0x80"), kCodedLevels},
        {folder, 1, QStringLiteral("0x81"), disc().title1, QStringLiteral("0:i:0x81"), {}},
        {folder + QStringLiteral("/VIDEO_TS"), 1, QStringLiteral("0xA2"), disc().title1, QStringLiteral("0:i:0xa2"), {}},
        {folder, 1, QStringLiteral("0xC3"), disc().title1, QStringLiteral("0:i:0x1c3"), {}},
        {iso, 1, QStringLiteral("0x8C"), disc().title1, QStringLiteral("0:i:0x8c"), {}},
        {iso, 2, {}, disc().title2, QStringLiteral("0:a:0"), {}},
        {folder, 0, {}, disc().title1, QStringLiteral("0:i:0x80"), kCodedLevels}, // the longest title, its first track
    };
    for (const Case &c : cases) {
        const std::string what = QStringLiteral("title %1 %2").arg(c.title).arg(c.substream).toStdString();
        SCOPED_TRACE(what);
        const QString out = box.path(QStringLiteral("out.aac"));
        QFile::remove(out);
        const RunResult r = convert(box, c.input, out, c.title, c.substream);
        ASSERT_EQ(r.code, 0) << r.all().toStdString();
        EXPECT_TRUE(r.out.contains(c.title > 0 ? QStringLiteral("-title %1 -payload").arg(c.title)
                                               : QStringLiteral("\" -payload")))
            << r.out.toStdString();
        EXPECT_EQ(box.leftovers(), QStringList());
        expectMatch(decode(c.source, 2, kRate, c.refFilter, c.stream), out, what.c_str());
    }
}

// An .m4a of a disc title carries the title's chapters, where the picture
// has them, the track's language and the disc's name.
TEST(DiscConversion, Mpeg4OutputHasTheTitlesChaptersAndLanguage)
{
    ASSERT_TRUE(disc().valid());
    Sandbox box;
    store(box);
    const QString out = box.path(QStringLiteral("film.m4a"));
    const RunResult r = convert(box, disc().folder, out, 0, QStringLiteral("0xA2")); // the longest: title 1
    ASSERT_EQ(r.code, 0) << r.all().toStdString();
    QString chapters, err;
    ASSERT_EQ(wstest::runProgram(QStringLiteral("ffprobe"),
                                 {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
                                  QStringLiteral("chapter=start_time:chapter_tags=title"), QStringLiteral("-of"),
                                  QStringLiteral("csv=p=0"), out},
                                 &chapters, &err),
              0)
        << err.toStdString();
    const QStringList lines = chapters.trimmed().split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 3) << chapters.toStdString();
    const double starts[] = {0, 4, 8};
    for (int i = 0; i < 3; ++i) {
        const QStringList f = lines[i].trimmed().split(QLatin1Char(','));
        ASSERT_EQ(f.size(), 2) << lines[i].toStdString();
        EXPECT_NEAR(f[0].toDouble(), starts[i], 0.1) << lines[i].toStdString();
        EXPECT_EQ(f[1], QStringLiteral("Chapter %1").arg(i + 1));
    }
    auto tags = audiocheck::probe(out, QStringLiteral("stream_tags=language:format_tags=title"),
                                  {QStringLiteral("-select_streams"), QStringLiteral("a")});
    EXPECT_EQ(tags["TAG:language"], "fra");
    EXPECT_EQ(tags["TAG:title"], QFileInfo(disc().folder).fileName().toStdString());
}

// The list the window's Title and substream combos show.
TEST(DiscConversion, TitleAndTrackItems)
{
    ASSERT_TRUE(disc().valid());
    QString error;
    const auto titles = wsjob::listDisc(wstest::binDir() + QStringLiteral("/tromvax"), disc().iso, &error);
    ASSERT_TRUE(titles) << error.toStdString();
    ASSERT_EQ(titles->size(), 2);
    EXPECT_EQ(wsjob::titleItem(titles->at(0)), QStringLiteral("1  0:00:12  (3 chapters)"));
    EXPECT_EQ(wsjob::titleItem(titles->at(1)), QStringLiteral("2  0:00:06  (1 chapter)"));
    QStringList items;
    for (const wsjob::DiscTrack &t : titles->at(0).tracks)
        items << wsjob::trackItem(t);
    EXPECT_EQ(items, QStringList({QStringLiteral("0x80  AC3 5.1 en"), QStringLiteral("0x81  AC3 2.0 en (commentary)"),
                                  QStringLiteral("0xA2  LPCM 2.0 fr"), QStringLiteral("0xC3  MPA 2.0 it"),
                                  QStringLiteral("0x8C  DTS 2.0 de")}));
    EXPECT_EQ(wsjob::titlesByLength(*titles, 5).value(0).number, 1);
    EXPECT_TRUE(wsjob::titlesByLength(*titles).isEmpty()); // none longer than a minute
    // A VOB: its streams as title 0, the automatic choice first (stream
    // number 0's AC3 before the MPEG audio whose packet comes first).
    const QString vob = QFileInfo(disc().title1).dir().filePath(QStringLiteral("auto.vob"));
    ASSERT_TRUE(wstest::ffmpeg({QStringLiteral("-i"), disc().title1, QStringLiteral("-map"), QStringLiteral("0:v"),
                                QStringLiteral("-map"), QStringLiteral("0:i:0x1c3"), QStringLiteral("-map"), QStringLiteral("0:i:0x81"),
                                QStringLiteral("-c"), QStringLiteral("copy"), QStringLiteral("-f"), QStringLiteral("vob"), vob}));
    const auto streams = wsjob::listDisc(wstest::binDir() + QStringLiteral("/tromvax"), vob, &error);
    ASSERT_TRUE(streams) << error.toStdString();
    ASSERT_EQ(streams->size(), 1);
    items.clear();
    for (const wsjob::DiscTrack &t : streams->at(0).tracks)
        items << wsjob::trackItem(t);
    EXPECT_EQ(items, QStringList({QStringLiteral("0x80  AC3 2.0"), QStringLiteral("0xC0  MPA 2.0")}));
    EXPECT_FALSE(wsjob::listDisc(wstest::binDir() + QStringLiteral("/tromvax"), vob + QStringLiteral(".none"), &error));
    EXPECT_TRUE(error.contains(QStringLiteral("cannot open"))) << error.toStdString();
}

// Sources that end inside a frame convert all their complete frames (ffmpeg
// decodes the same), a DTS file and an MPEG audio file one frame past a part
// end convert, and the automatic choice takes the late AC3 over the early
// MP2.
TEST(DiscConversion, CutShortOneFramePastAPartAndAutomaticChoice)
{
    Sandbox box;
    store(box);
    const QString chirp = chirps(2, 12.0);
    const QString ac3 = box.path(QStringLiteral("whole.ac3")), mp3 = box.path(QStringLiteral("whole.mp3")),
                  wav = box.path(QStringLiteral("whole.wav")), vob = box.path(QStringLiteral("whole.vob"));
    ASSERT_TRUE(makeFixture({chirp}, {QStringLiteral("-c:a"), QStringLiteral("ac3"), QStringLiteral("-b:a"), QStringLiteral("192k")}, ac3));
    ASSERT_TRUE(makeFixture({chirp}, {QStringLiteral("-c:a"), QStringLiteral("libmp3lame"), QStringLiteral("-b:a"), QStringLiteral("192k")}, mp3));
    ASSERT_TRUE(makeFixture({chirp}, {QStringLiteral("-c:a"), QStringLiteral("pcm_s16le")}, wav));
    ASSERT_TRUE(makeFixture({QStringLiteral("testsrc=s=160x120:r=25:d=12"), chirp},
                            {QStringLiteral("-map"), QStringLiteral("0:v"), QStringLiteral("-map"), QStringLiteral("1:a"),
                             QStringLiteral("-c:v"), QStringLiteral("mpeg2video"), QStringLiteral("-c:a"), QStringLiteral("ac3"),
                             QStringLiteral("-f"), QStringLiteral("vob")},
                            vob));
    // A cut at an arbitrary byte; the VOB at a sector (2048 bytes), as a
    // disc cuts its VOB files.
    const QList<QPair<QString, qint64>> cuts = {{ac3, 1000}, {mp3, 777}, {wav, 3}, {vob, 40 * 2048}};
    for (const auto &[whole, cut] : cuts) {
        SCOPED_TRACE(whole.toStdString());
        const QByteArray bytes = audiocheck::readFile(whole);
        const QString src = box.path(QStringLiteral("cut.") + QFileInfo(whole).suffix());
        const qint64 keep = whole == vob ? (bytes.size() - cut) / 2048 * 2048 : bytes.size() - cut;
        QFile f(src);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(bytes.left(keep)) == keep);
        f.close();
        const QString out = box.path(QStringLiteral("cut.aac"));
        const RunResult r = convert(box, src, out);
        ASSERT_EQ(r.code, 0) << r.all().toStdString();
        // ffmpeg decodes every complete frame of the cut source.
        expectMatch(decode(src, 2, kRate, {}, whole == vob ? QStringLiteral("0:a:0") : QString()), out,
                    qPrintable(QFileInfo(src).fileName()));
    }

    // 8.016 s of MP2 in 8 s parts: the second part is one frame. And DTS.
    Sandbox eight;
    store(eight, 8);
    const QString mp2 = eight.path(QStringLiteral("short.mp2")), dts = eight.path(QStringLiteral("tone.dts"));
    ASSERT_TRUE(makeFixture({chirps(2, 8.016)}, {QStringLiteral("-c:a"), QStringLiteral("mp2"), QStringLiteral("-b:a"), QStringLiteral("224k")}, mp2));
    ASSERT_TRUE(makeFixture({chirps(2, 12.0)}, {QStringLiteral("-strict"), QStringLiteral("-2"), QStringLiteral("-c:a"), QStringLiteral("dca"), QStringLiteral("-b:a"), QStringLiteral("768k")}, dts));
    for (const QString &src : {mp2, dts}) {
        SCOPED_TRACE(src.toStdString());
        const QString out = eight.path(QStringLiteral("out.aac"));
        const RunResult r = convert(eight, src, out);
        ASSERT_EQ(r.code, 0) << r.all().toStdString();
        const Pcm ref = decode(src, 2, kRate), got = decode(out, 2, kRate);
        EXPECT_NEAR(got.seconds(), ref.seconds(), 0.1);
        const Match m = compare(ref, got, 8.0);
        ASSERT_TRUE(m.ok) << m.why.toStdString();
        EXPECT_GE(m.snrDb, 20.0);
    }

    // AC3 starting 0.3 s after an MP2 with other content: the AC3 is taken.
    const QString two = box.path(QStringLiteral("late.vob"));
    const QString other = QStringLiteral("aevalsrc=0.3*sin(2*PI*(5000*t-90*t*t))|0.3*sin(2*PI*(150*t+25*t*t)):s=48000:d=12");
    ASSERT_TRUE(wstest::ffmpeg({QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"), QStringLiteral("testsrc=s=160x120:r=25:d=12"),
                                QStringLiteral("-itsoffset"), QStringLiteral("0.3"), QStringLiteral("-i"), ac3,
                                QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"), other,
                                QStringLiteral("-map"), QStringLiteral("0:v"), QStringLiteral("-map"), QStringLiteral("1:a"),
                                QStringLiteral("-map"), QStringLiteral("2:a"), QStringLiteral("-c:v"), QStringLiteral("mpeg2video"),
                                QStringLiteral("-c:a:0"), QStringLiteral("copy"), QStringLiteral("-c:a:1"), QStringLiteral("mp2"),
                                QStringLiteral("-f"), QStringLiteral("vob"), two}));
    const QString out = box.path(QStringLiteral("late.aac"));
    const RunResult r = convert(box, two, out);
    ASSERT_EQ(r.code, 0) << r.all().toStdString();
    expectMatch(decode(ac3, 2, kRate), out, "late.vob");
}

// A title whose sectors cannot be read, as an encrypted disc's are without
// a decryption library: the conversion fails and says why.
TEST(DiscConversion, UnreadableTitleFailsWithTheReason)
{
    ASSERT_TRUE(disc().valid());
    Sandbox box;
    store(box);
    const QString cut = box.path(QStringLiteral("cut"));
    ASSERT_TRUE(QDir().mkpath(cut + QStringLiteral("/VIDEO_TS")));
    for (const QString &name : QDir(disc().folder + QStringLiteral("/VIDEO_TS")).entryList(QDir::Files))
        ASSERT_TRUE(QFile::copy(disc().folder + QStringLiteral("/VIDEO_TS/") + name, cut + QStringLiteral("/VIDEO_TS/") + name));
    QFile vob(cut + QStringLiteral("/VIDEO_TS/VTS_01_1.VOB"));
    ASSERT_TRUE(vob.resize(vob.size() / 3));
    const QString out = box.path(QStringLiteral("x.aac"));
    const RunResult r = convert(box, cut, out, 1);
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("Failed: extracting the substream: tromvax: cannot read sector")))
        << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("encrypted (CSS) and no decryption library (libdvdcss) is installed")));
    EXPECT_FALSE(QFile::exists(out));
    EXPECT_EQ(box.leftovers(), QStringList());
}

// The title goes under a key of its own; the three stored records stay as
// they were, and the job passes the title in the preparation pass.
TEST(DiscConversion, TheTitleIsStoredUnderItsOwnKey)
{
    ASSERT_TRUE(disc().valid());
    QTemporaryDir dir;
    const auto saved = [&](const QString &name, const QString &title) {
        ws::OptionModel o;
        o.setText(o.control(QStringLiteral("InputFile")), disc().folder);
        EXPECT_TRUE(o.discInput());
        o.setDiscTitle(title);
        auto store = std::make_unique<QSettings>(dir.filePath(name), QSettings::IniFormat);
        o.saveSettings(*store);
        return store;
    };
    const auto plain = saved(QStringLiteral("plain.conf"), {});
    const auto chosen = saved(QStringLiteral("chosen.conf"), QStringLiteral("2  0:00:06  (1 chapter)"));
    for (const char *key : {"Wavesmithy/version_split", "Wavesmithy/boxes_split", "Wavesmithy/values_split"})
        EXPECT_EQ(chosen->value(QLatin1String(key)), plain->value(QLatin1String(key))) << key;
    EXPECT_EQ(chosen->value(QStringLiteral("Wavesmithy/Title")).toString(), QStringLiteral("2  0:00:06  (1 chapter)"));

    ws::OptionModel loaded;
    loaded.loadSettings(*chosen);
    EXPECT_EQ(loaded.discTitle(), QStringLiteral("2  0:00:06  (1 chapter)"));
    const wsjob::JobSettings s = wsjob::readJobSettings(loaded);
    EXPECT_EQ(s.title, 2);
    EXPECT_TRUE(wsjob::extractCommand(s, wsjob::JobFiles{QStringLiteral("/w/")})
                    .arguments.join(QLatin1Char(' '))
                    .contains(QStringLiteral("-title 2 -payload")));
    // Another input: the longest title again.
    loaded.setText(loaded.control(QStringLiteral("InputFile")), disc().iso);
    EXPECT_EQ(wsjob::readJobSettings(loaded).title, 0);
}
