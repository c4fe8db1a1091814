// A small DVD-Video disc built for the tests with ffmpeg (MPEG-PS for DVD),
// dvdauthor and genisoimage: title 1 holds five audio tracks (AC3 5.1 "en",
// AC3 2.0 "en" commentary, LPCM "fr", MPEG audio "it", DTS "de"), each a
// different sweep, in three chapters; title 2, in a title set of its own, a
// shorter AC3 2.0 track "es".
#pragma once

#include <QString>
#include <QStringList>

namespace discfixture {

struct Track {
    QString id;     // "0x80", as the disc numbers it
    int channels;
    QString graph;  // the lavfi graph of its audio
};

struct Disc {
    QString folder;  // holds VIDEO_TS
    QString iso;     // the same as an image
    QString title1;  // the MPEG-PS files the titles were authored from
    QString title2;
    QList<Track> tracks; // of title 1, in the disc's order
    double seconds1 = 0, seconds2 = 0;
    bool valid() const { return !folder.isEmpty(); }
};

// Builds the disc in `dir` (titles of `seconds1` and `seconds2` seconds);
// an invalid Disc when a tool failed.
Disc make(const QString &dir, double seconds1 = 12, double seconds2 = 6);

// Gives the audio streams of an MPEG-PS file the IDs a disc uses: ffmpeg
// numbers each kind from 0 (0x80, 0x88, 0xA0, 0xC0), a disc numbers the
// tracks across kinds. `ids` maps old IDs to new (0xC0 for MPEG audio).
bool renumber(const QString &in, const QString &out, const QList<QPair<int, int>> &ids);

} // namespace discfixture
