#pragma once
// What the program sets up once, before its first window: its event
// dispatcher, the classic look of the controls and the faces that stand in for
// the templates' fonts.

namespace varno::app {

// Call before the QApplication is constructed: Qt's own event dispatcher,
// which wakes the window once for a batch of posted frames where the glib one
// would wake it once per frame. A choice made in the environment is kept.
void chooseEventDispatcher();

// Call after the QApplication is constructed.
void setUpApplication();

}  // namespace varno::app
