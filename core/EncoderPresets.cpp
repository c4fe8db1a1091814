#include "EncoderPresets.h"

#include "EncoderPresetTable.h"

namespace ws {

QString encodingProperties(const QString &presetName, const QString &channelMode)
{
    QString bitrate;
    QString cutoff;
    if (const wstool::EncoderPreset *p = wstool::findEncoderPreset(presetName.toStdString())) {
        bitrate = QString::number(channelMode == QLatin1String("5.1") ? p->kbps51 : p->kbpsStereo);
        cutoff = QString::number(p->cutoffHz);
    }
    return QStringLiteral("Approximate Bit rate = ") + bitrate + QStringLiteral("Kbps\r\n") +
           QStringLiteral("Cut-off frequency    = ") + cutoff + QStringLiteral("Hz");
}

} // namespace ws
