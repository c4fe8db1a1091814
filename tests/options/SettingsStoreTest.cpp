#include "OptionModel.h"
#include "QtPrinters.h"

#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace ws;

namespace {

struct Store : ::testing::Test {
    QTemporaryDir dir;
    std::unique_ptr<QSettings> settings() const
    {
        return std::make_unique<QSettings>(dir.filePath(QStringLiteral("store.ini")), QSettings::IniFormat);
    }
    void write(const QString &version, const QVariant &boxes, const QVariant &values) const
    {
        auto s = settings();
        s->beginGroup(QStringLiteral("Wavesmithy"));
        if (!version.isNull())
            s->setValue(QStringLiteral("version_split"), version);
        if (boxes.isValid())
            s->setValue(QStringLiteral("boxes_split"), boxes);
        if (values.isValid())
            s->setValue(QStringLiteral("values_split"), values);
        s->endGroup();
    }
    QString read(const char *key) const
    {
        return settings()->value(QStringLiteral("Wavesmithy/") + QLatin1String(key)).toString();
    }
    static QString designValues()
    {
        OptionModel m;
        QString v;
        for (Control *c : m.valueControls())
            v += c->text + QStringLiteral("|\\");
        return v;
    }
};

// The tick string of the design values, with the pane shown.
const QString kDesignBoxes = QStringLiteral("01000111011000001000011100011");

QString ticks(const OptionModel &m)
{
    QString s;
    for (Control *c : m.switchControls())
        s += QString::number(c->value);
    return s;
}

} // namespace

TEST_F(Store, FirstRunKeepsDesignValuesThenSavesAllKeys)
{
    OptionModel m;
    auto s = settings();
    m.loadSettings(*s);
    EXPECT_EQ(ticks(m), ticks(OptionModel()));
    EXPECT_FALSE(m.cancelError());
    EXPECT_EQ(m.control(QStringLiteral("info")).caption,
              QStringLiteral("Approximate Bit rate = 170Kbps\r\nCut-off frequency    = 20500Hz"));
    m.saveSettings(*s);
    EXPECT_EQ(read("version_split"), QStringLiteral("0.51"));
    EXPECT_EQ(read("boxes_split"), kDesignBoxes);
    EXPECT_EQ(read("values_split"), designValues());
}

TEST_F(Store, RoundTripKeepsEveryOption)
{
    {
        OptionModel m;
        m.click(m.control(QStringLiteral("Azid"), 7));
        m.setText(m.control(QStringLiteral("AZIDVAL"), 4), QStringLiteral("+1.5db"));
        m.pickItem(m.control(QStringLiteral("azidcmb"), 8), QStringLiteral("5.1"));
        m.click(m.control(QStringLiteral("aac"), 1));
        m.setText(m.control(QStringLiteral("OutputFile")), QStringLiteral("/out/x.aac"));
        m.setText(m.control(QStringLiteral("pluginval"), 1), QString()); // empty text is stored as just "|\"
        m.setVisible(m.control(QStringLiteral("text1")), false);
        auto s = settings();
        m.saveSettings(*s);
    }
    OptionModel m;
    auto s = settings();
    m.loadSettings(*s);
    EXPECT_TRUE(m.cancelError());
    EXPECT_EQ(m.value(QStringLiteral("Azid"), 7), 0);
    EXPECT_TRUE(m.control(QStringLiteral("AZIDVAL"), 4).enabled); // restoring the tick ran the interlock
    EXPECT_EQ(m.text(QStringLiteral("AZIDVAL"), 4), QStringLiteral("+1.5db"));
    EXPECT_EQ(m.text(QStringLiteral("azidcmb"), 8), QStringLiteral("5.1"));
    EXPECT_EQ(m.text(QStringLiteral("splitval"), 0), QStringLiteral("32"));
    EXPECT_EQ(m.value(QStringLiteral("aac"), 1), 1);
    EXPECT_EQ(m.value(QStringLiteral("aac"), 0), 0);
    EXPECT_TRUE(m.control(QStringLiteral("aaccmb"), 1).enabled);
    EXPECT_EQ(m.text(QStringLiteral("OutputFile")), QStringLiteral("/out/x.aac"));
    EXPECT_EQ(m.text(QStringLiteral("pluginval"), 1), QString());
    EXPECT_FALSE(m.control(QStringLiteral("text1")).visible);
    EXPECT_TRUE(m.control(QStringLiteral("info")).caption.contains(QLatin1String("440Kbps")));
}

TEST_F(Store, OtherVersionKeepsDesignValues)
{
    write(QStringLiteral("0.50"), QStringLiteral("0000000000000000000000000000"), QStringLiteral("x|\\"));
    OptionModel m;
    auto s = settings();
    m.loadSettings(*s);
    EXPECT_EQ(ticks(m), ticks(OptionModel()));
    EXPECT_EQ(m.text(QStringLiteral("TempFolder")), OptionModel().text(QStringLiteral("TempFolder")));
    EXPECT_FALSE(m.cancelError());
}

TEST_F(Store, DefaultAndShortTickStrings)
{
    // No tick string: the old 22-character default; its last "0" is both the
    // 22nd switch's tick and the pane flag.
    write(QStringLiteral("0.51"), {}, {});
    OptionModel m;
    auto s = settings();
    m.loadSettings(*s);
    EXPECT_EQ(ticks(m), QStringLiteral("1010011000101010100010000000"));
    EXPECT_FALSE(m.control(QStringLiteral("text1")).visible);

    write(QStringLiteral("0.51"), QStringLiteral("101"), {});
    OptionModel n;
    n.loadSettings(*s);
    // split and LOGFILE(0) boxes tick themselves again when restored as 0.
    EXPECT_EQ(n.value(QStringLiteral("aacmore"), 0), 1);
    EXPECT_EQ(n.value(QStringLiteral("aac"), 1), 1);
    EXPECT_EQ(n.value(QStringLiteral("split"), 0), 1);
    EXPECT_EQ(n.value(QStringLiteral("LOGFILE"), 0), 1);
    EXPECT_EQ(n.value(QStringLiteral("Azid"), 7), 0);
    EXPECT_TRUE(n.control(QStringLiteral("text1")).visible);
}

TEST_F(Store, ValueHoldingTheSeparatorIsRefusedAndNothingShifts)
{
    const QString sep = QStringLiteral("|\\");
    const struct {
        QString from, to; // a stored value and what the record holds instead
        QStringList refused;
    } cases[] = {
        // The combos after the value tell where the record lines up again.
        {"kardune", "kar" + sep + "dune", {"TempFolder", "Kardune", "substream"}},
        {"Tromvax.log", "my" + sep + "log", {"priority", "LOGFILEVAL(0)", "ssrcv(0)"}},
        // Two stray separators: no value can be placed for certain.
        {"kardune", "a" + sep + "b" + sep + "c", {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.to.toStdString());
        QString values = designValues();
        values.replace(c.from + sep, c.to + sep);
        values.replace("Output.aac" + sep, "/music/chosen.aac" + sep);
        values.replace("-3db" + sep, "-6db" + sep);
        write(QStringLiteral("0.51"), kDesignBoxes, values);
        OptionModel m;
        m.loadSettings(*settings());
        const QString status = m.control(QStringLiteral("Status")).caption;
        EXPECT_TRUE(status.startsWith(QStringLiteral("Stored options: a value held the separator |\\;")))
            << status.toStdString();
        for (Control *v : m.valueControls()) {
            EXPECT_FALSE(v->text.contains(sep)) << v->key().toStdString();
            if (c.refused.isEmpty() || c.refused.contains(v->key())) {
                EXPECT_EQ(v->text, m.designText(*v)) << v->key().toStdString();
                EXPECT_TRUE(status.contains(v->key())) << v->key().toStdString();
            }
        }
        // Values on either side of the refused ones are where they belong.
        if (!c.refused.isEmpty()) {
            EXPECT_EQ(m.text(QStringLiteral("OutputFile")), QStringLiteral("/music/chosen.aac"));
            EXPECT_EQ(m.text(QStringLiteral("AZIDVAL"), 0), QStringLiteral("-6db"));
            EXPECT_EQ(m.text(QStringLiteral("aacenc")), QStringLiteral("aacenc"));
        }
    }
}

TEST_F(Store, ValueHoldingTheSeparatorIsStoredAsItsDefault)
{
    OptionModel m;
    m.setText(m.control(QStringLiteral("Kardune")), QStringLiteral("/opt/odd|\\name/kardune"));
    m.setText(m.control(QStringLiteral("Tromvax")), QStringLiteral("/opt/tromvax"));
    m.saveSettings(*settings());
    QString expected = designValues();
    expected.replace(QStringLiteral("tromvax|\\"), QStringLiteral("/opt/tromvax|\\"));
    EXPECT_EQ(read("values_split"), expected);
}

TEST_F(Store, StoredVobInputResetsSubstreamAndOutput)
{
    QString values = designValues();
    values.replace(QStringLiteral("SubStream ID|\\"), QStringLiteral("0xA1  (PCM)|\\"));
    values.replace(QStringLiteral("Output.aac|\\"), QStringLiteral("/music/chosen.aac|\\"));
    values.replace(QStringLiteral("Input.ac3|\\"), QStringLiteral("/dvd/VTS_01_1.VOB|\\"));
    write(QStringLiteral("0.51"), kDesignBoxes, values);
    OptionModel m;
    auto s = settings();
    m.loadSettings(*s);
    EXPECT_EQ(m.text(QStringLiteral("substream")), QStringLiteral("SubStream ID"));
    EXPECT_TRUE(m.control(QStringLiteral("substream")).visible);
    EXPECT_EQ(m.text(QStringLiteral("OutputFile")), QStringLiteral("/dvd/VTS_01_1.aac"));
    EXPECT_FALSE(m.outputChosen()); // cleared after loading
}

TEST_F(Store, GainTargetHasAKeyOfItsOwnAndOlderSettingsMeanPeak)
{
    write(QStringLiteral("0.51"), kDesignBoxes, designValues()); // as an older version wrote them
    OptionModel m;
    m.loadSettings(*settings());
    EXPECT_EQ(m.text(QStringLiteral("LoudnessTarget")), QStringLiteral("peak"));

    m.pickItem(m.control(QStringLiteral("LoudnessTarget")), QStringLiteral("-16 LUFS"));
    m.saveSettings(*settings());
    EXPECT_EQ(read("values_split"), designValues()) << "the three records are unchanged";
    EXPECT_EQ(read("LoudnessTarget"), QStringLiteral("-16 LUFS"));
    OptionModel again;
    again.loadSettings(*settings());
    EXPECT_EQ(again.text(QStringLiteral("LoudnessTarget")), QStringLiteral("-16 LUFS"));

    settings()->setValue(QStringLiteral("Wavesmithy/LoudnessTarget"), QStringLiteral("-99 LUFS"));
    OptionModel odd;
    odd.loadSettings(*settings());
    EXPECT_EQ(odd.text(QStringLiteral("LoudnessTarget")), QStringLiteral("peak"));
}
