#pragma once
// The main window: its controls, its state record and the data exchange
// between them. Its handlers are defined in the folder of the subsystem that
// owns them (link/, decode/, log/, chart/, app/).
//
// Threads: everything here runs on the GUI thread. Reception threads reach the
// window only by posting FramePosted events (type 1066).

#include <QBasicTimer>
#include <QDialog>
#include <QElapsedTimer>
#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "chart/chart_owner.h"
#include "decode/frame_fields.h"
#include "decode/legend.h"
#include "link/frame_backlog.h"
#include "link/frame_event.h"
#include "link/port_list.h"
#include "link/serial_wnd.h"
#include "link/tcp_link.h"
#include "log/clock.h"
#include "log/log_file.h"

class QAbstractButton;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QSlider;
class QTextEdit;

namespace varno::chart {
class COScopeCtrl;
}

namespace varno::app {

// Control identifiers of the main window's template.
namespace idc {
inline constexpr int Open = 1000, PortList = 1001, Frame = 1002, P1 = 1003, P1Hex = 1004, Id = 1005,
                     ChartFrame = 1006, Log = 1007, Pmin = 1008, Pmax = 1009, ApplyLimits = 1010,
                     LogFileName = 1011, XSync = 1013, XSync100ms = 1014, XSync1s = 1015,
                     Trigger = 1016, P2 = 1017, P2Hex = 1018, DpHex = 1019, ResetLegend = 1022,
                     FilterLow = 1023, FilterHigh = 1024, BaudList = 1025, FilterOn = 1027,
                     RawText = 1030, TextView = 1048;
}

class CVARNODlg : public QDialog, public chart::ChartOwner {
    Q_OBJECT

public:
    explicit CVARNODlg(QWidget* parent = nullptr);
    ~CVARNODlg() override;

    // The control of the template with this identifier (nullptr for none).
    QWidget* control(int id) const;
    QLineEdit* edit(int id) const;
    QAbstractButton* button(int id) const;

    // The data exchange: every bound control into its member (true) or every
    // member into its control (false). Notifications raised meanwhile are ignored.
    void UpdateData(bool fromControls);
    // The same for the one control `id`.
    void UpdateData(bool fromControls, int id);
    // The read-only fields change with every frame, hundreds of times a second:
    // the exchange keeps their new texts and the window shows them with its
    // next paint (the exchange itself reads the new texts back meanwhile).
    // Shows them now.
    void flushFields();

    // ---- Frame events (decode/frame_dispatch.cpp) ----
    void OnFrameEvent(int kind, std::unique_ptr<link::FrameEvent> event);
    void DecodeReaderFrame(std::string text);
    void DecodeDebugFrame(std::string text);
    bool PassesTagFilter(const std::string& tagId) const;

    // ---- Legend slots (decode/frame_dispatch.cpp) ----
    int FindLegendSlot(const std::string& key) const;
    int ReserveLegendSlot(const std::string& key);
    void ResetLegend();

    // ---- Event text view (decode/text_view.cpp) ----
    void AppendText(const std::string& text, std::uint32_t colour, int clearFirst, int lineBreak);
    void EchoFrame(std::int64_t time, const std::string& text);

    // ---- Log file (log/log_control.cpp) ----
    void OnLogButton();
    void OpenLogFile();
    void CheckLogDay();
    void RecordFrame(const std::string& frame, const decode::ReaderFields& fields);
    void RecordFrame(const std::string& frame, const decode::DebugFields& fields);

    // ---- Chart settings (chart/chart_settings.cpp) ----
    void OnApplyLimits();
    void OnToggleXSync();
    void OnXSyncPeriodChoice();
    void OnXSyncTick(int timerId);
    void OnTriggerReleased();
    void OnResetChart();
    void StopXSyncTimer();
    void StopXSync();
    void RestartXSyncTimer();
    // What the chart reads when it draws: the trigger slider and the legend.
    int triggerLevel() const override;
    int legendCount() const override;
    std::string_view legendId(int slot) const override;
    std::uint32_t legendColour(int slot) const override;

    // ---- Connection control (link/connection_control.cpp) ----
    void FillPortList();
    void UpdateLinkControls();
    void OnPortSelected();
    void OnBaudSelected();
    void OnOpenButton();
    // The TCP/IP side of "Ouvrir": connects and starts the receiving thread, or
    // reports why it could not.
    void OpenTcpLink();
    // Asks every TCP/IP connection to end and joins their threads, handling
    // events meanwhile (their messages are shown on this thread).
    void StopTcpLinks();

    // ---- Tag identifier filter (app/tag_filter.cpp) ----
    void OnLowChanged();
    void OnHighChanged();
    void OnLowLeft();
    void OnHighLeft();

    // ---- Raw text mode (app/raw_text.cpp) ----
    void OnRawTextClicked();
    void setRawTextMode(bool on);
    bool rawTextMode() const;

    // ---- State record. Strings are Windows-1252 bytes. ----
    std::int32_t plotMin = 0;
    std::int32_t plotMax = 0;
    std::int32_t legendSlotCount = 0;
    std::int64_t lastFrameTime = 0;
    std::int64_t firstFrameTime = 0;
    std::uint32_t filterLow = 0;
    std::uint32_t filterHigh = 0xFFFFFF;
    std::uint16_t lastFrameMillis = 0;
    std::uint16_t firstFrameMillis = 0;
    link::CSerialMFC serialPort;
    QComboBox* portCombo = nullptr;
    QComboBox* baudCombo = nullptr;
    bool tcpSelected = false;
    int linkOpen = 0;
    int loggingOn = 0;
    int logFileOpen = 0;
    log::LogFile logFile;
    int xSyncOn = 0;
    int filterOn = 0;
    std::string plotMinText;
    std::string plotMaxText;
    std::string frameText;
    std::string frameField;
    std::string p1HexField = " -- ";
    std::string p1Field = " --- ";
    std::string idField;
    std::string logFilePath;
    std::string logFileNameField;
    decode::LegendIds legendIds;
    std::string p2Field = " --- ";
    std::string p2HexField = " -- ";
    std::string dpHexField = " --- ";
    std::string filterLowText = "000000";
    std::string filterHighText = "FFFFFF";
    QSlider* triggerSlider = nullptr;
    decode::LegendColours legendColours{};
    QPushButton* xSyncButton = nullptr;
    std::uint32_t tcpHostAddress = 0;
    std::uint32_t tcpPort = 0;
    int tcpSocket = -1;
    // The open connection. Each connection owns its socket, buffer and stop
    // request, so a closing one can never read its successor's socket.
    std::unique_ptr<link::TcpConnection> tcpLink;
    // Connections asked to stop whose threads are still shutting down.
    std::vector<std::unique_ptr<link::TcpConnection>> closingTcpLinks;
    int tcpConnectTimeoutMs = link::TcpConnection::kDefaultConnectTimeoutMs;
    // Frames posted to this window and not handled yet; the links stop reading
    // while it is full.
    std::shared_ptr<link::FrameBacklog> frameBacklog = std::make_shared<link::FrameBacklog>();
    int xSyncTimerId = 0;
    int xSyncPeriodMs = 0;
    chart::COScopeCtrl* chart = nullptr;
    QCheckBox* rawTextButton = nullptr;
    int textLineLength = 0;
    int textLineWidth = 50;
    QTextEdit* textView = nullptr;
    bool dailyRenewal = false;
    std::int64_t lastDateCheckTime = 0;
    std::string currentDate;
    std::string previousDate;

    // The folder that receives the log files, without a trailing '/'.
    std::string workingDirectory;
    // Where FillPortList looks for serial ports (tests give a fake tree).
    link::PortRoots portRoots;
    // The clock the log and the day check read (not owned; tests put their own).
    const log::Clock* clock = &log::systemClock();

    // The controls shown in decoded mode and hidden in raw text mode, in the
    // order they are switched.
    static const std::array<int, 35> kPanelControls;

protected:
    bool event(QEvent* e) override;
    void timerEvent(QTimerEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

public slots:
    void done(int result) override;

private:
    void buildControls();
    void exchange(std::size_t binding, bool fromControls);
    void connectHandlers();
    void OnInitDialog();
    void OnDestroy();
    void showAbout();

    std::map<int, QWidget*> m_controls;
    bool m_exchanging = false;  // notifications raised by the data exchange are ignored
    // The control of each binding of the exchange, in binding order, and the
    // text a read-only field will show at the next paint.
    std::vector<QWidget*> m_bound;
    std::vector<std::optional<QString>> m_pendingText;
    // Per bound edit: its text and the bytes it stands for, as last converted.
    struct Shown {
        QString text;
        std::string bytes;
    };
    std::vector<Shown> m_shown;
    bool m_fieldsPending = false;

    // Paints of the window at most every kPaintIntervalMs: a reader sends up to
    // some 800 frames a second, each of which changes the chart and the fields,
    // and nobody reads a display faster than this. Frames are handled at once;
    // only their painting waits.
    static constexpr int kPaintIntervalMs = 50;
    QBasicTimer m_paintTimer;  // runs while a paint waits for its turn
    QElapsedTimer m_sincePaint;
    bool m_destroyed = false;

    // Tag identifier filter (app/tag_filter.cpp): the shared bodies of the
    // handlers of "Lo" (true) and "Hi" (false).
    void boundChanged(bool low);
    void boundLeft(bool low);
    int m_boundLeaves = 0;  // runs of OnLowLeft and OnHighLeft
};

}  // namespace varno::app
