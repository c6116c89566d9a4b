#pragma once
// Placing controls from dialog units. Our faces run a pixel or two larger
// than the ones the templates were laid out for, so a label grows on its free
// side (right, or left when right-aligned) and downwards until its text fits.

class QLabel;
class QWidget;

namespace varno::ui {

// `w` at the dialog-unit rectangle (x, y, width, height).
void place(QWidget* w, int x, int y, int width, int height);

// A label at the dialog-unit rectangle, grown as far as its text needs.
void placeLabel(QLabel* label, int x, int y, int width, int height);

}  // namespace varno::ui
