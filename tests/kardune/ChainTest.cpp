// The built programs in the order a conversion runs them: split the source,
// decode each part to a WAV (ffmpeg stands in for the transcoder), encode it,
// list it, join the list.
#include "AudioCheck.h"
#include "TestSupport.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <iostream>

using namespace audiocheck;

TEST(KarduneChain, SplitEncodeJoinKeepsTheSourcesLength)
{
    struct Case {
        const char *layout;
        int channels;
        double seconds;
        const char *lengths;
        std::vector<QString> encodeSwitches;
    };
    const Case cases[] = {
        {"stereo", 2, 20, "0 8 8 ", {QStringLiteral("-normal")}},
        {"5.1", 6, 6, "0 2 2 ", {QStringLiteral("-vbrhi"), QStringLiteral("-qvbr"), QStringLiteral("20"), QStringLiteral("-lfe")}},
    };
    const QString kardune = wstest::binDir() + QStringLiteral("/kardune");
    const QString aacenc = wstest::binDir() + QStringLiteral("/aacenc");
    for (const Case &c : cases) {
        SCOPED_TRACE(c.layout);
        QTemporaryDir dir;
        const QString t = dir.path() + QLatin1Char('/');
        const QString src = t + QStringLiteral("wavesmithy.ac3");
        const QString log = t + QStringLiteral("Tromvax.log");
        ASSERT_TRUE(wstest::ffmpeg({QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                                    QStringLiteral("sine=f=500:r=48000:d=%1,aformat=channel_layouts=%2").arg(c.seconds).arg(QLatin1String(c.layout)),
                                    QStringLiteral("-c:a"), QStringLiteral("ac3"), src}));

        const double sourceSeconds = double(decode(src, c.channels, 44100).frames()) / 44100;

        // The split as the front end words it (the command line split at blanks).
        QString err;
        QStringList split = QStringLiteral("-core( -input %1 -prefix %2 -logfile %3 -type ac3 -r -ending ) -split( %4) -profile( Wavesmithy v0.51 )")
                                .arg(src, t, log, QLatin1String(c.lengths))
                                .split(QLatin1Char(' '), Qt::SkipEmptyParts);
        ASSERT_EQ(wstest::runProgram(kardune, split, nullptr, &err), 0) << err.toStdString();

        QByteArray list;
        int parts = 0;
        for (int i = 1; QFile::exists(t + QStringLiteral("%1.ac3").arg(i, 2, 10, QLatin1Char('0'))); ++i, ++parts) {
            const QString nn = QStringLiteral("%1").arg(i, 2, 10, QLatin1Char('0'));
            const QString wav = t + QStringLiteral("wavesmithy.wav");
            ASSERT_TRUE(wstest::ffmpeg({QStringLiteral("-i"), t + nn + QStringLiteral(".ac3"), QStringLiteral("-ac"),
                                        QString::number(c.channels), QStringLiteral("-ar"), QStringLiteral("44100"), wav}));
            QFile::remove(t + nn + QStringLiteral(".ac3"));
            QStringList enc{QStringLiteral("-if"), wav};
            for (const QString &s : c.encodeSwitches)
                enc << s;
            enc << QStringLiteral("-of") << t + nn + QStringLiteral(".aac");
            ASSERT_EQ(wstest::runProgram(aacenc, enc, nullptr, &err), 0) << err.toStdString();
            list += (t + nn + QStringLiteral(".aac\r\n")).toUtf8();
        }
        EXPECT_EQ(parts, 3);
        writeFile(t + QStringLiteral("Kardune.lst"), list);
        const QString out = t + QStringLiteral("out.aac");
        ASSERT_EQ(wstest::runProgram(kardune, {QStringLiteral("-core("), QStringLiteral("-input"), t + QStringLiteral("Kardune.lst"),
                                               QStringLiteral("-join"), QStringLiteral("-type"), QStringLiteral("aac"),
                                               QStringLiteral("-prefix"), out, QStringLiteral("-logfilea"), log,
                                               QStringLiteral(")"), QStringLiteral("-profile("), QStringLiteral("Wavesmithy"),
                                               QStringLiteral("v0.51"), QStringLiteral(")")},
                                     nullptr, &err),
                  0)
            << err.toStdString();

        EXPECT_EQ(probe(out, QStringLiteral("stream=channels")).at("channels"), std::to_string(c.channels));
        // Nothing is dropped; each part adds the encoder's priming (1024
        // samples, which ADTS cannot signal) and pads its last frame.
        const double seconds = double(decode(out, c.channels, 44100).frames()) / 44100;
        EXPECT_GE(seconds - sourceSeconds, parts * 1024.0 / 44100);
        EXPECT_LE(seconds - sourceSeconds, parts * 2047.0 / 44100);
        std::cout << c.layout << ": " << parts << " parts, source " << sourceSeconds << " s, joined " << seconds << " s\n";

        // One log: the split's lines, then the join's.
        const QString text = QString::fromUtf8(readFile(log));
        EXPECT_EQ(text.count(QStringLiteral("|  Part 0")), 2 * parts) << text.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("Joined 3 parts")));
    }
}
