// The property bag and the stored forms: key matching, order and defaults on
// writing, defaults and skipped values on reading, the text form, and the
// batch window's six buttons made from their stored forms.
#include "ControlsTestSupport.h"

#include "PropertyBag.h"
#include "StoredForms.h"
#include "FlatButton.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QJsonDocument>
#include <gtest/gtest.h>

using namespace ws;

TEST(PropertyBag, KeysMatchWithoutCaseAndTheFirstEntryWins)
{
    PropertyBag bag;
    bag.writeProperty(QStringLiteral("Caption"), QStringLiteral("first"));
    bag.writeProperty(QStringLiteral("caption"), QStringLiteral("second"));
    bag.writeProperty(QStringLiteral("UpEdge"), 9u, 0u);
    bag.writeProperty(QStringLiteral("DownEdge"), 2u, 2u); // equal to its default: not written

    EXPECT_EQ(bag.names(), (QStringList{"Caption", "caption", "UpEdge"}));
    EXPECT_EQ(bag.readProperty(QStringLiteral("CAPTION")).toString(), QStringLiteral("first"));
    EXPECT_EQ(bag.readProperty(QStringLiteral("upedge")).toUInt(), 9u);
    EXPECT_FALSE(bag.contains(QStringLiteral("DownEdge")));
    EXPECT_EQ(bag.readProperty(QStringLiteral("DownEdge"), 2u).toUInt(), 2u);
    EXPECT_FALSE(bag.readProperty(QStringLiteral("Missing")).isValid());
}

TEST(PropertyBag, TextFormKeepsOrderDuplicatesFontsAndPictures)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSizeF(9.75);
    font.setBold(true);
    QImage image(3, 2, QImage::Format_ARGB32);
    image.fill(QColor(10, 20, 30));
    PropertyBag bag;
    bag.writeProperty(QStringLiteral("Font"), font);
    bag.writeProperty(QStringLiteral("Caption"), QStringLiteral("a"));
    bag.writeProperty(QStringLiteral("Font"), font);
    bag.writeProperty(QStringLiteral("UpForeColor"), 0x80000012u);
    bag.writeProperty(QStringLiteral("Picture"), QPixmap::fromImage(image));

    const QByteArray text = QJsonDocument(bag.toJson()).toJson();
    const PropertyBag back = PropertyBag::fromJson(QJsonDocument::fromJson(text).array());
    EXPECT_EQ(back.names(), bag.names());
    const auto f = fontFromVariant(back.readProperty(QStringLiteral("font")));
    ASSERT_TRUE(f.has_value());
    EXPECT_EQ(f->family(), QStringLiteral("DejaVu Sans"));
    EXPECT_DOUBLE_EQ(f->pointSizeF(), 9.75);
    EXPECT_TRUE(f->bold());
    EXPECT_EQ(uint32FromVariant(back.readProperty(QStringLiteral("upforecolor"))), 0x80000012u);
    const auto pic = pixmapFromVariant(back.readProperty(QStringLiteral("picture")));
    ASSERT_TRUE(pic.has_value());
    EXPECT_EQ(pic->toImage().convertToFormat(QImage::Format_ARGB32), image);
}

TEST(PropertyBag, StoredValuesConvertOrAreRefused)
{
    EXPECT_EQ(uint32FromVariant(QStringLiteral("0x8000000F")), 0x8000000Fu);
    EXPECT_EQ(uint32FromVariant(QStringLiteral("&H00A56D39&")), 0x00A56D39u);
    EXPECT_EQ(uint32FromVariant(QVariant(14737632.0)), 0x00E0E0E0u);
    EXPECT_EQ(uint32FromVariant(QVariant(qlonglong(-2147483633))), 0x8000000Fu);
    EXPECT_FALSE(uint32FromVariant(QStringLiteral("blue")).has_value());
    EXPECT_FALSE(uint32FromVariant(QVariant(1.5)).has_value());
    EXPECT_FALSE(uint32FromVariant(QVariant(qlonglong(1) << 33)).has_value());
    EXPECT_EQ(boolFromVariant(QVariant(-1)), true);
    EXPECT_EQ(boolFromVariant(QStringLiteral("False")), false);
    EXPECT_FALSE(boolFromVariant(QStringLiteral("maybe")).has_value());
    EXPECT_EQ(intFromVariant(QStringLiteral("-40")), -40);
    EXPECT_FALSE(fontFromVariant(QStringLiteral("Arial")).has_value());
    EXPECT_FALSE(pixmapFromVariant(QStringLiteral("not a picture")).has_value());

    // A face that is not installed falls back to an installed sans-serif face.
    const auto f = fontFromVariant(QVariantMap{{"name", "No Such Face Anywhere"}, {"size", 8.25}});
    ASSERT_TRUE(f.has_value());
    EXPECT_TRUE(QFontDatabase::hasFamily(f->family())) << f->family().toStdString();
    EXPECT_DOUBLE_EQ(f->pointSizeF(), 8.25);
}

TEST(FlatButtonStoredForm, WritesOnlyChangedValuesInTheStoredOrder)
{
    QWidget host;
    FlatButton fresh(&host, QStringLiteral("XFlatButton1"));
    PropertyBag bag;
    fresh.WriteProperties(bag);
    // A new button differs from the persisted defaults only in its up text colour.
    EXPECT_EQ(bag.names(), QStringList{"UpForeColor"});
    EXPECT_EQ(bag.readProperty(QStringLiteral("UpForeColor")).toUInt(), 0x8000000Du);

    FlatButton b(&host, QStringLiteral("XFlatButton1"));
    QFont font = host.font();
    font.setPointSize(font.pointSize() + 3);
    b.Font(font);
    b.Caption(QStringLiteral("Go"));
    b.Enabled(false);
    b.SetCap(false);
    b.UpForeColor(1);
    b.DownForeColor(2);
    b.HoverForeColor(3);
    b.UpBackColor(4);
    b.DownBackColor(5);
    b.HoverBackColor(6);
    b.UpEdge(9);
    b.DownEdge(0);
    b.HoverEdge(5);
    b.DownEmbossedColor(7);
    PropertyBag all;
    b.WriteProperties(all);
    EXPECT_EQ(all.names(),
              (QStringList{"Font", "Caption", "Enabled", "SetCap", "UpForeColor", "DownForeColor",
                           "HoverForeColor", "UpBackColor", "DownBackColor", "HoverBackColor",
                           "UpEdge", "DownEdge", "HoverEdge", "DownEmbossedColor"}));

    // Reading it back into another button restores every value.
    FlatButton copy(&host, QStringLiteral("XFlatButton1"));
    copy.ReadProperties(all);
    PropertyBag again;
    copy.WriteProperties(again);
    EXPECT_EQ(QJsonDocument(again.toJson()).toJson(), QJsonDocument(all.toJson()).toJson());
    EXPECT_FALSE(copy.isEnabled());
}

TEST(FlatButtonStoredForm, LowerCaseKeysLoadMissingKeysTakeDefaultsBadValuesAreSkipped)
{
    QWidget host;
    FlatButton b(&host, QStringLiteral("Name"));
    b.HoverEdge(10);
    b.DownEmbossedColor(0x00123456);

    const QByteArray form = R"([
        ["caption", "Clear List"],
        ["upedge", 9],
        ["upbackcolor", "0x00A56D39"],
        ["hoverforecolor", "not a colour"],
        ["font", "not a font"],
        ["downedge", 0]
    ])";
    b.HoverForeColor(0x00ABCDEF);
    b.ReadProperties(PropertyBag::fromJson(QJsonDocument::fromJson(form).array()));
    EXPECT_EQ(b.Caption(), QStringLiteral("Clear List"));
    EXPECT_EQ(b.UpEdge(), 9u);
    EXPECT_EQ(b.DownEdge(), 0u);
    EXPECT_EQ(b.UpBackColor(), 0x00A56D39u);
    EXPECT_EQ(b.HoverForeColor(), 0x00ABCDEFu) << "an unreadable value is skipped";
    EXPECT_EQ(b.Font(), host.font()) << "an unreadable font keeps the current one";
    // Missing keys read their persisted defaults, which differ from a new
    // button's initial values for the up text colour.
    EXPECT_EQ(b.UpForeColor(), FlatButton::DefaultUpForeColor);
    EXPECT_EQ(b.HoverEdge(), FlatButton::DefaultHoverEdge);
    EXPECT_EQ(b.DownEmbossedColor(), FlatButton::DefaultDownEmbossedColor);
    EXPECT_TRUE(b.SetCap());
}

TEST(FlatButtonStoredForm, BatchButtonsComeFromTheirStoredForms)
{
    QWidget host;
    const std::vector<FlatButton *> buttons = createBatchButtons(&host);
    ASSERT_EQ(buttons.size(), 6u);
    const QStringList captions{"Clear List", "Stop", "Close", "Encode Selected File",
                               "Encode The Whole List", "Tromvax's List -> Single MP3"};
    for (int i = 0; i < 6; ++i) {
        const FlatButton *b = buttons[size_t(i)];
        SCOPED_TRACE(i + 1);
        EXPECT_EQ(b->parentWidget(), &host);
        EXPECT_EQ(b->objectName(), QStringLiteral("XFlatButton2(%1)").arg(i + 1));
        EXPECT_EQ(b->Caption(), captions.at(i));
        EXPECT_EQ(b->UpForeColor(), 0x00E0E0E0u);
        EXPECT_EQ(b->DownForeColor(), 0x00000000u);
        EXPECT_EQ(b->HoverForeColor(), 0x00FFFFFFu);
        EXPECT_EQ(b->UpBackColor(), 0x00A56D39u);
        EXPECT_EQ(b->DownBackColor(), 0x00E0E0E0u);
        EXPECT_EQ(b->HoverBackColor(), i == 1 ? 0x000000C0u : 0x00BC8E64u);
        EXPECT_EQ(b->UpEdge(), 9u);
        EXPECT_EQ(b->DownEdge(), 0u);
        EXPECT_EQ(b->HoverEdge(), 5u);
        EXPECT_EQ(b->DownEmbossedColor(), 0x0000FFFFu);
        EXPECT_TRUE(b->Enabled());
        EXPECT_TRUE(b->SetCap());
        EXPECT_TRUE(QFontDatabase::hasFamily(b->Font().family()));
        if (QFontDatabase::hasFamily(QStringLiteral("MS Sans Serif"))) {
            EXPECT_EQ(b->Font().family(), QStringLiteral("MS Sans Serif"));
        }
        EXPECT_DOUBLE_EQ(b->Font().pointSizeF(), 8.25);
    }
}
