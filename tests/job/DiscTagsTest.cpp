// The chapter file and language of a disc title's MPEG-4 output.
#include "DiscTags.h"
#include "JobSettings.h"

#include <gtest/gtest.h>

using namespace wsjob;

TEST(DiscTags, ChapterShiftFollowsTheDelayTheFirstPartApplies)
{
    const struct {
        bool autoDelay;
        SwitchList stage;
        int found;
        double shift;
    } cases[] = {
        {true, {{"-sc", "1024"}}, 120, 0},            // found delay applied: the title's timeline
        {false, {{"-sc", "1024"}}, 120, 120},         // not applied: the audio starts 120 ms in
        {true, {{"-d", "300"}, {"-sc", "1024"}}, 120, -180}, // the user's delay replaces it
        {false, {{"-d", "auto"}}, -40, -40},          // "auto" is no number
        {true, {{"-d", "50ms"}}, 0, -50},
    };
    for (const auto &c : cases) {
        JobSettings s;
        s.autoDelay = c.autoDelay;
        s.delayStage = c.stage;
        EXPECT_DOUBLE_EQ(chapterShiftMs(s, c.found), c.shift) << c.found;
    }
}

TEST(DiscTags, ChaptersMoveIntoTheOutputsTimeline)
{
    const QByteArray head = ";FFMETADATA1\n";
    auto chapter = [](int start, int end, int n) {
        return QStringLiteral("[CHAPTER]\nTIMEBASE=1/1000\nSTART=%1\nEND=%2\ntitle=Chapter %3\n")
            .arg(start).arg(end).arg(n).toUtf8();
    };
    EXPECT_EQ(chapterMetadata({0, 20, 40}, 70, 0), head + chapter(0, 20000, 1) + chapter(20000, 40000, 2) +
                                                       chapter(40000, 70000, 3));
    // Shifted back by 250 ms: the first mark holds at 0, the end moves too.
    EXPECT_EQ(chapterMetadata({0, 20}, 30, 250), head + chapter(0, 19750, 1) + chapter(19750, 29750, 2));
    // Marks before the output begins: the last of them starts it.
    EXPECT_EQ(chapterMetadata({0, 0.1, 5}, 10, 500), head + chapter(0, 4500, 2) + chapter(4500, 9500, 3));
    // A mark at or past the end, and no mark at all.
    EXPECT_EQ(chapterMetadata({0, 10}, 10, 0), head + chapter(0, 10000, 1));
    EXPECT_TRUE(chapterMetadata({}, 10, 0).isEmpty());
    EXPECT_TRUE(chapterMetadata({12}, 10, 0).isEmpty());
}

TEST(DiscTags, LanguagesAsMpeg4StoresThem)
{
    EXPECT_EQ(mpeg4Language("en"), "eng");
    EXPECT_EQ(mpeg4Language("DE"), "deu");
    EXPECT_EQ(mpeg4Language("fr"), "fra");
    EXPECT_EQ(mpeg4Language("ja"), "jpn");
    for (const char *unknown : {"", "e", "eng", "zz", "1x"})
        EXPECT_TRUE(mpeg4Language(unknown).isEmpty()) << unknown;
}

TEST(DiscTags, OutputsAreNamedAfterTheDisc)
{
    const struct {
        const char *disc, *base, *name;
    } cases[] = {{"/dvd/FILM/VIDEO_TS", "/dvd/FILM", "FILM"},
                 {"/dvd/FILM/video_ts/", "/dvd/FILM", "FILM"},
                 {"/dvd/FILM/", "/dvd/FILM", "FILM"},
                 {"/iso/My Film.ISO", "/iso/My Film", "My Film"}};
    for (const auto &c : cases) {
        EXPECT_EQ(discOutputBase(c.disc), c.base) << c.disc;
        EXPECT_EQ(discName(c.disc), c.name) << c.disc;
    }
}
