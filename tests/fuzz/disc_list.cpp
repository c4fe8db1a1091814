// The transcoder's disc list as the front end reads it: the input is the
// list. What it yields fills the window's Title and substream combos; each
// title item must lead with its number and each track item with its ID, so
// that the job reads back what was picked.
#include "DiscList.h"
#include "FuzzSupport.h"
#include "JobSettings.h"
#include "OptionModel.h"

#include <QCoreApplication>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const auto titles = wsjob::parseDiscList(text);
    if (!titles)
        return 0;
    for (const wsjob::DiscTitleInfo &t : *titles) {
        FUZZ_CHECK(wsjob::titleNumber(wsjob::titleItem(t)) == t.number || t.number == 0);
        for (const wsjob::DiscTrack &track : t.tracks)
            FUZZ_CHECK(wsjob::trackItem(track).left(4) == track.id);
    }
    FUZZ_CHECK(wsjob::titlesByLength(*titles, -1).size() <= titles->size());

    // The window's model takes the list as it comes.
    static ws::OptionModel model;
    model.setDiscListing(*titles);
    const ws::Control &substream = model.control(QStringLiteral("substream"));
    for (const QString &item : substream.items)
        FUZZ_CHECK(item.startsWith(QLatin1String("0x")));
    return 0;
}
