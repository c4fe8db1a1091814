// tromvax: the audio transcoder of The Wavesmithy.
#include "CommandLine.h"
#include "Tromvax.h"

#include <iostream>

int main(int argc, char **argv)
{
    return tromvax::run(wstool::wordsFromArgv(argc, argv), std::cout, std::cerr);
}
