// The "Filtrage ID" group: entry of the tag identifier range.

#include "app/main_window.h"

namespace varno::app {

void CVARNODlg::OnLowChanged() {}
void CVARNODlg::OnHighChanged() {}
void CVARNODlg::OnLowLeft() {}
void CVARNODlg::OnHighLeft() {}

}  // namespace varno::app
