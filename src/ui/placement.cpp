#include "ui/placement.h"

#include <QLabel>
#include <algorithm>

#include "ui/dialog_units.h"

namespace varno::ui {

void place(QWidget* w, int x, int y, int width, int height)
{
    const PixelRect r = dluRect(x, y, width, height);
    w->setGeometry(r.x, r.y, r.width, r.height);
}

void placeLabel(QLabel* label, int x, int y, int width, int height)
{
    const PixelRect r = dluRect(x, y, width, height);
    const QSize needed = label->sizeHint();
    const int extra = std::max(0, needed.width() - r.width);
    const int left = (label->alignment() & Qt::AlignRight) ? r.x - extra : r.x;
    label->setGeometry(left, r.y, r.width + extra, std::max(r.height, needed.height()));
}

}  // namespace varno::ui
