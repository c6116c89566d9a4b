#pragma once
// "Configuration TCP/IP": the server's IPv4 address and port.

#include <QDialog>
#include <cstdint>

class QLineEdit;

namespace varno::link {

class IpAddressEdit;

class CConfigTCPIP : public QDialog {
    Q_OBJECT
public:
    explicit CConfigTCPIP(QWidget* ownerWindow);

    // Set before the dialog runs, read back after OK. 0 = blank address.
    std::uint32_t hostAddress = 0;
    std::uint32_t port = 0;

    IpAddressEdit* addressControl = nullptr;
    QLineEdit* portEdit = nullptr;

    int exec() override;
    // Shows the settings in the controls (the dialog's initialisation).
    void OnInitDialog();
    // OK: takes the address, then the port with its checks; stays open when a
    // check fails.
    void OnOK();
};

}  // namespace varno::link
