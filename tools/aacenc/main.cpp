#include "AacEnc.h"
#include "CommandLine.h"
#include "Interrupt.h"

extern "C" {
#include <libavutil/log.h>
}

#include <iostream>

int main(int argc, char **argv)
{
    av_log_set_level(AV_LOG_QUIET); // the tool reports its own errors, one line each
    wstool::installInterruptHandlers("aacenc");
    return aacenc::run(wstool::wordsFromArgv(argc, argv), std::cout, std::cerr);
}
