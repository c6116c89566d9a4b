#pragma once
// What the program sets up once, before its first window: the classic look of
// the controls and the faces that stand in for the templates' fonts.

namespace varno::app {

// Call after the QApplication is constructed.
void setUpApplication();

}  // namespace varno::app
