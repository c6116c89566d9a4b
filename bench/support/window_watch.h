#pragma once
// What the long benchmarks watch of the window: the message boxes it would
// show. (The frames it handles are its hand-over's taken().)

#include <QString>
#include <cstdio>

#include "ui/alerts.h"

namespace varno::bench {

// Counts the message boxes instead of showing them, and names them on stderr.
class CountingAlerts final : public ui::Alerts {
public:
    void show(QWidget*, const QString& text, const QString&, ui::AlertIcon) override
    {
        ++shown;
        std::fprintf(stderr, "message box: %s\n", qPrintable(text));
    }
    int shown = 0;
};

}  // namespace varno::bench
