#include "OptionModel.h"

#include "EncoderPresets.h"
#include "JobSettings.h"
#include "LenientNumber.h"
#include "NumberText.h"

#include <QSettings>

#include <optional>

#include <stdexcept>

namespace ws {

namespace {

QString key(const QString &name, int index)
{
    return index < 0 ? name : QStringLiteral("%1(%2)").arg(name).arg(index);
}

// Last n characters, lower-cased (the whole text when it is shorter).
QString lowerTail(const QString &text, int n) { return text.right(n).toLower(); }

} // namespace

OptionModel::OptionModel(QObject *parent) : QObject(parent)
{
    createControls();
    substreamIds_ = control(QStringLiteral("substream")).items;
}

OptionModel::~OptionModel() = default;

QString OptionModel::separator()
{
#ifdef Q_OS_WIN
    return QStringLiteral("\\");
#else
    return QStringLiteral("/");
#endif
}

Control &OptionModel::add(Control c)
{
    controls_.push_back(std::make_unique<Control>(std::move(c)));
    Control *p = controls_.back().get();
    byKey_.insert(p->key(), p);
    designText_.insert(p, p->text);
    return *p;
}

Control *OptionModel::find(const QString &name, int index) { return byKey_.value(key(name, index), nullptr); }

Control &OptionModel::control(const QString &name, int index)
{
    if (Control *c = find(name, index))
        return *c;
    throw std::out_of_range("no control " + key(name, index).toStdString());
}

const Control &OptionModel::control(const QString &name, int index) const
{
    return const_cast<OptionModel *>(this)->control(name, index);
}

std::vector<Control *> OptionModel::switchControls() const
{
    std::vector<Control *> out;
    for (const auto &c : controls_)
        if (c->isSwitch())
            out.push_back(c.get());
    return out;
}

std::vector<Control *> OptionModel::valueControls() const
{
    std::vector<Control *> out;
    for (const auto &c : controls_)
        if (c->isValue())
            out.push_back(c.get());
    return out;
}

// --- Changes ----------------------------------------------------------------

void OptionModel::setText(Control &c, const QString &text)
{
    if (c.text == text)
        return;
    c.text = text;
    changed(c);
    if (c.name == QLatin1String("InputFile"))
        InputFile_Change();
    else if (c.name == QLatin1String("OutputFile"))
        OutputFile_Change();
}

void OptionModel::setValue(Control &c, int value)
{
    if (c.kind == Kind::OptionButton) {
        const int v = value != 0 ? 1 : 0;
        if (c.value == v)
            return;
        c.value = v;
        changed(c);
        if (v == 0)
            return; // only the button that becomes selected raises its click
        for (const auto &other : controls_) {
            if (other.get() != &c && other->kind == Kind::OptionButton && other->name == c.name &&
                other->value != 0) {
                other->value = 0;
                changed(*other);
            }
        }
        runClickHandler(c);
        return;
    }
    if (c.value == value)
        return;
    c.value = value;
    changed(c);
    runClickHandler(c);
}

void OptionModel::click(Control &c)
{
    if (c.kind == Kind::CheckBox)
        setValue(c, c.value == 0 ? 1 : 0);
    else if (c.kind == Kind::OptionButton)
        setValue(c, 1);
}

void OptionModel::pickItem(Control &c, int item)
{
    if (item < 0 || item >= c.items.size())
        return;
    setText(c, c.items.at(item));
    if (c.name == QLatin1String("aaccmb"))
        aaccmb_Click();
    else if (c.name == QLatin1String("azidcmb"))
        azidcmb_Click(c.index);
}

void OptionModel::pickItem(Control &c, const QString &itemText) { pickItem(c, int(c.items.indexOf(itemText))); }

void OptionModel::setEnabled(Control &c, bool enabled)
{
    if (c.enabled == enabled)
        return;
    c.enabled = enabled;
    changed(c);
}

void OptionModel::setVisible(Control &c, bool visible)
{
    if (c.visible == visible)
        return;
    c.visible = visible;
    changed(c);
}

void OptionModel::setItems(Control &c, const QStringList &items)
{
    if (c.items == items)
        return;
    c.items = items;
    changed(c);
}

void OptionModel::setCaption(Control &c, const QString &caption)
{
    if (c.caption == caption)
        return;
    c.caption = caption;
    changed(c);
}

void OptionModel::setForeColor(Control &c, Colour colour)
{
    if (!c.hasForeColor || c.foreColor == colour)
        return;
    c.foreColor = colour;
    changed(c);
}

void OptionModel::setBackColor(Control &c, Colour colour)
{
    if (c.backColor == colour)
        return;
    c.backColor = colour;
    changed(c);
}

void OptionModel::runClickHandler(Control &c)
{
    const QString &n = c.name;
    if (n == QLatin1String("general"))
        general_Click();
    else if (n == QLatin1String("Azid"))
        Azid_Click();
    else if (n == QLatin1String("OTA"))
        OTA_Click();
    else if (n == QLatin1String("LOGFILE"))
        LOGFILE_Click();
    else if (n == QLatin1String("plugin"))
        plugin_Click();
    else if (n == QLatin1String("split"))
        split_Click(c.index);
    else if (n == QLatin1String("addriff"))
        addriff_Click();
    else if (n == QLatin1String("aac"))
        aac_Click();
}

// --- Switch builders --------------------------------------------------------

bool OptionModel::check(const Control &box)
{
    // The tick (0, 1 or 2) ANDed with the 16-bit Enabled flag (0 or all bits set).
    const int enabledBits = box.enabled ? 0xFFFF : 0;
    return (box.value & enabledBits) != 0;
}

void OptionModel::appendPair(wsjob::SwitchList &out, const Control &sw, const Control &val) const
{
    out.append({sw.tag, val.text});
}

wsjob::SwitchList OptionModel::azidGroup() const
{
    // The decoder's down-mix levels and compression: AC3 and DTS sources.
    const QString ext = lowerTail(text(QStringLiteral("InputFile")), 4);
    if (ext != QLatin1String(".ac3") && ext != QLatin1String(".dts"))
        return {};
    wsjob::SwitchList out;
    const QString azid = QStringLiteral("Azid");
    const QString azidval = QStringLiteral("AZIDVAL");
    for (int i = 0; i <= 3; ++i)
        if (check(control(azid, i)))
            appendPair(out, control(azid, i), control(azidval, i));
    if (check(control(azid, 6)))
        appendPair(out, control(azid, 6), control(azidval, 6));
    if (check(control(azid, 9)))
        appendPair(out, control(azid, 9), control(QStringLiteral("azidcmb"), 9));
    if (check(control(azid, 8)) && text(QStringLiteral("azidcmb"), 8) != QLatin1String("5.1"))
        appendPair(out, control(azid, 8), control(QStringLiteral("azidcmb"), 8));
    return out;
}

wsjob::SwitchList OptionModel::resamplerGroup() const
{
    wsjob::SwitchList out;
    if (check(control(QStringLiteral("SSRC"), 0)))
        appendPair(out, control(QStringLiteral("SSRC"), 0), control(QStringLiteral("ssrcv"), 0));
    if (check(control(QStringLiteral("SSRC"), 1)))
        appendPair(out, control(QStringLiteral("SSRC"), 1), control(QStringLiteral("SSRCVAL"), 1));
    return out;
}

wsjob::SwitchList OptionModel::delayGroup() const
{
    wsjob::SwitchList out;
    const Control &delay = control(QStringLiteral("OTA"), 0);
    if (check(delay)) {
        const Control &value = control(QStringLiteral("OTAval"), 0);
        out.append({delay.tag, value.enabled ? value.text : control(QStringLiteral("OTA"), 3).tag});
    }
    out.append({QStringLiteral("-sc"), QStringLiteral("1024")});
    return out;
}

QString OptionModel::boostGroup() const
{
    if (!check(control(QStringLiteral("Azid"), 9)))
        return {};
    const QString ext = lowerTail(text(QStringLiteral("InputFile")), 4);
    if (ext == QLatin1String(".ac3") || ext == QLatin1String(".vob") || wsjob::isDiscInput(text(QStringLiteral("InputFile"))))
        return {};
    const QString level = text(QStringLiteral("azidcmb"), 9);
    if (level == QLatin1String("light"))
        return QStringLiteral("/b=1db");
    if (level == QLatin1String("normal"))
        return QStringLiteral("/b=2db");
    if (level == QLatin1String("heavy"))
        return QStringLiteral("/b=3db");
    if (level == QLatin1String("inverse"))
        return QStringLiteral("/b=0.5");
    return {};
}

wsjob::SwitchList OptionModel::pluginGroup() const
{
    wsjob::SwitchList out;
    if (check(control(QStringLiteral("plugin"), 0))) {
        appendPair(out, control(QStringLiteral("plugin"), 0), control(QStringLiteral("pluginval"), 0));
        appendPair(out, control(QStringLiteral("plugin"), 1), control(QStringLiteral("pluginval"), 1));
    }
    return out;
}

// --- Interlocks and colouring -----------------------------------------------

void OptionModel::active_deactive(Control &box, bool active)
{
    setBackColor(box, active ? kYellow : kInactiveBorder);
    setForeColor(box, active ? kWindowText : kGreyText);
}

void OptionModel::general_Click()
{
    const int v = value(QStringLiteral("general"), 0) != 0 ? 1 : 0;
    Colour c[2];
    c[v] = kGrey;
    c[1 - v] = kGreen;
    for (const auto &ctl : controls_)
        if (ctl->hasForeColor && ctl->foreColor == c[0])
            setForeColor(*ctl, c[1]);
    static const struct {
        const char *name;
        int index;
    } common[] = {{"Azid", 0}, {"Azid", 8}, {"Azid", 9}, {"AzidG", 0}, {"AzidG", 1}, {"Azid", 7},
                  {"OTA", 0},  {"OTA", 3},  {"general", 0}, {"LOGFILE", 0}, {"aac", 0}};
    for (const auto &s : common)
        setForeColor(control(QLatin1String(s.name), s.index), kGreen);
}

void OptionModel::Azid_Click()
{
    const bool free = value(QStringLiteral("Azid"), 7) == 0;
    Control &gain = control(QStringLiteral("AZIDVAL"), 4);
    setEnabled(gain, free);
    active_deactive(gain, free);
    // The gain target steers only the measured gain.
    Control &target = control(QStringLiteral("LoudnessTarget"));
    setEnabled(target, !free);
    active_deactive(target, !free);
}

void OptionModel::azidcmb_Click(int index)
{
    if (index == 8) {
        const bool six = text(QStringLiteral("azidcmb"), 8) == QLatin1String("5.1");
        setText(control(QStringLiteral("splitval"), 0), six ? QStringLiteral("32") : QStringLiteral("256"));
    }
    aaccmb_Click();
}

void OptionModel::OTA_Click()
{
    setEnabled(control(QStringLiteral("OTAval"), 0), value(QStringLiteral("OTA"), 3) == 0);
}

void OptionModel::LOGFILE_Click()
{
    Control &out = control(QStringLiteral("LOGFILE"), 0);
    setValue(out, 1);
    const bool on = out.value != 0;
    setEnabled(control(QStringLiteral("LOGFILE"), 1), on);
    setEnabled(control(QStringLiteral("LOGFILE"), 2), on);
    setEnabled(control(QStringLiteral("LOGFILEVAL"), 0), on);
}

void OptionModel::plugin_Click()
{
    setValue(control(QStringLiteral("plugin"), 1), value(QStringLiteral("plugin"), 0));
}

void OptionModel::split_Click(int index) { setValue(control(QStringLiteral("split"), index), 1); }

void OptionModel::addriff_Click()
{
    Control &out = control(QStringLiteral("OutputFile"));
    // The name is taken to end in a three-letter extension; a shorter name
    // has none to replace and is left as it is.
    if (out.text.size() < 3)
        return;
    const bool wav = value(QStringLiteral("addriff")) != 0;
    setText(out, out.text.left(out.text.size() - 3) + (wav ? QStringLiteral("wav") : QStringLiteral("aac")));
}

// --- Encoder settings -------------------------------------------------------

void OptionModel::aac_Click()
{
    const bool preset = value(QStringLiteral("aac"), 0) != 0;
    setVisible(control(QStringLiteral("info")), preset);
    setEnabled(control(QStringLiteral("aaccmb"), 0), preset);
    setEnabled(control(QStringLiteral("aaccmb"), 1), !preset);
}

void OptionModel::aaccmb_Click()
{
    setCaption(control(QStringLiteral("info")),
               encodingProperties(text(QStringLiteral("aaccmb"), 0), text(QStringLiteral("azidcmb"), 8)));
}

// --- Input name rules -------------------------------------------------------

void OptionModel::InputFile_Change()
{
    const QString input = text(QStringLiteral("InputFile"));

    // Delay hint: the number after "DELAY" and one separator.
    const qsizetype p = input.indexOf(QLatin1String("DELAY"));
    if (p >= 0)
        setText(control(QStringLiteral("OTAval"), 0), plainNumberText(wsjob::lenientValue(input.mid(p + 6))));

    // Output name follows the first input name; a disc folder's is the
    // folder's name (the one holding VIDEO_TS) with ".aac".
    // (A name shorter than an extension has nothing to replace: the step is skipped.)
    const bool disc = wsjob::isDiscInput(input);
    if (!outputChosen_ && disc && lowerTail(input, 4) != QLatin1String(".iso")) {
        setText(control(QStringLiteral("OutputFile")), wsjob::discOutputBase(input) + QStringLiteral(".aac"));
        outputChosen_ = true;
    } else if (!outputChosen_ && input.size() >= 3) {
        setText(control(QStringLiteral("OutputFile")), input.left(input.size() - 3) + QStringLiteral("aac"));
        outputChosen_ = true;
    }

    // VOB-only controls, and the title of a disc.
    Control &substream = control(QStringLiteral("substream"));
    Control &avDelay = control(QStringLiteral("OTA"), 3);
    if (discInput_ != disc) {
        discInput_ = disc;
        emit discTitleChanged();
    }
    // A new input starts with the longest title until one is chosen, and
    // offers every substream until it is listed.
    discListing_.clear();
    setDiscTitle(QString());
    if (lowerTail(input, 4) == QLatin1String(".vob") || disc) {
        setVisible(substream, true);
        setText(substream, QStringLiteral("SubStream ID"));
        setVisible(avDelay, true);
    } else {
        setVisible(substream, false);
        setVisible(avDelay, false);
        setValue(avDelay, 0);
    }
}

void OptionModel::OutputFile_Change()
{
    // A WAVE header and an ADIF header have no place in an MPEG-4 file.
    const bool mpeg4 = wsjob::isMpeg4Name(text(QStringLiteral("OutputFile")));
    setEnabled(control(QStringLiteral("addriff")), !mpeg4);
    setEnabled(control(QStringLiteral("aacmore"), 0), !mpeg4);
}

void OptionModel::setDiscTitle(const QString &title)
{
    if (discTitle_ == title)
        return;
    discTitle_ = title;
    offerTracks();
    emit discTitleChanged();
}

void OptionModel::setDiscListing(const QList<wsjob::DiscTitleInfo> &titles)
{
    discListing_ = titles;
    // The chosen title as listed now, else the longest.
    if (discInput_ && !titles.isEmpty())
        discTitle_ = wsjob::titleItem(wsjob::chosenTitle(titles, wsjob::titleNumber(discTitle_)));
    offerTracks();
    emit discTitleChanged();
}

QStringList OptionModel::discTitleItems() const
{
    QStringList items;
    if (discInput_)
        for (const wsjob::DiscTitleInfo &t : discListing_)
            items << wsjob::titleItem(t);
    return items;
}

void OptionModel::offerTracks()
{
    const wsjob::DiscTitleInfo *title =
        wsjob::findTitle(discListing_, discInput_ ? wsjob::titleNumber(discTitle_) : 0);
    const QStringList items = title ? wsjob::trackItems(*title) : QStringList();
    const bool listed = !items.isEmpty();
    Control &substream = control(QStringLiteral("substream"));
    setItems(substream, listed ? items : substreamIds_);
    // A chosen ID the title has is shown with its facts; one it lacks goes
    // back to the automatic choice.
    const QString id = substream.text.left(4);
    if (!listed || !id.startsWith(QLatin1String("0x")))
        return;
    for (const QString &item : items)
        if (item.left(4).compare(id, Qt::CaseInsensitive) == 0)
            return setText(substream, item);
    setText(substream, designText(substream));
}

void OptionModel::TempFolder_LostFocus()
{
    Control &t = control(QStringLiteral("TempFolder"));
    if (!t.text.endsWith(separator()))
        setText(t, t.text + separator());
}

// --- Settings store ---------------------------------------------------------

namespace {

const QString kGroup = QStringLiteral("Wavesmithy");
const QString kVersionKey = QStringLiteral("version_split");
const QString kBoxesKey = QStringLiteral("boxes_split");
const QString kValuesKey = QStringLiteral("values_split");
const QString kSeparator = QStringLiteral("|\\");
const QString kDefaultBoxes = QStringLiteral("1110001000001010100010");
const QString kLoudnessKey = QStringLiteral("LoudnessTarget");
const QString kTitleKey = QStringLiteral("Title");

// A stored text. A value holding commas that was written by hand may come
// back from the INI reader as a list; it is joined again.
QString storedText(const QSettings &store, const QString &key, const QString &fallback)
{
    const QVariant v = store.value(key, fallback);
    if (v.typeId() == QMetaType::QStringList)
        return v.toStringList().join(QLatin1Char(','));
    return v.toString();
}

} // namespace

void OptionModel::loadSettings(QSettings &store)
{
    store.beginGroup(kGroup);
    const bool current = storedText(store, kVersionKey, {}) == QLatin1String(kVersion);
    QString boxes = storedText(store, kBoxesKey, kDefaultBoxes);
    const QString values = storedText(store, kValuesKey, {});
    const QString target = storedText(store, kLoudnessKey, {});
    const QString title = storedText(store, kTitleKey, {});
    store.endGroup();

    // An unknown or missing gain target (older settings) means the peak.
    Control &targetBox = control(QStringLiteral("LoudnessTarget"));
    setText(targetBox, targetBox.items.contains(target) ? target : targetBox.items.first());

    if (current) {
        QStringList refused;
        const std::vector<std::optional<QString>> texts = storedValues(values, &refused);
        size_t v = 0;
        int i = 0;
        for (const auto &c : controls_) {
            if (c->isValue()) {
                if (const auto &text = texts[v++])
                    setText(*c, *text);
            } else if (c->isSwitch()) {
                setValue(*c, i < boxes.size() && boxes.at(i) == QLatin1Char('1') ? 1 : 0);
                ++i;
            }
        }
        if (!refused.isEmpty())
            setCaption(control(QStringLiteral("Status")),
                       QStringLiteral("Stored options: a value held the separator %1; %2 set back to the default.")
                           .arg(kSeparator, refused.join(QStringLiteral(", "))));
        if (!boxes.isEmpty()) {
            const QChar last = boxes.back();
            if (last.isDigit())
                setVisible(control(QStringLiteral("text1")), last != QLatin1Char('0'));
        }
        cancelError_ = true;
        outputChosen_ = false;
    }
    // The stored input's title, once the input is in place.
    setDiscTitle(discInput_ ? title : QString());
    aaccmb_Click();
}

namespace {

// Whether a stored combo text is one of its items or the text it starts
// with: the anchors that tell how a record with a stray separator lines up.
bool offeredText(const Control &c, const QString &text, const QString &design)
{
    return text == design || c.items.contains(text);
}

} // namespace

std::vector<std::optional<QString>> OptionModel::storedValues(const QString &record, QStringList *refused) const
{
    const std::vector<Control *> fields = valueControls();
    const auto count = qsizetype(fields.size());
    std::vector<std::optional<QString>> out(fields.size());
    QStringList pieces = record.split(kSeparator);
    pieces.removeLast(); // what follows the last separator belongs to no value

    if (pieces.size() <= count) {
        // Every value read in turn; a short record leaves the rest as they are.
        for (qsizetype j = 0; j < pieces.size(); ++j)
            out[size_t(j)] = pieces.at(j);
        return out;
    }

    // One more piece than values: a single value held the separator. Values
    // before it line up from the front of the record, values after it from
    // the back. Where it was is told by the combos, whose stored texts are
    // ones they offer; every place those allow is refused. With more pieces
    // than that, no value can be placed for certain.
    const qsizetype extra = pieces.size() - count;
    qsizetype first = 0, last = count - 1;
    if (extra == 1) {
        first = count;
        last = -1;
        for (qsizetype broken = 0; broken < count; ++broken) {
            bool fits = true;
            for (qsizetype j = 0; j < count && fits; ++j) {
                const Control &c = *fields[size_t(j)];
                if (j != broken && c.kind == Kind::ComboBox)
                    fits = offeredText(c, pieces.at(j < broken ? j : j + extra), designText(c));
            }
            if (fits) {
                first = std::min(first, broken);
                last = std::max(last, broken);
            }
        }
        if (last < 0) {
            first = 0;
            last = count - 1;
        }
    }
    for (qsizetype j = 0; j < count; ++j) {
        if (j < first) {
            out[size_t(j)] = pieces.at(j);
        } else if (j > last) {
            out[size_t(j)] = pieces.at(j + extra);
        } else {
            out[size_t(j)] = designText(*fields[size_t(j)]);
            *refused << fields[size_t(j)]->key();
        }
    }
    return out;
}

void OptionModel::saveSettings(QSettings &store) const
{
    QString boxes;
    QString values;
    for (const auto &c : controls_) {
        if (c->isValue())
            values += (c->text.contains(kSeparator) ? designText(*c) : c->text) + kSeparator;
        else if (c->isSwitch())
            boxes += QString::number(std::abs(c->value));
    }
    boxes += control(QStringLiteral("text1")).visible ? QLatin1Char('1') : QLatin1Char('0');
    store.beginGroup(kGroup);
    store.setValue(kBoxesKey, boxes);
    store.setValue(kValuesKey, values);
    store.setValue(kVersionKey, QLatin1String(kVersion));
    store.setValue(kLoudnessKey, control(QStringLiteral("LoudnessTarget")).text);
    store.setValue(kTitleKey, discTitle_);
    store.endGroup();
    store.sync();
}

QString OptionModel::storeSeparator() { return kSeparator; }

std::unique_ptr<QSettings> openUserSettings()
{
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Orvelle"),
                                       QStringLiteral("Wavesmithy"));
}

} // namespace ws
