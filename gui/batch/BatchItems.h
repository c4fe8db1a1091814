// The batch list's item model: six parallel, process-wide, zero-based arrays
// in which entry i describes row i of the batch window's list, the texts of
// the fixed-width columns and the rules by which dropped files become items.
// Qt Core only; the window (BatchWindow) shows this state.
//
// The list shows columns by padding texts with blanks in a fixed-pitch font:
//   name       the full path followed by at least three blanks
//   substream  "   0x80  " for a VOB item, "    N/A  " for every other item
//   source     " " + size in a 15-character field (VOB, AC3 and MPEG audio),
//              " ----- N/A -----" (WAV)
//   WAV        "   " + size field (WAV), "   ---,---,---,---" (others)
//   AAC        "   ---,---,---,---" for every item
#pragma once

#include "DiscList.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

class QMimeData;

namespace wsbatch {

// The item arrays. They outlive the batch window: closing it empties their
// entries but keeps their size.
struct BatchItemArrays {
    QStringList BatchName;       // name column, padded to the name column width
    QStringList BatchSubstream;  // substream column, 9 characters
    QStringList BatchSourceSize; // VOB/AC3 size column, 16 characters
    QStringList BatchWavSize;    // WAV size column, 18 characters
    QStringList BatchAacSize;    // AAC size column, 18 characters
    QList<int> BatchNameWidth;   // length of the name column when the item was added
    QList<int> BatchTitle;       // a disc title item's title number; 0 for a file
    QStringList BatchDisc;       // a disc title item's disc; empty for a file
    QList<QStringList> BatchTracks; // the tracks listed for a VOB or title, with their facts

    int size() const { return int(BatchName.size()); }
    // Resizes every array to `n` entries, keeping the contents of the others.
    void resize(int n);
};

// The process-wide arrays.
BatchItemArrays &batchItems();

// Empties entries 0 .. rowCount-1 of the five text arrays (BatchNameWidth
// stays); entries that do not exist are left alone.
void ClearItemArrays(int rowCount);

// Pads `text` with blanks up to `width` characters: side "Left" appends the
// blanks, "Right" puts them in front, any other side leaves the text as it is.
// A text of `width` characters or more is never cut. The result is stored
// back into `text` and returned.
QString PadText(QString &text, int width, const QString &side);

// `value` right-aligned in a field of grouped digits: for 12 digits the field
// is 15 characters (twelve digits and three separators). Digits are grouped by
// threes with "," whatever the locale, so the sizes line up with the
// "---,---,---,---" placeholders of the other columns. A value too long for
// the field is shown whole, without leading blanks.
QString FormatSize(qint64 value, int digits);

// Splits `text` at `delimiter` from the left. `limit` -1 takes every piece,
// otherwise at most `limit` pieces (the text after the last one taken is
// dropped). `compare` 0 matches the delimiter exactly, any other value without
// regard to case. Consecutive delimiters give empty pieces; a delimiter at the
// very end gives no empty last piece. An empty delimiter gives the whole text
// as one piece.
QStringList SplitText(const QString &text, const QString &delimiter, int limit = -1, int compare = 0);

// The file name in a name column text, lower-cased ("/dvd/VTS_01_1.VOB   "
// gives "vts_01_1.vob"); empty for a blank column.
QString RowFileName(const QString &column);

// Which kind of item a path makes, judged by its last three characters only
// (lower-cased): "vob", "ac3", "wav", or "mp" followed by anything (mp2, mp3,
// mpa, also mpg). Nothing for any other file.
enum class ItemKind { Vob, Ac3, Wav, MpegAudio };
std::optional<ItemKind> itemKind(const QString &path);

// The column texts of one new item.
struct ItemColumns {
    QString name;
    QString substream;
    QString sourceSize;
    QString wavSize;
    QString aacSize;
};
ItemColumns itemColumns(const QString &path, ItemKind kind, qint64 size);

// Substream column of an ID ("0xA2" gives "   0xA2  ").
QString substreamColumn(const QString &id);

// Whether the file name of `nameColumn` equals, after lower-casing, that of
// one of the items 0 .. rowCount-1.
bool isDuplicate(const QString &nameColumn, int rowCount);

// The outcome of taking one dropped file or disc in.
struct Intake {
    bool taken = false;
    QStringList rowTexts; // the new rows: name column and substream column
    QList<int> repadded;  // earlier rows whose name column was widened
    QString refused;      // why a disc gave no item
};

// What the transcoder lists for a VOB (title 0, its streams in the order of
// the automatic choice) or a disc; nothing when it could not be listed.
using Listing = std::optional<QList<wsjob::DiscTitleInfo>>;

// The name column text of a disc's title ("/dvd/FILM  [title 2, 1:52:10]").
QString discItemName(const QString &disc, const wsjob::DiscTitleInfo &title);

// Local files offered by a drop, in the order the data lists them; nothing
// when the data offers no file list.
QStringList droppedFiles(const QMimeData *data);

// Takes one dropped file in as the item after the `rowCount` existing rows:
// files of other kinds, files whose size cannot be read (vanished, not a
// regular file, unreadable) and duplicates are passed over. A taken file is
// stored at index rowCount (the arrays are resized to rowCount + 1 entries),
// `nameColumnWidth` grows to its name column's width, and every item whose
// name column is narrower is padded to it. The caller appends rowText to the
// list and rewrites the repadded rows with rowText(j).
// A VOB's substream column shows the ID the automatic choice takes, from
// `listing`, and "auto" when it was not listed. A disc (a folder or an .iso)
// gives one item per listed title longer than a minute, the longest first.
Intake takeDroppedFile(const QString &path, int rowCount, int &nameColumnWidth, const Listing &listing = std::nullopt);

// Row text of item j as the intake shows it (name and substream columns).
QString rowText(int j);
// Row text of item j with all five columns.
QString fullRowText(int j);

// What converting one item asks of the main window.
struct EncodeRequest {
    QString inputFile;
    QString outputFile; // the input with its last three characters replaced by "aac"
                        // (a disc title: the disc's name with "_titleN.aac")
    QString substream;  // the item's ID for a VOB or title item; empty for
                        // the others and for the automatic choice
    bool automatic = false; // a VOB or title item left to the automatic choice
    int title = 0;      // a disc title item's title
};

// The request for item `row` of a list of `rowCount` rows: the path is the
// item's name column without its trailing blanks (so a path holding blanks
// of its own stays whole). Nothing for a row that does not exist or an item
// that was emptied.
std::optional<EncodeRequest> encodeRequest(int row, int rowCount);

} // namespace wsbatch
