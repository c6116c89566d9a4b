// varno-shot: the main window after a short burst of reader frames from a few
// tags, saved as a PNG for the README. Usage: varno-shot <file.png>

#include <QApplication>
#include <cmath>
#include <cstdio>
#include <memory>

#include "app/application.h"
#include "app/frame_posted.h"
#include "app/main_window.h"
#include "link/frame_event.h"

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: varno-shot <file.png>\n");
        return 2;
    }
    QApplication application(argc, argv);
    varno::app::setUpApplication();

    varno::app::CVARNODlg window;
    window.show();
    QCoreApplication::processEvents();

    // Eight tags take turns, each with its own slowly drifting signal level,
    // enough frames to fill the plot.
    constexpr unsigned kTags[] = {0x0A1B2C, 0x0A1B3D, 0x0C4410, 0x0C4427, 0x10F00E, 0x2210A5, 0x31C0DE, 0x4A0B01};
    constexpr int kTagCount = static_cast<int>(std::size(kTags));
    for (int i = 0; i < 124; ++i) {
        const int tag = i % kTagCount;
        const double phase = i * 0.11 + tag * 0.8;
        const int level = 132 + tag * 5 + static_cast<int>(std::lround(6 * std::sin(phase)));
        char text[16];
        std::snprintf(text, sizeof text, "%02X%06XAB%02X", level, kTags[tag], tag);
        auto event = std::make_unique<varno::link::FrameEvent>();
        event->text = text;
        varno::app::postFrame(&window, varno::link::FRAME_KIND_READER, std::move(event));
        QCoreApplication::processEvents();
    }
    QCoreApplication::processEvents();

    if (!window.grab().save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "varno-shot: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
