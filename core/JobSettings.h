// Everything one conversion uses from the options, read once when it starts.
// The job works only from this value: the window stays editable while a job
// runs, and edits apply to the next job.
#pragma once

#include "ToolCommand.h"

#include <QString>
#include <QStringList>

namespace ws {
class OptionModel;
}

namespace wsjob {

struct EncoderSettings {
    bool usePreset = true;  // "VBR Preset", else "Quality"
    QString presetSwitch;   // the preset switch prefix ("-")
    QString preset;         // "normal", ...
    QString qualitySwitches; // "-vbrhi -qvbr "
    QString quality;        // the quality as typed, 0 to 1 ("0.2")
    bool adif = false;      // "Use ADIF header"
    QString adifSwitch;     // "-adif"
};

struct JobSettings {
    // Locations.
    QString input;
    QString output;
    QString tempFolder; // ends with the path separator
    QString tromvax;
    QString kardune;
    QString aacenc;
    // The chosen VOB substream as the combo shows it ("0x81", "SubStream ID").
    QString substream;
    // The title of a disc input (from 1); 0: the longest.
    int title = 0;
    quint32 priorityClass = 0x20;

    // Gain: measured by a pass over the source, or the fixed gain text.
    bool measureGain = true;
    QString fixedGain;
    // What the measuring pass aims at: "max" (the peak at full scale) or
    // "lufs:-16" (an integrated loudness with a true-peak ceiling).
    QString gainTarget = QStringLiteral("max");
    // Six channels (5.1 chosen and "Channels Mode" ticked) for the gain pass
    // and the decode alike; otherwise both are stereo.
    bool sixChannels = false;

    // Splitting: the segment size as typed and the track length.
    QString segmentText;
    double segmentSeconds = 0;
    double trackSeconds = 0;

    // The transcoder's stages.
    SwitchList downmix;    // -azid( (AC3 sources)
    SwitchList resampler;  // -ssrc(
    QString boost;         // -boost( (sources that skip the AC3 decoder)
    SwitchList plugin;     // -plugin(
    SwitchList delayStage; // the first part's -ota(
    bool autoDelay = false; // apply the A/V delay found in a VOB
    int resampleRate = 0;  // the resampler's output rate, 0 when off

    EncoderSettings encoder;
    bool wavHeader = false; // "Add Wave header to output"
    // The boxes ticked, even where greyed: an MPEG-4 output refuses them.
    bool wavHeaderTicked = false;

    // An MPEG-4 audio file (".m4a", any case) rather than ADTS.
    bool mpeg4Output() const;

    // The log in the per-user data folder.
    QString logPath;
    bool appendLog = true;
    bool openLogWhenDone = false;

    bool vobSource() const;
    // A disc: a folder (VIDEO_TS, or the folder holding it) or an image.
    bool discSource() const;
    // The segment lengths of the split ("256" per part); empty with `error`
    // set when the options cannot give a finite list of parts, empty without
    // it when the track length is not positive.
    QStringList segments(QString *error = nullptr) const;
};

JobSettings readJobSettings(const ws::OptionModel &options);

// Whether an input names a DVD-Video disc rather than a file: an existing
// folder, or a name ending in ".iso".
bool isDiscInput(const QString &input);

// Whether an output name asks for MPEG-4 audio: it ends in ".m4a", any case.
bool isMpeg4Name(const QString &output);

// The title number at the start of the Title combo's text ("2  0:45:10
// (6 chapters)" or "2"); 0 (the longest) for anything else.
int titleNumber(const QString &text);

// A disc's name: the folder that holds VIDEO_TS, or the image's name
// without ".iso" ("/dvd/FILM/VIDEO_TS" and "/iso/FILM.iso" give "FILM").
QString discName(const QString &disc);
// Where outputs named after a disc go: that name in the folder beside it
// ("/dvd/FILM/VIDEO_TS" gives "/dvd/FILM", "/iso/FILM.iso" "/iso/FILM").
QString discOutputBase(const QString &disc);

// The priority class that the "priority" combo's text names.
quint32 priorityClassFor(const QString &priorityText);

} // namespace wsjob
