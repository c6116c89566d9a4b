#pragma once
// What the long benchmarks watch of the window: the frames it handles and the
// message boxes it would show.

#include <QEvent>
#include <QObject>
#include <QString>
#include <cstdio>

#include "app/alerts.h"
#include "app/frame_posted.h"

namespace varno::bench {

// Installed as an event filter: counts the frames the window handles and lets
// them through.
class FrameCounter : public QObject {
public:
    bool eventFilter(QObject*, QEvent* e) override
    {
        app::acquireHandover(e);
        if (e->type() == app::FramePosted::kType)
            ++frames;
        return false;
    }
    long long frames = 0;
};

// Counts the message boxes instead of showing them, and names them on stderr.
class CountingAlerts final : public app::Alerts {
public:
    void show(QWidget*, const QString& text, const QString&, app::AlertIcon) override
    {
        ++shown;
        std::fprintf(stderr, "message box: %s\n", qPrintable(text));
    }
    int shown = 0;
};

}  // namespace varno::bench
