#include "EncoderPresets.h"

namespace ws {

const std::array<EncoderPreset, 8> kEncoderPresets{{
    {"tape", "165", "64", "13000"},
    {"radio", "210", "83", "14000"},
    {"internet", "255", "100", "15000"},
    {"streaming", "330", "130", "18500"},
    {"normal", "440", "170", "20500"},
    {"extreme", "535", "210", "20500"},
    {"archive", "600", "270", "20500"},
    {"ultra", "700", "310", "20500"},
}};

const EncoderPreset *findPreset(const QString &name)
{
    for (const EncoderPreset &p : kEncoderPresets)
        if (name == QLatin1String(p.name))
            return &p;
    return nullptr;
}

QString encodingProperties(const QString &presetName, const QString &channelMode)
{
    QString bitrate;
    QString cutoff;
    if (const EncoderPreset *p = findPreset(presetName)) {
        bitrate = QLatin1String(channelMode == QLatin1String("5.1") ? p->bitrate51 : p->bitrateStereo);
        cutoff = QLatin1String(p->cutoff);
    }
    return QStringLiteral("Approximate Bit rate = ") + bitrate + QStringLiteral("Kbps\r\n") +
           QStringLiteral("Cut-off frequency    = ") + cutoff + QStringLiteral("Hz");
}

} // namespace ws
