#include "ComboBoxNames.h"

#include <QAbstractItemView>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QLineEdit>

namespace ws {

namespace {

class NamedComboBox : public QAccessibleWidget {
public:
    explicit NamedComboBox(QComboBox *combo) : QAccessibleWidget(combo, QAccessible::ComboBox) {}

    QString text(QAccessible::Text t) const override
    {
        // Without a name of its own the shown item names it, as Qt does.
        if (t == QAccessible::Name && !combo()->accessibleName().isEmpty())
            return combo()->accessibleName();
        if (t == QAccessible::Name || t == QAccessible::Value)
            return combo()->currentText();
        return QAccessibleWidget::text(t);
    }
    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.editable = combo()->isEditable();
        s.expandable = true;
        s.expanded = combo()->view() && combo()->view()->isVisible();
        return s;
    }
    // An editable combo box hands its focus to its text.
    QAccessibleInterface *focusChild() const override
    {
        if (combo()->isEditable() && combo()->lineEdit())
            return QAccessible::queryAccessibleInterface(combo()->lineEdit());
        return QAccessibleWidget::focusChild();
    }
    QStringList actionNames() const override { return {showMenuAction(), pressAction()}; }
    void doAction(const QString &name) override
    {
        if (name == showMenuAction() || name == pressAction())
            combo()->showPopup();
    }

private:
    QComboBox *combo() const { return static_cast<QComboBox *>(widget()); }
};

// Every combo box: whether it is given a name may be decided after Qt has
// asked for its interface (filling its list does), and the interface stays.
QAccessibleInterface *namedComboBox(const QString &className, QObject *object)
{
    if (className != QLatin1String("QComboBox") || !object || !object->isWidgetType())
        return nullptr;
    return new NamedComboBox(static_cast<QComboBox *>(object));
}

} // namespace

void nameComboBoxesByTheirCaption()
{
    static const bool installed = (QAccessible::installFactory(namedComboBox), true);
    Q_UNUSED(installed);
}

} // namespace ws
