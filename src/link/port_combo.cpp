#include "link/port_combo.h"

#include <QAbstractItemView>
#include <QFontMetrics>
#include <QLineEdit>
#include <QScrollBar>
#include <algorithm>

namespace varno::link {

PortComboBox::PortComboBox(QWidget* parent) : QComboBox(parent)
{
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    // No completion: a typed path stays exactly as typed, never completed
    // into a listed device the operator did not mean.
    setCompleter(nullptr);
    connect(this, &QComboBox::currentTextChanged, this, [this](const QString& text) { setToolTip(text); });
}

void PortComboBox::showPopup()
{
    if (beforePopup)
        beforePopup();
    // Wide enough for every item whole, never narrower than the box.
    const QFontMetrics metrics(view()->font());
    int widest = 0;
    for (int i = 0; i < count(); ++i)
        widest = std::max(widest, metrics.horizontalAdvance(itemText(i)));
    const int margins = 4 * style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 12;
    view()->setMinimumWidth(std::max(width(), widest + margins + view()->verticalScrollBar()->sizeHint().width()));
    QComboBox::showPopup();
}

void PortComboBox::showTextStart()
{
    if (QLineEdit* edit = lineEdit(); edit != nullptr && !edit->hasFocus())
        edit->setCursorPosition(0);
}

void PortComboBox::focusOutEvent(QFocusEvent* event)
{
    QComboBox::focusOutEvent(event);
    showTextStart();
}

}  // namespace varno::link
