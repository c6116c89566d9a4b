// The coloured event text view of raw text mode.

#include "app/main_window.h"

namespace varno::app {

void CVARNODlg::AppendText(const std::string&, std::uint32_t, int, int) {}
void CVARNODlg::EchoFrame(std::int64_t, const std::string&) {}

}  // namespace varno::app
