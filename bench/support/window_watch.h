#pragma once
// What the long benchmarks watch of the window: the frames it handles and the
// message boxes it would show.

#include <QEvent>
#include <QObject>
#include <QString>
#include <cstdio>

#include "ui/alerts.h"
#include "ui/frame_posted.h"

namespace varno::bench {

// Installed as an event filter: counts the frames the window handles and lets
// them through.
class FrameCounter : public QObject {
public:
    bool eventFilter(QObject*, QEvent* e) override
    {
        ui::acquireHandover(e);
        if (e->type() == ui::FramePosted::kType)
            ++frames;
        return false;
    }
    long long frames = 0;
};

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
