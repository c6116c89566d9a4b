#pragma once
// The port list (combo box 1001): its items are refreshed each time it drops
// down, so a device plugged in after start-up can be chosen, and the list is
// as wide as its longest device path even though the box itself is narrow.
//
// GUI thread only.

#include <QComboBox>
#include <functional>

namespace varno::link {

class PortComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit PortComboBox(QWidget* parent = nullptr);

    // Called just before the list drops down.
    std::function<void()> beforePopup;

    void showPopup() override;

    // Shows the start of the text, however long: a device path's beginning
    // says what it is. The whole text is the box's tool-tip.
    void showTextStart();

protected:
    void focusOutEvent(QFocusEvent* event) override;
};

}  // namespace varno::link
