// tromvax: the audio transcoder of The Wavesmithy.
#include "CommandLine.h"
#include "Interrupt.h"
#include "Tromvax.h"

#include <iostream>

int main(int argc, char **argv)
{
    wstool::installInterruptHandlers("tromvax");
    return tromvax::run(wstool::wordsFromArgv(argc, argv), std::cout, std::cerr);
}
