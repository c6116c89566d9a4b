#pragma once
// A fresh main window for each test, shown but not run modally, with every
// message box recorded instead of shown and every pause made instant.

#include <gtest/gtest.h>

#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "ui/alerts.h"

namespace varno::testing {

struct RecordedAlert {
    QString text;
    QString caption;
    ui::AlertIcon icon;
};

class RecordingAlerts final : public ui::Alerts {
public:
    void show(QWidget* owner, const QString& text, const QString& caption, ui::AlertIcon icon) override;
    std::vector<RecordedAlert> shown;
    QStringList texts() const;
};

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Hands a frame over the way a reception thread does, stamped with the
    // window's clock now, wakes the window at once and lets it handle the frame.
    void postFrame(int kind, const std::string& text);
    // Handles every posted event and pending timer callback.
    static void processEvents();
    // Handles events until `condition` holds; false when it still does not
    // after `timeoutMs`.
    static bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 5000);
    // A click on "Ouvrir", and the events it leads to.
    void clickOpen();
    // The text an edit shows, as Windows-1252 bytes.
    std::string fieldText(int id) const;

    RecordingAlerts alerts;
    std::unique_ptr<app::CVARNODlg> window;
};

}  // namespace varno::testing
