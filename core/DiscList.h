// The titles and audio tracks of a DVD-Video disc, as `tromvax -list( -input
// DISC )` prints them, and the texts the window's Title and substream combos
// show for them ("1  1:52:10  (8 chapters)", "0x81  AC3 2.0 en (commentary)").
// For a VOB the list is one title numbered 0 holding the streams present,
// in the order of the automatic choice (the first is the one the job takes
// without a substream): what the batch window's column and combo show.
#pragma once

#include <QList>
#include <QObject>
#include <QString>

#include <optional>

class QProcess;

namespace wsjob {

struct DiscTrack {
    QString id;       // "0x80"
    QString format;   // "ac3", "dts", "lpcm", "mpeg"
    int channels = 0;
    QString language; // "en", empty when the disc sets none
    bool commentary = false;
};

struct DiscTitleInfo {
    int number = 0;
    double seconds = 0;
    QList<double> chapterStarts; // seconds from the title's start
    QList<DiscTrack> tracks;     // in the disc's order
};

// Reads the list; nothing when a line is not of the list's form.
std::optional<QList<DiscTitleInfo>> parseDiscList(const QString &text);

// Runs `tromvax -list( -input DISC )` (the tool found as the job finds it)
// and reads its answer; nothing with `error` set when it fails.
std::optional<QList<DiscTitleInfo>> listDisc(const QString &tromvax, const QString &disc, QString *error = nullptr);

// The same run without waiting: the window stays live while a slow drive or
// a large VOB is read. Starting again abandons the listing still running.
class DiscLister : public QObject {
    Q_OBJECT
public:
    explicit DiscLister(QObject *parent = nullptr);
    ~DiscLister() override;
    void start(const QString &tromvax, const QString &disc);
    void cancel();
    bool isRunning() const { return process_ != nullptr; }

signals:
    // `disc` is the input as given to start().
    void listed(const QString &disc, const QList<wsjob::DiscTitleInfo> &titles);
    void failed(const QString &disc, const QString &error);

private:
    QProcess *process_ = nullptr;
};

// Every DVD audio substream ID with its kind, "0x80" + gap + "(AC3)":
// AC3, then DTS, PCM and MPEG audio, eight of each.
QStringList substreamItems(const QString &gap);

// Whether the transcoder can list an input: a disc, or an existing VOB.
bool isListable(const QString &input);

// The title of that number; nullptr when the list has none.
const DiscTitleInfo *findTitle(const QList<DiscTitleInfo> &titles, int number);
// The title a job takes: that number's, else the longest. The list must not be empty.
const DiscTitleInfo &chosenTitle(const QList<DiscTitleInfo> &titles, int number);

// "1:52:10": a title's length.
QString lengthText(double seconds);
// "1  1:52:10  (8 chapters)": the number first, so the job reads it.
QString titleItem(const DiscTitleInfo &t);
// "0x80  AC3 5.1 en", "0x81  AC3 2.0 en (commentary)", "0x89  DTS 5.1 de":
// the ID first, as in the substream combo's other items.
QString trackItem(const DiscTrack &t);
// The items of a title's tracks, in the disc's order.
QStringList trackItems(const DiscTitleInfo &t);
// The titles in the order a drop lists them: the longest first, then the
// others longer than `minSeconds`, longest first.
QList<DiscTitleInfo> titlesByLength(const QList<DiscTitleInfo> &titles, double minSeconds = 60);

} // namespace wsjob
