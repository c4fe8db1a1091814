#include "BlankCaptionField.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>

namespace ws {

namespace {

// Start and length of the longest run of two or more blanks, or {-1, 0}.
std::pair<qsizetype, qsizetype> longestBlankRun(const QString &text)
{
    qsizetype bestStart = -1, bestLength = 0;
    for (qsizetype i = 0; i < text.size();) {
        if (text.at(i) != QLatin1Char(' ')) {
            ++i;
            continue;
        }
        qsizetype j = i;
        while (j < text.size() && text.at(j) == QLatin1Char(' '))
            ++j;
        if (j - i >= 2 && j - i > bestLength) {
            bestStart = i;
            bestLength = j - i;
        }
        i = j;
    }
    return {bestStart, bestLength};
}

} // namespace

BlankCaptionField::BlankCaptionField(QAbstractButton *button, QWidget *value, QWidget *parent)
    : QWidget(parent), button_(button), value_(value)
{
    // The button fills the field through a layout, so its caption changes
    // reach the window's layout; the value widget lies on top, unmanaged.
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(button_);
    value_->setParent(this);
    value_->raise();
    button_->setMinimumHeight(value_->sizeHint().height());
    button_->installEventFilter(this);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QRect BlankCaptionField::blankRect() const
{
    const QString text = button_->text();
    const auto [start, length] = longestBlankRun(text);
    if (start < 0)
        return {};

    QStyleOptionButton opt;
    opt.initFrom(button_);
    opt.text = text;
    const bool radio = qobject_cast<QRadioButton *>(button_) != nullptr;
    const QRect contents = button_->style()->subElementRect(
        radio ? QStyle::SE_RadioButtonContents : QStyle::SE_CheckBoxContents, &opt, button_);

    const QFontMetrics fm = button_->fontMetrics();
    const int space = fm.horizontalAdvance(QLatin1Char(' '));
    const int left = contents.left() + fm.horizontalAdvance(text.left(start)) + space;
    const int width = fm.horizontalAdvance(text.mid(start, length)) - 2 * space;
    const int height = std::min(value_->sizeHint().height(), button_->height());
    const int top = button_->y() + (button_->height() - height) / 2;
    return QRect(button_->x() + left, top, std::max(width, 0), height);
}

void BlankCaptionField::placeValue()
{
    const QRect r = blankRect();
    if (r.isEmpty()) {
        value_->setGeometry(QRect());
        return;
    }
    value_->setGeometry(r);
}

bool BlankCaptionField::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::Resize:
    case QEvent::Move:
    case QEvent::FontChange:
    case QEvent::StyleChange:
        placeValue();
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace ws
