#include "BatchItems.h"

#include "JobSettings.h"

#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

namespace wsbatch {

namespace {

const QString kNoSize = QStringLiteral("---,---,---,---");
const QString kNoSourceSize = QStringLiteral("----- N/A -----");
const QString kAutomatic = QStringLiteral("auto");
const QString kOtherSubstream = QStringLiteral("    N/A  ");

QString withoutTrailingBlanks(const QString &text)
{
    qsizetype end = text.size();
    while (end > 0 && text.at(end - 1) == QLatin1Char(' '))
        --end;
    return text.left(end);
}

// The size of a file the intake can take, or nothing when it cannot be
// measured or read.
std::optional<qint64> measurableSize(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists() || !info.isFile() || !info.isReadable())
        return std::nullopt;
    return info.size();
}

} // namespace

void BatchItemArrays::resize(int n)
{
    n = qMax(0, n);
    BatchName.resize(n);
    BatchSubstream.resize(n);
    BatchSourceSize.resize(n);
    BatchWavSize.resize(n);
    BatchAacSize.resize(n);
    BatchNameWidth.resize(n);
    BatchTitle.resize(n);
    BatchDisc.resize(n);
    BatchTracks.resize(n);
}

BatchItemArrays &batchItems()
{
    static BatchItemArrays arrays;
    return arrays;
}

void ClearItemArrays(int rowCount)
{
    BatchItemArrays &a = batchItems();
    const int n = qMin(rowCount, a.size());
    for (int i = 0; i < n; ++i) {
        a.BatchName[i].clear();
        a.BatchSubstream[i].clear();
        a.BatchSourceSize[i].clear();
        a.BatchWavSize[i].clear();
        a.BatchAacSize[i].clear();
        if (i < a.BatchTitle.size()) {
            a.BatchTitle[i] = 0;
            a.BatchDisc[i].clear();
            a.BatchTracks[i].clear();
        }
    }
}

QString PadText(QString &text, int width, const QString &side)
{
    if (text.size() < width) {
        const QString blanks(width - text.size(), QLatin1Char(' '));
        if (side == QLatin1String("Left"))
            text += blanks;
        else if (side == QLatin1String("Right"))
            text.prepend(blanks);
    }
    return text;
}

QString FormatSize(qint64 value, int digits)
{
    // Field width: the digits and one separator for each full group of three
    // beyond the first.
    int field = 0;
    if (digits >= 1 && digits <= 12)
        field = digits + (digits - 1) / 3;

    const QString plain = QString::number(value);
    const int length = int(plain.size());
    int blanks = 0;
    if (length >= 1 && length <= 12)
        blanks = field - length - (length - 1) / 3;
    blanks = qMax(0, blanks);

    // Group the digits by threes (pattern ###,###,###,##0).
    const bool negative = value < 0;
    const QString digitsText = negative ? plain.mid(1) : plain;
    QString grouped;
    const qsizetype n = digitsText.size();
    for (qsizetype i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0)
            grouped += QLatin1Char(',');
        grouped += digitsText.at(i);
    }
    if (negative)
        grouped.prepend(QLatin1Char('-'));
    return QString(blanks, QLatin1Char(' ')) + grouped;
}

QStringList SplitText(const QString &text, const QString &delimiter, int limit, int compare)
{
    QStringList pieces;
    if (delimiter.isEmpty()) {
        if (!text.isEmpty() && limit != 0)
            pieces << text;
        return pieces;
    }
    const Qt::CaseSensitivity cs = compare == 0 ? Qt::CaseSensitive : Qt::CaseInsensitive;
    qsizetype p = 0;
    while (p < text.size() && pieces.size() != limit) {
        qsizetype q = text.indexOf(delimiter, p, cs);
        if (q < 0)
            q = text.size();
        pieces << text.mid(p, q - p);
        p = q + delimiter.size();
    }
    return pieces;
}

QString RowFileName(const QString &column)
{
    const QString path = withoutTrailingBlanks(column);
    if (path.isEmpty())
        return QString();
    const QStringList pieces = SplitText(path, QStringLiteral("/"), -1, 0);
    return pieces.isEmpty() ? QString() : pieces.last().toLower();
}

std::optional<ItemKind> itemKind(const QString &path)
{
    const QString e = path.right(3).toLower();
    if (e == QLatin1String("vob"))
        return ItemKind::Vob;
    if (e == QLatin1String("ac3"))
        return ItemKind::Ac3;
    if (e == QLatin1String("wav"))
        return ItemKind::Wav;
    if (e.size() == 3 && e.startsWith(QLatin1String("mp")))
        return ItemKind::MpegAudio;
    return std::nullopt;
}

ItemColumns itemColumns(const QString &path, ItemKind kind, qint64 size)
{
    ItemColumns c;
    c.name = path;
    PadText(c.name, int(path.size()) + 3, QStringLiteral("Left"));
    c.substream = kind == ItemKind::Vob ? substreamColumn(kAutomatic) : kOtherSubstream;
    if (kind == ItemKind::Wav) {
        c.sourceSize = QLatin1Char(' ') + kNoSourceSize;
        c.wavSize = QStringLiteral("   ") + FormatSize(size, 12);
    } else {
        // VOB, AC3 and MPEG audio are all sources that the job decodes: their
        // size goes to the source column.
        c.sourceSize = QLatin1Char(' ') + FormatSize(size, 12);
        c.wavSize = QStringLiteral("   ") + kNoSize;
    }
    c.aacSize = QStringLiteral("   ") + kNoSize;
    return c;
}

QString substreamColumn(const QString &id)
{
    return QStringLiteral("   ") + id.left(4) + QStringLiteral("  ");
}

bool isDuplicate(const QString &nameColumn, int rowCount)
{
    const BatchItemArrays &a = batchItems();
    const QString name = RowFileName(nameColumn);
    const int n = qMin(rowCount, a.size());
    for (int i = 0; i < n; ++i)
        if (RowFileName(a.BatchName.at(i)) == name)
            return true;
    return false;
}

QStringList droppedFiles(const QMimeData *data)
{
    QStringList files;
    if (!data || !data->hasUrls())
        return files;
    for (const QUrl &url : data->urls())
        if (url.isLocalFile())
            files << url.toLocalFile();
    return files;
}

QString discItemName(const QString &disc, const wsjob::DiscTitleInfo &title)
{
    QString path = disc;
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return QStringLiteral("%1  [title %2, %3]").arg(path).arg(title.number).arg(wsjob::lengthText(title.seconds));
}

namespace {

// Appends one item and pads the name column of every item to the widest.
void appendItem(Intake &result, const ItemColumns &c, int rowCount, int &nameColumnWidth)
{
    BatchItemArrays &a = batchItems();
    const int m = rowCount;
    a.resize(m + 1);
    a.BatchName[m] = c.name;
    a.BatchSubstream[m] = c.substream;
    a.BatchSourceSize[m] = c.sourceSize;
    a.BatchWavSize[m] = c.wavSize;
    a.BatchAacSize[m] = c.aacSize;
    a.BatchNameWidth[m] = int(c.name.size());
    a.BatchTitle[m] = 0;
    a.BatchDisc[m].clear();
    a.BatchTracks[m].clear();

    if (a.BatchNameWidth[m] > nameColumnWidth)
        nameColumnWidth = a.BatchNameWidth[m];
    for (int j = 0; j < m; ++j) {
        if (a.BatchNameWidth[j] < nameColumnWidth) {
            PadText(a.BatchName[j], nameColumnWidth, QStringLiteral("Left"));
            if (!result.repadded.contains(j))
                result.repadded << j;
        }
    }
    // The new item itself, when the column is wider than its own name.
    PadText(a.BatchName[m], nameColumnWidth, QStringLiteral("Left"));
    result.taken = true;
}

} // namespace

Intake takeDroppedFile(const QString &path, int rowCount, int &nameColumnWidth, const Listing &listing)
{
    Intake result;
    if (wsjob::isDiscInput(path)) {
        if (!listing) {
            result.refused = QStringLiteral("%1 could not be read as a DVD-Video disc").arg(path);
            return result;
        }
        const QList<wsjob::DiscTitleInfo> titles = wsjob::titlesByLength(*listing, 60);
        if (titles.isEmpty())
            result.refused = QStringLiteral("%1 has no title longer than a minute").arg(path);
        BatchItemArrays &a = batchItems();
        int rows = rowCount;
        for (const wsjob::DiscTitleInfo &t : titles) {
            ItemColumns c;
            c.name = discItemName(path, t);
            PadText(c.name, int(c.name.size()) + 3, QStringLiteral("Left"));
            if (isDuplicate(c.name, rows))
                continue;
            c.substream = substreamColumn(t.tracks.isEmpty() ? kAutomatic : t.tracks.first().id);
            c.sourceSize = QLatin1Char(' ') + kNoSourceSize;
            c.wavSize = c.aacSize = QStringLiteral("   ") + kNoSize;
            appendItem(result, c, rows, nameColumnWidth);
            a.BatchTitle[rows] = t.number;
            a.BatchDisc[rows] = path;
            a.BatchTracks[rows] = wsjob::trackItems(t);
            ++rows;
        }
        for (int j = rowCount; j < rows; ++j)
            result.rowTexts << rowText(j);
        result.repadded.removeIf([&](int j) { return j >= rowCount; });
        return result;
    }

    const std::optional<ItemKind> kind = itemKind(path);
    if (!kind)
        return result;
    const std::optional<qint64> size = measurableSize(path);
    if (!size)
        return result;
    ItemColumns c = itemColumns(path, *kind, *size);
    if (isDuplicate(c.name, rowCount))
        return result;
    // A VOB shows the stream the automatic choice takes, as listed.
    const wsjob::DiscTitleInfo *streams = listing && !listing->isEmpty() ? &listing->first() : nullptr;
    if (*kind == ItemKind::Vob && streams && !streams->tracks.isEmpty())
        c.substream = substreamColumn(streams->tracks.first().id);
    appendItem(result, c, rowCount, nameColumnWidth);
    if (*kind == ItemKind::Vob && streams)
        batchItems().BatchTracks[rowCount] = wsjob::trackItems(*streams);
    result.rowTexts << rowText(rowCount);
    return result;
}

QString rowText(int j)
{
    const BatchItemArrays &a = batchItems();
    if (j < 0 || j >= a.size())
        return QString();
    return a.BatchName.at(j) + a.BatchSubstream.at(j);
}

QString fullRowText(int j)
{
    const BatchItemArrays &a = batchItems();
    if (j < 0 || j >= a.size())
        return QString();
    return a.BatchName.at(j) + a.BatchSubstream.at(j) + a.BatchSourceSize.at(j) + a.BatchWavSize.at(j) +
           a.BatchAacSize.at(j);
}

std::optional<EncodeRequest> encodeRequest(int row, int rowCount)
{
    const BatchItemArrays &a = batchItems();
    if (row < 0 || row >= rowCount || row >= a.size())
        return std::nullopt;
    const QString path = withoutTrailingBlanks(a.BatchName.at(row));
    if (path.size() < 3)
        return std::nullopt;
    EncodeRequest r;
    const QString id = a.BatchSubstream.at(row).trimmed().left(4);
    if (row < a.BatchTitle.size() && a.BatchTitle.at(row) > 0) {
        // A disc's title: named after the disc (the folder holding VIDEO_TS,
        // or the image without ".iso").
        r.inputFile = a.BatchDisc.at(row);
        r.title = a.BatchTitle.at(row);
        r.outputFile = wsjob::discOutputBase(r.inputFile) + QStringLiteral("_title%1.aac").arg(r.title);
        r.automatic = id == kAutomatic;
        if (!r.automatic)
            r.substream = id;
        return r;
    }
    r.inputFile = path;
    r.outputFile = path.left(path.size() - 3) + QStringLiteral("aac");
    if (path.right(3).toLower() == QLatin1String("vob")) {
        r.automatic = id == kAutomatic;
        if (!r.automatic)
            r.substream = id;
    }
    return r;
}

} // namespace wsbatch
