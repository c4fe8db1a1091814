#include "DiscList.h"

#include "JobSettings.h"
#include "Platform.h"

#include <QFileInfo>
#include <QProcess>
#include <QStringList>

#include <algorithm>
#include <cmath>

namespace wsjob {

namespace {
constexpr double kMaxSeconds = 86400;
}

std::optional<QList<DiscTitleInfo>> parseDiscList(const QString &text)
{
    QList<DiscTitleInfo> titles;
    const auto titleOf = [&](const QString &n) -> DiscTitleInfo * {
        for (DiscTitleInfo &t : titles)
            if (QString::number(t.number) == n)
                return &t;
        return nullptr;
    };
    for (const QString &line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QStringList w = line.trimmed().split(QLatin1Char(' '), Qt::SkipEmptyParts);
        bool ok = true, ok2 = true;
        if (w.size() == 5 && w[0] == QLatin1String("title")) {
            DiscTitleInfo t;
            t.number = w[1].toInt(&ok);
            t.seconds = w[2].toDouble(&ok2);
            // A disc numbers its titles 1 to 99 (a VOB's streams are title 0);
            // a length beyond a day is no title's.
            if (!ok || !ok2 || t.number < 0 || t.number > 99 || !(t.seconds >= 0 && t.seconds < kMaxSeconds) ||
                titleOf(w[1]))
                return std::nullopt;
            titles << t;
        } else if (w.size() == 4 && w[0] == QLatin1String("chapter")) {
            DiscTitleInfo *t = titleOf(w[1]);
            const double start = w[3].toDouble(&ok);
            if (!t || !ok || !(start >= 0 && start < kMaxSeconds))
                return std::nullopt;
            t->chapterStarts << start;
        } else if (w.size() == 7 && w[0] == QLatin1String("audio")) {
            DiscTitleInfo *t = titleOf(w[1]);
            DiscTrack a;
            a.id = w[2];
            a.format = w[3];
            a.channels = w[4].toInt(&ok);
            a.language = w[5] == QLatin1String("-") ? QString() : w[5];
            a.commentary = w[6] == QLatin1String("commentary");
            if (!t || !ok || a.channels < 0 || a.channels > 8 || !a.id.startsWith(QLatin1String("0x")) ||
                a.id.size() != 4)
                return std::nullopt;
            t->tracks << a;
        } else {
            return std::nullopt;
        }
    }
    return titles;
}

namespace {

QStringList listArguments(const QString &disc)
{
    return {QStringLiteral("-list("), QStringLiteral("-input"), disc, QStringLiteral(")")};
}

// The answer of a listing that has ended.
std::optional<QList<DiscTitleInfo>> readAnswer(QProcess &p, const QString &tromvax, QString *error)
{
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        if (error) {
            *error = QString::fromLocal8Bit(p.readAllStandardError()).trimmed().section(QLatin1Char('\n'), -1);
            if (error->isEmpty())
                *error = QStringLiteral("%1 could not list it").arg(tromvax);
        }
        return std::nullopt;
    }
    auto titles = parseDiscList(QString::fromUtf8(p.readAllStandardOutput()));
    if (!titles && error)
        *error = QStringLiteral("%1 gave a list that could not be read").arg(tromvax);
    return titles;
}

QString notFound(const QString &tromvax) { return QStringLiteral("the tool %1 was not found").arg(tromvax); }

} // namespace

std::optional<QList<DiscTitleInfo>> listDisc(const QString &tromvax, const QString &disc, QString *error)
{
    const QString program = wsplatform::findProgram(tromvax);
    if (program.isEmpty()) {
        if (error)
            *error = notFound(tromvax);
        return std::nullopt;
    }
    QProcess p;
    wsplatform::setUpToolProcess(p, 0x20);
    p.start(program, listArguments(disc));
    if (!p.waitForFinished(60000)) {
        if (error)
            *error = QStringLiteral("%1 did not answer").arg(tromvax);
        return std::nullopt;
    }
    return readAnswer(p, tromvax, error);
}

DiscLister::DiscLister(QObject *parent) : QObject(parent) {}

DiscLister::~DiscLister() { cancel(); }

void DiscLister::cancel()
{
    if (!process_)
        return;
    QProcess *p = process_;
    process_ = nullptr;
    p->disconnect(this);
    if (p->state() != QProcess::NotRunning) {
        p->kill();
        p->waitForFinished(2000);
    }
    delete p;
}

void DiscLister::start(const QString &tromvax, const QString &disc)
{
    cancel();
    const QString program = wsplatform::findProgram(tromvax);
    if (program.isEmpty()) {
        emit failed(disc, notFound(tromvax));
        return;
    }
    auto *p = new QProcess;
    process_ = p;
    wsplatform::setUpToolProcess(*p, 0x20);
    connect(p, &QProcess::finished, this, [this, p, tromvax, disc] {
        QString error;
        const auto titles = readAnswer(*p, tromvax, &error);
        process_ = nullptr;
        p->deleteLater();
        if (titles)
            emit listed(disc, *titles);
        else
            emit failed(disc, error);
    });
    connect(p, &QProcess::errorOccurred, this, [this, p, disc](QProcess::ProcessError e) {
        if (e != QProcess::FailedToStart)
            return;
        const QString why = p->errorString();
        process_ = nullptr;
        p->deleteLater();
        emit failed(disc, why);
    });
    p->start(program, listArguments(disc));
}

QStringList substreamItems(const QString &gap)
{
    QStringList items;
    const struct {
        int first;
        const char *kind;
    } groups[] = {{0x80, "AC3"}, {0x88, "DTS"}, {0xA0, "PCM"}, {0xC0, "MPA"}};
    for (const auto &g : groups)
        for (int d = 0; d < 8; ++d)
            items << QStringLiteral("0x%1%2(%3)").arg(QString::number(g.first + d, 16).toUpper(), gap, QLatin1String(g.kind));
    return items;
}

bool isListable(const QString &input)
{
    return isDiscInput(input) || (input.endsWith(QLatin1String(".vob"), Qt::CaseInsensitive) && QFileInfo(input).isFile());
}

const DiscTitleInfo *findTitle(const QList<DiscTitleInfo> &titles, int number)
{
    for (const DiscTitleInfo &t : titles)
        if (t.number == number)
            return &t;
    return nullptr;
}

const DiscTitleInfo &chosenTitle(const QList<DiscTitleInfo> &titles, int number)
{
    if (const DiscTitleInfo *t = number > 0 ? findTitle(titles, number) : nullptr)
        return *t;
    // The first of the longest, as the transcoder takes it.
    return *std::max_element(titles.begin(), titles.end(),
                             [](const DiscTitleInfo &a, const DiscTitleInfo &b) { return a.seconds < b.seconds; });
}

QString lengthText(double seconds)
{
    const long s = std::lround(seconds);
    return QStringLiteral("%1:%2:%3")
        .arg(s / 3600)
        .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(s % 60, 2, 10, QLatin1Char('0'));
}

QString titleItem(const DiscTitleInfo &t)
{
    const int chapters = int(t.chapterStarts.size());
    return QStringLiteral("%1  %2  (%3 chapter%4)")
        .arg(t.number)
        .arg(lengthText(t.seconds))
        .arg(chapters)
        .arg(chapters == 1 ? QString() : QStringLiteral("s"));
}

QString trackItem(const DiscTrack &t)
{
    const QString kind = t.format == QLatin1String("lpcm")   ? QStringLiteral("LPCM")
                         : t.format == QLatin1String("mpeg") ? QStringLiteral("MPA")
                                                             : t.format.toUpper();
    // 6 channels are 5.1, 2 are 2.0, as players name them.
    const QString layout = t.channels == 6   ? QStringLiteral("5.1")
                           : t.channels >= 1 ? QStringLiteral("%1.0").arg(t.channels)
                                             : QString();
    QString item = t.id + QStringLiteral("  ") + kind;
    if (!layout.isEmpty())
        item += QLatin1Char(' ') + layout;
    if (!t.language.isEmpty())
        item += QLatin1Char(' ') + t.language;
    if (t.commentary)
        item += QStringLiteral(" (commentary)");
    return item;
}

QStringList trackItems(const DiscTitleInfo &t)
{
    QStringList items;
    for (const DiscTrack &track : t.tracks)
        items << trackItem(track);
    return items;
}

QList<DiscTitleInfo> titlesByLength(const QList<DiscTitleInfo> &titles, double minSeconds)
{
    QList<DiscTitleInfo> out;
    for (const DiscTitleInfo &t : titles)
        if (t.seconds > minSeconds)
            out << t;
    std::stable_sort(out.begin(), out.end(),
                     [](const DiscTitleInfo &a, const DiscTitleInfo &b) { return a.seconds > b.seconds; });
    return out;
}

} // namespace wsjob
