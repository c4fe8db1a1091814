// The batch item model without a window: column texts, the helpers that build
// them, the intake rules on real files, the request a row makes and the
// layout arithmetic in twips.
#include "BatchItems.h"
#include "BatchLayout.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace wsbatch;

namespace {

QString blanks(int n) { return QString(n, QLatin1Char(' ')); }

class ItemModel : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        batchItems() = BatchItemArrays();
    }
    void TearDown() override { batchItems() = BatchItemArrays(); }

    QString file(const QString &relative, qint64 size = 10)
    {
        const QString p = dir.path() + QLatin1Char('/') + relative;
        QDir().mkpath(QFileInfo(p).path());
        QFile f(p);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        EXPECT_TRUE(f.resize(size));
        return p;
    }
    // Takes the paths in as one drop does and returns the taken count.
    int take(const QStringList &paths)
    {
        int taken = 0;
        for (const QString &p : paths)
            if (takeDroppedFile(p, rows, width).taken)
                ++rows, ++taken;
        return taken;
    }

    QTemporaryDir dir;
    int rows = 0;
    int width = 0;
};

} // namespace

TEST(BatchText, PadTextPadsOnTheNamedSideNeverCutsAndStoresBack)
{
    struct Case {
        QString text;
        int width;
        QString side;
        QString expected;
    } cases[] = {
        {"abc", 6, "Left", "abc   "},   {"abc", 6, "Right", "   abc"}, {"abc", 6, "Middle", "abc"},
        {"abc", 6, "left", "abc"},      {"abcdef", 3, "Left", "abcdef"}, {"abc", 3, "Right", "abc"},
        {"", 2, "Left", "  "},          {"abc", -4, "Left", "abc"},
    };
    for (const Case &c : cases) {
        QString t = c.text;
        const QString r = PadText(t, c.width, c.side);
        EXPECT_EQ(r, c.expected) << c.text.toStdString() << " " << c.width << " " << c.side.toStdString();
        EXPECT_EQ(t, c.expected) << "result stored back";
    }
}

TEST(BatchText, FormatSizeRightAlignsGroupedDigitsInTheirField)
{
    struct Case {
        qint64 value;
        int digits;
        QString expected;
    } cases[] = {
        {1234567, 12, blanks(6) + "1,234,567"},
        {0, 12, blanks(14) + "0"},
        {999, 12, blanks(12) + "999"},
        {1000, 12, blanks(10) + "1,000"},
        {999999999999LL, 12, "999,999,999,999"},
        // Sizes beyond 32 bits: a WAV over 2 GiB shows its true size.
        {2147483648LL, 12, blanks(2) + "2,147,483,648"},
        {5000000000LL, 12, blanks(2) + "5,000,000,000"},
        // Too long for the field: shown whole.
        {1234567890123LL, 12, "1,234,567,890,123"},
        {7, 3, "  7"},
        {1234, 4, "1,234"},
        {12, 6, blanks(5) + "12"},
        {12, 0, "12"},
        {12, 13, "12"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(FormatSize(c.value, c.digits), c.expected) << c.value << " " << c.digits;
    // The same whatever the locale's separator.
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(FormatSize(1234567, 12), blanks(6) + "1,234,567");
    QLocale::setDefault(saved);
    for (const Case &c : cases) {
        if (c.digits == 12 && c.value < 1000000000000LL) {
            EXPECT_EQ(FormatSize(c.value, 12).size(), 15) << c.value;
        }
    }
}

TEST(BatchText, SplitTextFollowsItsPieceRules)
{
    struct Case {
        QString text, delimiter;
        int limit, compare;
        QStringList expected;
    } cases[] = {
        {"a/b/c", "/", -1, 0, {"a", "b", "c"}},
        {"a//b", "/", -1, 0, {"a", "", "b"}},
        {"a/", "/", -1, 0, {"a"}},
        {"/a", "/", -1, 0, {"", "a"}},
        {"abc", "/", -1, 0, {"abc"}},
        {"a/b/c/d", "/", 2, 0, {"a", "b"}},
        {"a/b", "/", 0, 0, {}},
        {"aXbxc", "x", -1, 0, {"aXb", "c"}},
        {"aXbxc", "x", -1, 1, {"a", "b", "c"}},
        {"one<>two<><>three", "<>", -1, 0, {"one", "two", "", "three"}},
        {"abc", "", -1, 0, {"abc"}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(SplitText(c.text, c.delimiter, c.limit, c.compare), c.expected)
            << c.text.toStdString() << " at " << c.delimiter.toStdString();

    // More pieces than the first allotment of 101.
    QStringList many;
    for (int i = 0; i < 250; ++i)
        many << QString::number(i);
    EXPECT_EQ(SplitText(many.join(','), ",", -1, 0), many);
}

TEST(BatchText, RowFileNameIsTheLowerCasedLastPathPiece)
{
    EXPECT_EQ(RowFileName("/dvd/VIDEO_TS/VTS_01_1.VOB   "), "vts_01_1.vob");
    EXPECT_EQ(RowFileName("Song.MP3   "), "song.mp3");
    EXPECT_EQ(RowFileName("/a/My   Film.ac3      "), "my   film.ac3");
    EXPECT_EQ(RowFileName("      "), "");
    EXPECT_EQ(RowFileName(""), "");
}

TEST(BatchText, ItemKindLooksAtTheLastThreeCharactersOnly)
{
    struct Case {
        QString path;
        std::optional<ItemKind> kind;
    } cases[] = {
        {"/x/A.VOB", ItemKind::Vob},      {"/x/b.ac3", ItemKind::Ac3},       {"/x/c.WAV", ItemKind::Wav},
        {"/x/d.mp3", ItemKind::MpegAudio}, {"/x/d.MP2", ItemKind::MpegAudio}, {"/x/d.mpa", ItemKind::MpegAudio},
        {"/x/x.mpg", ItemKind::MpegAudio}, {"/x/x.mpeg", std::nullopt},      {"/x/e.txt", std::nullopt},
        {"/x/novob", ItemKind::Vob},      {"mp", std::nullopt},              {"", std::nullopt},
    };
    for (const Case &c : cases)
        EXPECT_EQ(itemKind(c.path), c.kind) << c.path.toStdString();
}

TEST(BatchText, ItemColumnsByKind)
{
    const ItemColumns ac3 = itemColumns("/m/b.ac3", ItemKind::Ac3, 1234567);
    EXPECT_EQ(ac3.name, "/m/b.ac3   ");
    EXPECT_EQ(ac3.substream, "    N/A  ");
    EXPECT_EQ(ac3.sourceSize, blanks(7) + "1,234,567");
    EXPECT_EQ(ac3.sourceSize.size(), 16);
    EXPECT_EQ(ac3.wavSize, "   ---,---,---,---");
    EXPECT_EQ(ac3.aacSize, "   ---,---,---,---");

    const ItemColumns vob = itemColumns("/m/A.VOB", ItemKind::Vob, 0);
    EXPECT_EQ(vob.substream, "   auto  ");
    EXPECT_EQ(vob.sourceSize, blanks(15) + "0");

    const ItemColumns wav = itemColumns("/m/c.wav", ItemKind::Wav, 3000000000LL);
    EXPECT_EQ(wav.sourceSize, " ----- N/A -----");
    EXPECT_EQ(wav.wavSize, blanks(5) + "3,000,000,000");
    EXPECT_EQ(wav.wavSize.size(), 18);
    EXPECT_EQ(wav.substream, "    N/A  ");

    const ItemColumns mp3 = itemColumns("/m/d.mp3", ItemKind::MpegAudio, 4096);
    EXPECT_EQ(mp3.substream, "    N/A  ");
    EXPECT_EQ(mp3.sourceSize, blanks(11) + "4,096");
    EXPECT_EQ(mp3.wavSize, "   ---,---,---,---");

    EXPECT_EQ(substreamColumn("0xA2"), "   0xA2  ");
    EXPECT_EQ(substreamColumn("0xC3 (MPA)"), "   0xC3  ");
}

TEST_F(ItemModel, FilesThatCannotBeMeasuredArePassedOver)
{
    QDir().mkpath(dir.path() + "/folder.vob");
    const QString unreadable = file("locked.ac3");
    QFile(unreadable).setPermissions(QFileDevice::WriteOwner);
    const bool canStillRead = QFile(unreadable).open(QIODevice::ReadOnly); // as root

    EXPECT_FALSE(takeDroppedFile(dir.path() + "/gone.wav", 0, width).taken);
    EXPECT_FALSE(takeDroppedFile(dir.path() + "/folder.vob", 0, width).taken);
    if (!canStillRead) {
        EXPECT_FALSE(takeDroppedFile(unreadable, 0, width).taken);
    }
    EXPECT_EQ(batchItems().size(), 0);
    EXPECT_EQ(width, 0);
    EXPECT_TRUE(takeDroppedFile(file("here.wav"), 0, width).taken);
}

TEST_F(ItemModel, ClearingEmptiesEntriesKeepsSizeAndWidths)
{
    take({file("one.ac3"), file("two.ac3"), file("three.ac3")});
    ClearItemArrays(3);
    const BatchItemArrays &a = batchItems();
    ASSERT_EQ(a.size(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(a.BatchName[i].isEmpty());
        EXPECT_TRUE(a.BatchSubstream[i].isEmpty());
        EXPECT_TRUE(a.BatchSourceSize[i].isEmpty());
        EXPECT_TRUE(a.BatchWavSize[i].isEmpty());
        EXPECT_TRUE(a.BatchAacSize[i].isEmpty());
        EXPECT_GT(a.BatchNameWidth[i], 0);
    }
    ClearItemArrays(10); // more rows than entries: no harm

    // A new first item after clearing: the arrays shrink to the list's rows
    // and the same name is no duplicate any more.
    width = 12;
    EXPECT_TRUE(takeDroppedFile(dir.path() + "/one.ac3", 0, width).taken);
    EXPECT_EQ(batchItems().size(), 1);
}

TEST_F(ItemModel, EncodeRequestTakesThePathFromTheNameColumn)
{
    const QString blanksInName = file("my   film.ac3");
    const QString vob = file("VTS_01_1.VOB");
    const QString wav = file("x.wav");
    take({blanksInName, vob, wav});
    batchItems().BatchSubstream[1] = substreamColumn("0xA2");

    const auto r0 = encodeRequest(0, 3);
    ASSERT_TRUE(r0);
    EXPECT_EQ(r0->inputFile, blanksInName);
    EXPECT_EQ(r0->outputFile, dir.path() + "/my   film.aac");
    EXPECT_TRUE(r0->substream.isEmpty());

    const auto r1 = encodeRequest(1, 3);
    ASSERT_TRUE(r1);
    EXPECT_EQ(r1->outputFile, dir.path() + "/VTS_01_1.aac");
    EXPECT_EQ(r1->substream, "0xA2");

    EXPECT_FALSE(encodeRequest(3, 3));
    EXPECT_FALSE(encodeRequest(-1, 3));
    EXPECT_FALSE(encodeRequest(2, 2)) << "beyond the list's rows";
    ClearItemArrays(3);
    EXPECT_FALSE(encodeRequest(0, 3)) << "an emptied item";
}

TEST(BatchLayoutArithmetic, FitHeaderFollowsTheNameColumn)
{
    const HeaderFit cleared = fitHeader(12);
    EXPECT_EQ(cleared.nameHeaderWidth, 1260);
    EXPECT_EQ(cleared.substreamHeaderLeft, 1275);
    EXPECT_EQ(cleared.outerWidth, 2355);

    const HeaderFit wide = fitHeader(40);
    EXPECT_EQ(wide.nameHeaderWidth, 4200);
    EXPECT_EQ(wide.substreamHeaderLeft, 4215);
    EXPECT_EQ(wide.outerWidth, 4200 + 150 + 945);
}

TEST(BatchLayoutArithmetic, ResizeOfA6990TwipWindow)
{
    const ResizeLayout r = formResize(6990);
    EXPECT_FLOAT_EQ(r.listWidth, 6900);
    EXPECT_FLOAT_EQ(r.panelWidth, 6900);
    EXPECT_FLOAT_EQ(r.buttonWidth[1], 2300);
    EXPECT_FLOAT_EQ(r.buttonWidth[2], 2300);
    EXPECT_FLOAT_EQ(r.buttonWidth[3], 2210);
    EXPECT_FLOAT_EQ(r.buttonWidth[4], 6840);
    EXPECT_FLOAT_EQ(r.buttonWidth[5], 6900);
    EXPECT_FLOAT_EQ(r.buttonLeft[1], 0);
    EXPECT_FLOAT_EQ(r.buttonLeft[2], 2315);
    EXPECT_FLOAT_EQ(r.buttonLeft[3], 4630);
    EXPECT_FLOAT_EQ(r.buttonLeft[3] + r.buttonWidth[3], 6840);
    EXPECT_FLOAT_EQ(r.buttonLeft[6], 6930);
}

TEST(BatchLayoutArithmetic, ResizeKeepsFractionsOfAThirdInSinglePrecision)
{
    const ResizeLayout r = formResize(2355);
    EXPECT_FLOAT_EQ(r.panelWidth, 2265);
    EXPECT_FLOAT_EQ(r.buttonWidth[1], 755);
    EXPECT_FLOAT_EQ(r.buttonWidth[3], 2265 - 755 - 755 - 90);
    const ResizeLayout odd = formResize(1000);
    EXPECT_FLOAT_EQ(odd.buttonWidth[1], 910.0f / 3.0f);
    EXPECT_FLOAT_EQ(odd.buttonLeft[2], 910.0f / 3.0f + 15.0f);
    EXPECT_EQ(twipsToPixels(2300), 153);
    EXPECT_EQ(twipsToPixels(4630), 309);
    EXPECT_EQ(twipsToPixels(-30), -2);
}
