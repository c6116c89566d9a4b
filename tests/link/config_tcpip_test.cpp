// The TCP/IP settings dialog, driven through its real controls.

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QTest>

#include "link/config_tcpip.h"
#include "link/ip_address_edit.h"
#include "support/window_fixture.h"
#include "ui/alerts.h"

namespace varno::testing {
namespace {

class ConfigTcpipTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ui::setAlerts(&alerts);
        dialog.hostAddress = 0x7F000001;
        dialog.port = 10001;
        dialog.OnInitDialog();
        dialog.show();
    }
    void TearDown() override { ui::setAlerts(nullptr); }

    RecordingAlerts alerts;
    link::CConfigTCPIP dialog{nullptr};
};

TEST_F(ConfigTcpipTest, ShowsTheSettingsItIsGiven)
{
    EXPECT_EQ(dialog.windowTitle(), "Configuration TCP/IP");
    EXPECT_EQ(dialog.portEdit->text(), "10001");
    EXPECT_EQ(dialog.addressControl->field(0)->text(), "127");
    EXPECT_EQ(dialog.addressControl->field(3)->text(), "1");

    link::CConfigTCPIP blank(nullptr);
    blank.OnInitDialog();
    EXPECT_TRUE(blank.addressControl->isBlank());
    EXPECT_EQ(blank.portEdit->text(), "0");
}

TEST_F(ConfigTcpipTest, RefusedPortsKeepTheDialogOpenWithTheirMessage)
{
    struct Case {
        const char* text;
        const char* message;
    };
    const Case cases[] = {
        {"65536", "Entrez un entier compris entre 0 et 65535."},
        {"-1", "Entrez un entier positif."},
        {"abc", "Entrez un entier positif."},
        {"", "Entrez un entier positif."},
    };
    for (const Case& c : cases) {
        alerts.shown.clear();
        dialog.portEdit->setText(c.text);
        dialog.OnOK();
        EXPECT_TRUE(dialog.isVisible()) << c.text;
        ASSERT_EQ(alerts.shown.size(), 1u) << c.text;
        EXPECT_EQ(alerts.shown[0].text, c.message) << c.text;
        EXPECT_EQ(alerts.shown[0].icon, ui::AlertIcon::Exclamation);
        EXPECT_EQ(dialog.port, 10001u) << c.text;
    }
}

TEST_F(ConfigTcpipTest, OkTakesTheAddressAndThePort)
{
    struct Case {
        const char* fields[4];
        std::uint32_t address;
    };
    const Case cases[] = {
        {{"127", "0", "0", "2"}, 0x7F000002},
        {{"", "", "", ""}, 0},           // blank control
        {{"10", "", "", "1"}, 0x0A000001},  // a blank field counts as 0
    };
    for (const Case& c : cases) {
        dialog.show();
        for (int i = 0; i < 4; ++i)
            dialog.addressControl->field(i)->setText(c.fields[i]);
        dialog.portEdit->setText(" 2001 ");
        dialog.OnOK();
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
        EXPECT_EQ(dialog.hostAddress, c.address);
        EXPECT_EQ(dialog.port, 2001u);
    }
    EXPECT_TRUE(alerts.shown.empty());
}

// An address typed as the operator writes it, dots and all, whatever the
// fields held before: three digits move on to the next field by themselves,
// and the dot typed right after must not skip a field.
TEST_F(ConfigTcpipTest, TypedAddressesLandInTheirFields)
{
    struct Case {
        const char* typed;
        std::uint32_t address;
    };
    const Case cases[] = {
        {"192.168.1.20", 0xC0A80114},
        {"10.0.0.7", 0x0A000007},
        {"127.0.0.1", 0x7F000001},
        {"172.16.254.3", 0xAC10FE03},
    };
    dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    for (const Case& c : cases) {
        dialog.addressControl->setAddress(0x01020304);
        dialog.addressControl->field(0)->setFocus();
        dialog.addressControl->field(0)->selectAll();
        for (const char* p = c.typed; *p != '\0'; ++p) {
            QWidget* target = QApplication::focusWidget();
            ASSERT_NE(target, nullptr) << c.typed;
            QTest::keyClick(target, *p);
        }
        EXPECT_EQ(dialog.addressControl->address(), c.address) << c.typed;
    }
}

}  // namespace
}  // namespace varno::testing
