// The controls of the main window with their design values, in stored order.
// The order is part of the stored settings format and must not change.
#include "DiscList.h"
#include "OptionModel.h"

#include <QDir>

namespace ws {

namespace {

QString blanks(int n) { return QString(n, QLatin1Char(' ')); }

Control frame(const QString &name, const QString &caption)
{
    Control c;
    c.name = name;
    c.kind = Kind::Frame;
    c.caption = caption;
    c.foreColor = kFrameBlue;
    return c;
}

Control button(const QString &name, const QString &caption, const QString &inFrame = {})
{
    Control c;
    c.name = name;
    c.kind = Kind::Button;
    c.caption = caption;
    c.frame = inFrame;
    c.hasForeColor = false;
    return c;
}

Control label(const QString &name, const QString &caption, const QString &inFrame = {})
{
    Control c;
    c.name = name;
    c.kind = Kind::Label;
    c.caption = caption;
    c.frame = inFrame;
    return c;
}

Control line(const QString &name, const QString &inFrame)
{
    Control c;
    c.name = name;
    c.kind = Kind::Line;
    c.frame = inFrame;
    c.hasForeColor = false;
    return c;
}

Control textBox(const QString &name, int index, const QString &inFrame, const QString &text,
                const QString &tag = QStringLiteral("Orvelle"), const QString &tip = {})
{
    Control c;
    c.name = name;
    c.index = index;
    c.kind = Kind::TextBox;
    c.frame = inFrame;
    c.text = text;
    c.tag = tag;
    c.toolTip = tip;
    c.foreColor = kWindowText;
    c.backColor = kYellow;
    return c;
}

Control combo(const QString &name, int index, const QString &inFrame, const QString &text,
              const QStringList &items, const QString &tip = {})
{
    Control c = textBox(name, index, inFrame, text, QStringLiteral("Orvelle"), tip);
    c.kind = Kind::ComboBox;
    c.items = items;
    return c;
}

Control checkBox(const QString &name, int index, const QString &inFrame, const QString &caption,
                 const QString &tag, int tick, Colour colour)
{
    Control c;
    c.name = name;
    c.index = index;
    c.kind = Kind::CheckBox;
    c.frame = inFrame;
    c.caption = caption;
    c.tag = tag;
    c.value = tick;
    c.foreColor = colour;
    return c;
}

Control option(const QString &name, int index, const QString &inFrame, const QString &caption,
               const QString &tag, bool selected, Colour colour)
{
    Control c = checkBox(name, index, inFrame, caption, tag, selected ? 1 : 0, colour);
    c.kind = Kind::OptionButton;
    return c;
}

Control hidden(Control c)
{
    c.visible = false;
    return c;
}

Control disabled(Control c)
{
    c.enabled = false;
    return c;
}

QString defaultTempFolder()
{
    QString t = QDir::toNativeSeparators(QDir::tempPath());
    if (!t.endsWith(OptionModel::separator()))
        t += OptionModel::separator();
    return t;
}

} // namespace

void OptionModel::createControls()
{
    const QString F1 = QStringLiteral("Frame1"), F2 = QStringLiteral("Frame2"), F3 = QStringLiteral("Frame3"),
                  F4 = QStringLiteral("Frame4"), F5 = QStringLiteral("Frame5"), F6 = QStringLiteral("Frame6"),
                  F7 = QStringLiteral("Frame7"), F8 = QStringLiteral("Frame8"), F9 = QStringLiteral("Frame9"),
                  F10 = QStringLiteral("Frame10");
    const QString O = QStringLiteral("Orvelle");

    // Window-level buttons and the command-line pane.
    add(button(QStringLiteral("Command4"), QStringLiteral("Exit")));
    add(button(QStringLiteral("Command5"), QStringLiteral("Play AAC")));
    add(button(QStringLiteral("Command1"), QStringLiteral("Enter Batch Mode")));
    add(frame(F7, QStringLiteral("Command Line ")));
    add(button(QStringLiteral("Command3"), QStringLiteral("Show/Hide Commandline"), F7));
    add(label(QStringLiteral("text1"), {}, F7));

    // Locations.
    add(frame(F1, QStringLiteral("Locations ")));
    add(textBox(QStringLiteral("TempFolder"), -1, F1, defaultTempFolder(), O, QStringLiteral("Temporary Folder")));
    add(textBox(QStringLiteral("Kardune"), -1, F1, QStringLiteral("kardune"), O,
                QStringLiteral("PATH of Kardune v0.82 (or newer)")));
    add(hidden(combo(QStringLiteral("substream"), -1, F1, QStringLiteral("SubStream ID"), wsjob::substreamItems(QStringLiteral("  ")))));
    add(textBox(QStringLiteral("aacenc"), -1, F1, QStringLiteral("aacenc"), O,
                QStringLiteral("PATH of AacEnc v2.15 (or newer)")));
    add(textBox(QStringLiteral("OutputFile"), -1, F1, QStringLiteral("Output.aac"), O,
                QStringLiteral("Double-Click to select output file")));
    add(textBox(QStringLiteral("InputFile"), -1, F1, QStringLiteral("Input.ac3"), O,
                QStringLiteral("Click to select input file..")));
    add(textBox(QStringLiteral("Tromvax"), -1, F1, QStringLiteral("tromvax"), O,
                QStringLiteral("PATH of Tromvax v1.4 (or newer)")));
    {
        Control guide = label(QStringLiteral("EtsLinkLabel2"), QStringLiteral("The Wavesmithy Guide"), F1);
        guide.kind = Kind::LinkLabel;
        guide.foreColor = rgb(0, 0, 255);
        add(guide);
        Control tools = label(QStringLiteral("EtsLinkLabel1"), QStringLiteral("Wavesmithy Companion Tools"), F1);
        tools.kind = Kind::LinkLabel;
        tools.foreColor = rgb(0, 0, 255);
        add(tools);
    }
    add(label(QStringLiteral("Label6"), QStringLiteral("AacEnc.exe"), F1));
    add(line(QStringLiteral("Line3"), F1));
    add(label(QStringLiteral("Label3"), QStringLiteral("Output (AAC)"), F1));
    add(label(QStringLiteral("Label2"), QStringLiteral("Input (VOB/AC3/MPx)"), F1));
    add(label(QStringLiteral("Label1"), QStringLiteral("Tromvax.exe"), F1));

    // AAC encoding options.
    add(frame(F5, QStringLiteral("AAC Encoding options ")));
    add(checkBox(QStringLiteral("aacmore"), 0, F5, QStringLiteral("Use ADIF header"), QStringLiteral("-adif"), 0,
                 kGrey));
    add(disabled(combo(QStringLiteral("aaccmb"), 1, F5, QStringLiteral("0.2"),
                       {QStringLiteral("0.050"), QStringLiteral("0.100"), QStringLiteral("0.150"),
                        QStringLiteral("0.200"), QStringLiteral("0.250"), QStringLiteral("0.300"),
                        QStringLiteral("0.350"), QStringLiteral("0.400"), QStringLiteral("0.450"),
                        QStringLiteral("0.499"), QStringLiteral("0.500"), QStringLiteral("0.550"),
                        QStringLiteral("0.600"), QStringLiteral("0.650"), QStringLiteral("0.700"),
                        QStringLiteral("0.750"), QStringLiteral("0.800"), QStringLiteral("0.850"),
                        QStringLiteral("0.900"), QStringLiteral("0.950"), QStringLiteral("1.000")})));
    add(combo(QStringLiteral("aaccmb"), 0, F5, QStringLiteral("normal"),
              {QStringLiteral("tape"), QStringLiteral("radio"), QStringLiteral("internet"),
               QStringLiteral("streaming"), QStringLiteral("normal"), QStringLiteral("extreme"),
               QStringLiteral("archive"), QStringLiteral("ultra")}));
    add(option(QStringLiteral("aac"), 0, F5, QStringLiteral("VBR Preset"), QStringLiteral("-"), true, kGreen));
    add(option(QStringLiteral("aac"), 1, F5, QStringLiteral("Quality"), QStringLiteral("-vbrhi -qvbr "), false,
               kGrey));
    add(label(QStringLiteral("info"), QStringLiteral("Encoding Properties"), F5));

    // External plug-in.
    add(frame(F10, QStringLiteral("External PlugIn ")));
    add(textBox(QStringLiteral("pluginval"), 0, F10, QStringLiteral("KQ_M2S.dll")));
    add(checkBox(QStringLiteral("plugin"), 1, F10, QStringLiteral("Function"), QStringLiteral("-func"), 0, kGrey));
    add(checkBox(QStringLiteral("plugin"), 0, F10, QStringLiteral("DLL Name"), QStringLiteral("-name"), 0, kGrey));
    add(textBox(QStringLiteral("pluginval"), 1, F10, QStringLiteral("Simple")));

    // Splitting options.
    add(frame(F9, QStringLiteral("Splitting Options ")));
    add(textBox(QStringLiteral("splitval"), 1, F9, QStringLiteral("120")));
    add(textBox(QStringLiteral("splitval"), 0, F9, QStringLiteral("256")));
    add(checkBox(QStringLiteral("split"), 0, F9, QStringLiteral("Segment Size =") + blanks(27) + QStringLiteral("secs"),
                 QStringLiteral("-start"), 1, kGrey));
    add(checkBox(QStringLiteral("split"), 1, F9, QStringLiteral("Track Length  =") + blanks(27) + QStringLiteral("mins"),
                 QStringLiteral("-end"), 1, kGrey));

    // General.
    add(frame(F8, QStringLiteral("General ")));
    add(checkBox(QStringLiteral("general"), 0, F8, QStringLiteral("Gray Coloring For Uncommonly-used Switches"),
                 QStringLiteral("-end"), 1, kGreen));
    add(combo(QStringLiteral("priority"), -1, F8, QStringLiteral("Normal"),
              {QStringLiteral("RealTime"), QStringLiteral("High"), QStringLiteral("Normal"), QStringLiteral("Idle")}));
    {
        Control l = label(QStringLiteral("Label4"), QStringLiteral("Priority Class "), F8);
        l.foreColor = kGrey;
        add(l);
    }

    // Window level: value boxes without a switch of their own, and the run button.
    for (int i : {7, 6, 5})
        add(hidden(textBox(QStringLiteral("AZIDVAL"), i, {}, {}, {})));
    add(button(QStringLiteral("Command2"), QStringLiteral("Give me AAC!")));

    // Log file options.
    add(frame(F6, QStringLiteral("Log File Options ")));
    add(textBox(QStringLiteral("LOGFILEVAL"), 0, F6, QStringLiteral("Tromvax.log")));
    add(checkBox(QStringLiteral("LOGFILE"), 2, F6, QStringLiteral("PopUp Log File When Finished"),
                 QStringLiteral("pop"), 0, kGrey));
    add(checkBox(QStringLiteral("LOGFILE"), 1, F6, QStringLiteral("Append to Log File"), QStringLiteral("a"), 1, kGrey));
    add(checkBox(QStringLiteral("LOGFILE"), 0, F6, QStringLiteral("Output to Log File"), QStringLiteral("-logfile"), 1,
                 kGreen));

    // Resampler.
    add(frame(F4, QStringLiteral("SSRC Options")));
    add(combo(QStringLiteral("ssrcv"), 0, F4, QStringLiteral("44100"),
              {QStringLiteral("96000"), QStringLiteral("88200"), QStringLiteral("64000"), QStringLiteral("48000"),
               QStringLiteral("44100"), QStringLiteral("32000"), QStringLiteral("24000"), QStringLiteral("22050"),
               QStringLiteral("16000"), QStringLiteral("12000"), QStringLiteral("11025"), QStringLiteral("8000")}));
    add(textBox(QStringLiteral("SSRCVAL"), 1, F4, QStringLiteral("0")));
    add(checkBox(QStringLiteral("SSRC"), 1, F4, QStringLiteral("Attenuate Volume by") + blanks(24) + QStringLiteral("dB"),
                 QStringLiteral("--att"), 0, kGrey));
    add(checkBox(QStringLiteral("SSRC"), 0, F4,
                 QStringLiteral("Set Sampling Rate to") + blanks(23) + QStringLiteral("Hz"), QStringLiteral("--rate"), 0,
                 kGrey));

    // Overall output configuration (the caption is spelled so).
    add(frame(F3, QStringLiteral("Overall Output Configuatrion ")));
    add(hidden(option(QStringLiteral("AzidG"), 1, F3, QStringLiteral("PostGain"), QStringLiteral("-G "), false, kGreen)));
    add(hidden(checkBox(QStringLiteral("OTA"), 3, F3, QStringLiteral("A/V Delay"), QStringLiteral("auto"), 0, kGreen)));
    add(hidden(textBox(QStringLiteral("OTAval"), 2, F3, QStringLiteral("0"))));
    add(hidden(checkBox(QStringLiteral("OTA"), 2, F3,
                        QStringLiteral("Append Silence of") + blanks(19) + QStringLiteral("msecs"), QStringLiteral("-e"),
                        0, kGrey)));
    add(option(QStringLiteral("AzidG"), 0, F3, QStringLiteral("Gain"), QStringLiteral("-g "), true, kGreen));
    add(textBox(QStringLiteral("OTAval"), 0, F3, QStringLiteral("0"), {}));
    add(checkBox(QStringLiteral("OTA"), 0, F3, QStringLiteral("Set Delay to") + blanks(21) + QStringLiteral("msecs"),
                 QStringLiteral("-d"), 0, kGreen));
    add(textBox(QStringLiteral("FRCVAL"), 1, F3, QStringLiteral("23976")));
    add(textBox(QStringLiteral("FRCVAL"), 0, F3, QStringLiteral("25000")));
    add(checkBox(QStringLiteral("OTA"), 1, F3,
                 QStringLiteral("Change Frame rate from") + blanks(20) + QStringLiteral("to"), QStringLiteral("-r"), 0,
                 kGrey));
    add(checkBox(QStringLiteral("Azid"), 6, F3, QStringLiteral("Control Rear-Channel Filtering"), QStringLiteral("-f1"),
                 0, kGrey));
    add(checkBox(QStringLiteral("addriff"), -1, F3, QStringLiteral("Add Wave header to output"), QStringLiteral("-n1"),
                 0, kGrey));
    add(checkBox(QStringLiteral("Azid"), 8, F3, QStringLiteral("Channels Mode"), QStringLiteral("-s"), 1, kGreen));
    add(combo(QStringLiteral("azidcmb"), 8, F3, QStringLiteral("surround"),
              {QStringLiteral("surround2"), QStringLiteral("surround"), QStringLiteral("stereo"), QStringLiteral("5.1")},
              QStringLiteral("Don't select 'surround2' for 2/0 track!")));
    add(combo(QStringLiteral("azidcmb"), 9, F3, QStringLiteral("normal"),
              {QStringLiteral("light"), QStringLiteral("normal"), QStringLiteral("heavy"), QStringLiteral("inverse")}));
    add(checkBox(QStringLiteral("Azid"), 9, F3, QStringLiteral("Dynamic Compression"), QStringLiteral("-c"), 1, kGreen));
    add(checkBox(QStringLiteral("Azid"), 7, F3, QStringLiteral("Auto Find Maximum Gain"), QStringLiteral("max"), 1,
                 kGreen));
    {
        Control gain = disabled(textBox(QStringLiteral("AZIDVAL"), 4, F3, QStringLiteral("0db")));
        gain.backColor = kInactiveBorder;
        gain.foreColor = kGreyText;
        add(gain);
    }
    add(line(QStringLiteral("Line2"), F3));
    add(line(QStringLiteral("Line1"), F3));

    // Down-mix levels of the AC3 decoder.
    add(frame(F2, QStringLiteral("Azid Downmix Levels ")));
    add(textBox(QStringLiteral("AZIDVAL"), 0, F2, QStringLiteral("-3db")));
    add(textBox(QStringLiteral("AZIDVAL"), 3, F2, QStringLiteral("0db")));
    add(textBox(QStringLiteral("AZIDVAL"), 2, F2, QStringLiteral("0db")));
    add(textBox(QStringLiteral("AZIDVAL"), 1, F2, QStringLiteral("0db")));
    add(checkBox(QStringLiteral("Azid"), 3, F2, QStringLiteral("Surround Downmix Level"), QStringLiteral("-S"), 0, kGrey));
    add(checkBox(QStringLiteral("Azid"), 2, F2, QStringLiteral("Center Downmix Level"), QStringLiteral("-C"), 0, kGrey));
    add(checkBox(QStringLiteral("Azid"), 1, F2, QStringLiteral("LFE To LFE Output"), QStringLiteral("-l"), 0, kGrey));
    add(checkBox(QStringLiteral("Azid"), 0, F2, QStringLiteral("LFE To LR Channels"), QStringLiteral("-L"), 1, kGreen));

    add(label(QStringLiteral("Status"), {}));

    // What the gain pass aims at: the peak, or an integrated loudness. Not
    // part of the three stored records: it has a key of its own.
    {
        Control target = combo(QStringLiteral("LoudnessTarget"), -1, F3, QStringLiteral("peak"), loudnessTargets(),
                               QStringLiteral("Peak: the loudest sample reaches full scale. LUFS: the whole track "
                                              "reaches that loudness (EBU R128), with its true peak kept at or "
                                              "below -1 dBTP"));
        target.tag.clear();
        add(target);
        add(label(QStringLiteral("LoudnessLabel"), QStringLiteral("Gain Target"), F3));
    }
}

QStringList loudnessTargets()
{
    return {QStringLiteral("peak"), QStringLiteral("-23 LUFS"), QStringLiteral("-16 LUFS"), QStringLiteral("-14 LUFS")};
}

} // namespace ws
