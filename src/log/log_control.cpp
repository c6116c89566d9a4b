// The main window's side of the CSV log: the "Enregister" button, the day
// check and the recording of each frame.

#include "app/main_window.h"

namespace varno::app {

void CVARNODlg::OnLogButton() {}
void CVARNODlg::CheckLogDay() {}
void CVARNODlg::RecordFrame(const std::string&, const decode::ReaderFields&) {}
void CVARNODlg::RecordFrame(const std::string&, const decode::DebugFields&) {}

}  // namespace varno::app
