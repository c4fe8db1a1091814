#include "EncoderPresetTable.h"

namespace wstool {

const std::array<EncoderPreset, 8> kEncoderPresets{{
    {"tape", 165, 64, 13000},
    {"radio", 210, 83, 14000},
    {"internet", 255, 100, 15000},
    {"streaming", 330, 130, 18500},
    {"normal", 440, 170, 20500},
    {"extreme", 535, 210, 20500},
    {"archive", 600, 270, 20500},
    {"ultra", 700, 310, 20500},
}};

const EncoderPreset *findEncoderPreset(std::string_view name)
{
    for (const EncoderPreset &p : kEncoderPresets)
        if (name == p.name)
            return &p;
    return nullptr;
}

} // namespace wstool
