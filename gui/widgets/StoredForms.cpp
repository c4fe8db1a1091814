#include "StoredForms.h"

#include "LinkLabel.h"
#include "UserGuide.h"
#include "FlatButton.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace ws {

namespace {

QJsonArray allForms()
{
    static const QJsonArray forms = [] {
        QFile file(QStringLiteral(":/wavesmithy/forms/storedforms.json"));
        if (!file.open(QIODevice::ReadOnly))
            return QJsonArray();
        return QJsonDocument::fromJson(file.readAll()).object().value(QStringLiteral("forms")).toArray();
    }();
    return forms;
}

} // namespace

PropertyBag storedForm(const QString &control, int index)
{
    for (const QJsonValue &v : allForms()) {
        const QJsonObject form = v.toObject();
        if (form.value(QStringLiteral("control")).toString().compare(control, Qt::CaseInsensitive) == 0
            && form.value(QStringLiteral("index")).toInt(0) == index)
            return PropertyBag::fromJson(form.value(QStringLiteral("properties")).toArray());
    }
    return PropertyBag();
}

std::vector<FlatButton *> createBatchButtons(QWidget *parent)
{
    std::vector<FlatButton *> buttons;
    for (int i = 1; i <= 6; ++i) {
        const QString name = QStringLiteral("XFlatButton2(%1)").arg(i);
        auto *b = new FlatButton(parent, name);
        b->setObjectName(name);
        b->ReadProperties(storedForm(QStringLiteral("XFlatButton2"), i));
        buttons.push_back(b);
    }
    return buttons;
}

MainWindowLinks createMainWindowLinks(QWidget *parent)
{
    MainWindowLinks links;
    links.companionTools = new LinkLabel(parent, QStringLiteral("EtsLinkLabel1"));
    links.companionTools->setObjectName(QStringLiteral("EtsLinkLabel1"));
    links.companionTools->ReadProperties(storedForm(QStringLiteral("EtsLinkLabel1")));
    links.companionTools->URL(guideUrl(QStringLiteral("companion-tools")).toString());

    links.guide = new LinkLabel(parent, QStringLiteral("EtsLinkLabel2"));
    links.guide->setObjectName(QStringLiteral("EtsLinkLabel2"));
    links.guide->ReadProperties(storedForm(QStringLiteral("EtsLinkLabel2")));
    links.guide->URL(guideUrl().toString());
    return links;
}

} // namespace ws
