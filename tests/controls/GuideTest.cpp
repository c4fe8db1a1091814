// The user guide: found from the build tree, with the section the main
// window's link leads to, and no link inside it that leads nowhere.
#include "UserGuide.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <gtest/gtest.h>

TEST(Guide, ItIsFoundAndEveryInternalLinkHasItsTarget)
{
    const QString path = ws::guidePath();
    ASSERT_TRUE(QFileInfo(path).isFile()) << path.toStdString();
    EXPECT_EQ(ws::guideUrl(QStringLiteral("companion-tools")).toLocalFile(), path);

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(file.readAll());
    QSet<QString> ids;
    static const QRegularExpression idRe(QStringLiteral("id=\"([^\"]+)\""));
    for (auto it = idRe.globalMatch(html); it.hasNext();)
        ids.insert(it.next().captured(1));
    EXPECT_TRUE(ids.contains(QStringLiteral("companion-tools")));

    static const QRegularExpression hrefRe(QStringLiteral("href=\"#([^\"]+)\""));
    int links = 0;
    for (auto it = hrefRe.globalMatch(html); it.hasNext(); ++links) {
        const QString target = it.next().captured(1);
        EXPECT_TRUE(ids.contains(target)) << target.toStdString();
    }
    EXPECT_GT(links, 5);
    for (const char *where : {"~/.local/share/Orvelle/Wavesmithy/", "~/.config/Orvelle/Wavesmithy.conf"})
        EXPECT_TRUE(html.contains(QLatin1String(where))) << where;
}
