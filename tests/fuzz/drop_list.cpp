// Files dropped on the batch window: the input is the dropped data's file list
// (text/uri-list). The local files it names are taken in as the window takes
// them, into an empty list; then every row's texts and the conversion request
// of every item are read back.
//
// The files live in a scratch folder that is the current folder while an
// input runs, so relative file URLs ("file:a.vob") find them: a.vob, B.AC3,
// c.wav, "d e.mp2", f.mpa, g.txt, an empty h.ac3, a folder i.vob and a
// link j.wav to c.wav.
#include "BatchItems.h"
#include "FuzzSupport.h"

#include <QByteArray>
#include <QMimeData>

#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string scratch, home;

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    scratch = wsfuzz::scratchDir();
    char here[4096];
    if (!::getcwd(here, sizeof here))
        wsfuzz::fail("cannot read the current folder");
    home = here;
    for (const char *name : {"a.vob", "B.AC3", "c.wav", "d e.mp2", "f.mpa", "g.txt"})
        wsfuzz::writeFile(scratch + "/" + name, std::string(1000, 'x'));
    wsfuzz::writeFile(scratch + "/h.ac3", std::string());
    ::mkdir((scratch + "/i.vob").c_str(), 0700);
    if (::symlink("c.wav", (scratch + "/j.wav").c_str()) != 0)
        wsfuzz::fail("cannot make a link");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (scratch.empty())
        LLVMFuzzerInitialize(nullptr, nullptr);
    if (::chdir(scratch.c_str()) != 0)
        wsfuzz::fail("cannot enter the scratch folder");

    QMimeData drop;
    drop.setData(QStringLiteral("text/uri-list"), QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    const QStringList files = wsbatch::droppedFiles(&drop);

    wsbatch::batchItems().resize(0);
    int rows = 0, width = 0;
    QStringList taken;
    for (const QString &path : files) {
        const wsbatch::Intake in = wsbatch::takeDroppedFile(path, rows, width);
        if (!in.taken)
            continue;
        taken << path;
        ++rows;
        FUZZ_CHECK(wsbatch::batchItems().size() == rows);
        for (int j : in.repadded)
            FUZZ_CHECK(j >= 0 && j < rows - 1);
    }
    for (int j = 0; j < rows; ++j) {
        // Every name column has the width of the widest.
        FUZZ_CHECK(wsbatch::batchItems().BatchName.at(j).size() == width);
        FUZZ_CHECK(wsbatch::rowText(j).startsWith(wsbatch::batchItems().BatchName.at(j)));
        (void)wsbatch::fullRowText(j);
        // The item converts the file that was dropped.
        const std::optional<wsbatch::EncodeRequest> r = wsbatch::encodeRequest(j, rows);
        FUZZ_CHECK(r && r->inputFile == taken.at(j));
    }
    wsbatch::ClearItemArrays(rows);
    if (::chdir(home.c_str()) != 0)
        wsfuzz::fail("cannot go back to the starting folder");
    return 0;
}
