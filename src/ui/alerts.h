#pragma once
// Every modal message of the program goes through here, so tests can record
// messages instead of showing them.

#include <QString>

class QWidget;

namespace varno::ui {

enum class AlertIcon { Exclamation, None };

class Alerts {
public:
    virtual ~Alerts() = default;
    // Shows a modal box with an OK button and returns when it is dismissed.
    // Always called on the GUI thread.
    virtual void show(QWidget* owner, const QString& text, const QString& caption, AlertIcon icon) = 0;
};

// Installs `alerts` (not owned); nullptr restores the real message boxes.
void setAlerts(Alerts* alerts);

// The executable's file name without its extension: the caption of the boxes.
QString applicationName();

// Shows a message box. From another thread, the box appears on the GUI thread
// and the calling thread waits until it is dismissed.
void alert(QWidget* owner, const QString& text, const QString& caption, AlertIcon icon);

// The usual box: OK button, exclamation icon, the application's name as caption.
inline void alert(QWidget* owner, const QString& text)
{
    alert(owner, text, applicationName(), AlertIcon::Exclamation);
}

}  // namespace varno::ui
