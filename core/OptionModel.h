// The option record of the main window and the behaviour that lives on it:
// the controls in their stored order, the handlers that keep them consistent
// (run whenever a value changes, by a user's edit or by program), the switch
// builders that turn options into the transcoder's switch groups, the encoder
// presets and the settings store. Qt Core only, so tests and the headless
// conversion use it without a screen; the window's widgets show this state
// and pass the user's edits in.
#pragma once

#include "Control.h"
#include "DiscList.h"
#include "ToolCommand.h"

#include <QHash>
#include <QObject>

#include <memory>
#include <optional>
#include <vector>

class QSettings;

namespace ws {

class OptionModel : public QObject {
    Q_OBJECT
public:
    explicit OptionModel(QObject *parent = nullptr);
    ~OptionModel() override;

    // Lookup by name and index; throws std::out_of_range for a control that
    // does not exist (a programming fault: only the listed indices exist).
    Control &control(const QString &name, int index = -1);
    const Control &control(const QString &name, int index = -1) const;
    Control *find(const QString &name, int index = -1);
    // Every control in stored order.
    const std::vector<std::unique_ptr<Control>> &controls() const { return controls_; }
    // The saved controls in stored order.
    std::vector<Control *> switchControls() const;
    std::vector<Control *> valueControls() const;

    // Changes that run the control's handlers when the value changes.
    void setText(Control &c, const QString &text);      // text box or combo text
    void setValue(Control &c, int value);               // tick or selection
    void click(Control &c);                             // a user's click on a check box or option button
    void pickItem(Control &c, int item);                // an item picked from a combo list (runs its click handler)
    void pickItem(Control &c, const QString &itemText); // the same by text; false match does nothing
    void setEnabled(Control &c, bool enabled);
    void setVisible(Control &c, bool visible);
    void setItems(Control &c, const QStringList &items);
    void setCaption(Control &c, const QString &caption);
    void setForeColor(Control &c, Colour colour);
    void setBackColor(Control &c, Colour colour);

    // Shortcuts by name.
    QString text(const QString &name, int index = -1) const { return control(name, index).text; }
    void setText(const QString &name, const QString &text) { setText(control(name), text); }
    int value(const QString &name, int index = -1) const { return control(name, index).value; }

    // The title of a disc input as the window's Title combo shows it ("1
    // 1:52:10  (8 chapters)", the number first); empty: the longest title.
    // Not one of the stored records: it has a key of its own ("Title").
    // discInput() says whether the input is a disc, for showing the combo.
    const QString &discTitle() const { return discTitle_; }
    void setDiscTitle(const QString &title);
    bool discInput() const { return discInput_; }
    // The titles and audio tracks of the current disc or VOB input as the
    // transcoder listed them (a VOB is title 0); empty until listed. A
    // listing puts the title's tracks, with their facts, in the substream
    // combo and picks the longest title unless the chosen one is listed.
    const QList<wsjob::DiscTitleInfo> &discListing() const { return discListing_; }
    void setDiscListing(const QList<wsjob::DiscTitleInfo> &titles);
    // The Title combo's items, in the disc's order.
    QStringList discTitleItems() const;

    // Window-level state used by the file pickers and the settings store.
    bool outputChosen() const { return outputChosen_; }
    void setOutputChosen(bool chosen) { outputChosen_ = chosen; }
    // Set by loading settings of the current version: cancelled file
    // dialogs then leave the fields unchanged without going on.
    bool cancelError() const { return cancelError_; }
    void setCancelError(bool on) { cancelError_ = on; }

    // Switch builders: the inner texts of the transcoder's switch groups.
    static bool check(const Control &box);
    bool check(const QString &name, int index = -1) const { return check(control(name, index)); }
    // The switches of the AC3 decoder (-azid), the resampler (-ssrc), the
    // first part's delay stage (-ota), the compressor (-boost, one word) and
    // the plug-in (-plugin).
    wsjob::SwitchList azidGroup() const;
    wsjob::SwitchList resamplerGroup() const;
    wsjob::SwitchList delayGroup() const;
    QString boostGroup() const;
    wsjob::SwitchList pluginGroup() const;

    // Handlers (public so that the window and tests can run them as events do).
    void active_deactive(Control &box, bool active);
    void general_Click();
    void Azid_Click();
    void azidcmb_Click(int index);
    void OTA_Click();
    void LOGFILE_Click();
    void plugin_Click();
    void split_Click(int index);
    void addriff_Click();
    void aac_Click();
    void aaccmb_Click();
    void InputFile_Change();
    void OutputFile_Change();
    void TempFolder_LostFocus();

    // Settings store: load at start, save when the window closes. The saved
    // values are stored as one record, each followed by storeSeparator(); a
    // value holding the separator is never written (its design text is
    // written instead), and a record that holds one more separator than it
    // has values is read without shifting: the values that cannot be placed
    // for certain go back to their design texts and the Status says so.
    void loadSettings(QSettings &store);
    void saveSettings(QSettings &store) const;
    // The text a control starts with.
    QString designText(const Control &c) const { return designText_.value(&c); }

    static QString storeSeparator(); // "|\"

    static QString separator(); // "/" here, "\\" on Windows builds
    static constexpr const char *kVersion = "0.51";

signals:
    // Any property of the control changed; widgets refresh from it.
    void controlChanged(ws::Control *control);
    // The disc title, the listing or whether the input is a disc changed.
    void discTitleChanged();

private:
    void createControls();
    Control &add(Control c);
    void runClickHandler(Control &c);
    void changed(Control &c) { emit controlChanged(&c); }
    // The substream combo's items for the listed title (all IDs when none).
    void offerTracks();
    void appendPair(wsjob::SwitchList &out, const Control &sw, const Control &val) const;

    // The stored record's text for each saved value, in stored order;
    // nothing for a value the record does not reach. `refused` gets the
    // keys of values that cannot be placed for certain.
    std::vector<std::optional<QString>> storedValues(const QString &record, QStringList *refused) const;

    std::vector<std::unique_ptr<Control>> controls_;
    QHash<QString, Control *> byKey_;
    QHash<const Control *, QString> designText_;
    bool outputChosen_ = false;
    bool cancelError_ = false;
    QString discTitle_;
    bool discInput_ = false;
    QList<wsjob::DiscTitleInfo> discListing_;
    QStringList substreamIds_; // the substream combo's items without a listing
};

// The settings store of the platform: organisation "Orvelle", application
// "Wavesmithy", native format, user scope. The caller opens group
// "Wavesmithy" through loadSettings/saveSettings.
std::unique_ptr<QSettings> openUserSettings();

// The items of the gain target combo: "peak", then the loudness targets.
QStringList loudnessTargets();

} // namespace ws
