#pragma once
// The main window: its controls, its state record and the data exchange
// between them. Its handlers are defined in the folder of the subsystem that
// owns them, in the files named *_handlers.cpp; the rules they apply to each
// frame are the Qt-free ones of decode/frame_rules.h and log/frame_log.h.
//
// Threads: everything here runs on the GUI thread. Reception threads reach the
// window only through its frame hand-over, which wakes it with a posted
// FramesWaiting event (type 1066), and by posting other events.

#include <QBasicTimer>
#include <QDialog>
#include <QElapsedTimer>
#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/window_template.h"
#include "chart/chart_owner.h"
#include "decode/frame_fields.h"
#include "decode/frame_rules.h"
#include "decode/legend.h"
#include "link/frame_event.h"
#include "link/frame_hand_over.h"
#include "link/link_status.h"
#include "link/port_combo.h"
#include "link/port_list.h"
#include "link/serial_wnd.h"
#include "link/tcp_link.h"
#include "log/clock.h"
#include "log/frame_log.h"
#include "log/log_file.h"

class QAbstractButton;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QSlider;
class QTextEdit;
class QTimer;

namespace varno::chart {
class COScopeCtrl;
}

namespace varno::ui {
class StatusLine;
}

namespace varno::app {

class CVARNODlg : public QDialog, public chart::ChartOwner {
    Q_OBJECT

public:
    explicit CVARNODlg(QWidget* parent = nullptr);
    ~CVARNODlg() override;

    // The control of the template with this identifier (nullptr for none).
    QWidget* control(int id) const;
    QLineEdit* edit(int id) const;
    QAbstractButton* button(int id) const;

    // The data exchange: every control the operator sets into its member (true)
    // or every member into its control (false). Notifications raised meanwhile
    // are ignored. The read-only fields are written one way, from their
    // members: an exchange to the controls marks those that changed, and the
    // window shows them with its next paint (they change with every frame,
    // hundreds of times a second).
    void UpdateData(bool fromControls);
    // The same for the one control `id`.
    void UpdateData(bool fromControls, int id);
    // Shows the read-only fields' members now, without waiting for the paint.
    void showFields();

    // ---- Frame events (decode/frame_handlers.cpp) ----
    // The wake-up of the hand-over: every frame it holds for the window, in
    // stream order, through OnFrameEvent.
    void OnFramesWaiting();
    void OnFrameEvent(int kind, std::unique_ptr<link::FrameEvent> event);
    void DecodeReaderFrame(std::string text);
    void DecodeDebugFrame(std::string text);
    bool PassesTagFilter(const std::string& tagId) const;
    // What the plotting rules read from the window, and the dots they chose.
    decode::PlotRules plotRules() const;
    void plotDots(const decode::FramePlot& plot);

    // ---- Legend slots (decode/frame_handlers.cpp) ----
    int FindLegendSlot(const std::string& key) const;
    int ReserveLegendSlot(const std::string& key);
    void ResetLegend();

    // ---- Event text view (decode/text_view_handlers.cpp) ----
    void AppendText(const std::string& text, std::uint32_t colour, int clearFirst, int lineBreak);
    void EchoFrame(std::int64_t time, const std::string& text);

    // ---- Log file (log/log_handlers.cpp) ----
    void OnLogButton();
    void OpenLogFile();
    void CheckLogDay();
    void RecordFrame(const std::string& frame, const decode::ReaderFields& fields);
    void RecordFrame(const std::string& frame, const decode::DebugFields& fields);

    // ---- Chart settings (chart/chart_handlers.cpp) ----
    void OnApplyLimits();
    void OnToggleXSync();
    void OnXSyncPeriodChoice();
    void OnXSyncTick(int timerId);
    void OnTriggerReleased();
    void OnResetChart();
    void StopXSyncTimer();
    void StopXSync();
    void RestartXSyncTimer();
    // The chart's own menu: its picture saved as a PNG file or copied.
    void OnChartContextMenu(const QPoint& pos);
    void OnSaveChartImage();
    void OnCopyChartImage();
    // Where the picture goes unless the operator says otherwise: in the log
    // folder, named VARNO_ddmmyyyy_HHhMMmSS.png after the clock.
    std::string chartImagePath() const;
    // Asks the operator where to save it, starting from `suggested`; empty
    // when they cancel.
    QString askChartImagePath(const QString& suggested);
    // Writes `picture` to `path` as a PNG file; says why when it cannot.
    bool SaveChartImage(const QImage& picture, const QString& path);
    // What the chart reads when it draws: the trigger slider and the legend.
    int triggerLevel() const override;
    int legendCount() const override;
    std::string_view legendId(int slot) const override;
    std::uint32_t legendColour(int slot) const override;

    // ---- Connection control (link/connection_handlers.cpp) ----
    void FillPortList();
    void UpdateLinkControls();
    void OnPortSelected();
    // The box's text changed, by the operator or the program: "TCP/IP" or a device.
    void OnPortTextChanged();
    void OnBaudSelected();
    void OnOpenButton();
    // The TCP/IP side of "Ouvrir": connects and starts the receiving thread, or
    // reports why it could not.
    void OpenTcpLink();
    // Asks every TCP/IP connection to end and joins their threads, handling
    // events meanwhile (their messages are shown on this thread).
    void StopTcpLinks();
    // A link that ended by itself (the server left, the device went away),
    // reported by its thread: back to the closed state, so one click reopens.
    void OnLinkLost(const void* link, int error);

    // ---- Status line (app/status_line_handlers.cpp) ----
    // The connection handlers tell each change of the link's state.
    void showSerialOpened(const std::string& device, std::uint32_t baudRate);
    void showTcpConnected();
    void showLinkClosed();
    // The link ended by itself (OnLinkLost).
    void showLinkLost();
    // The log file's full path, or nothing while not logging: on the status
    // line and as the tool-tip of the file name field 1011.
    void showLogPath();
    // Composes the link's part of the status line now.
    void refreshStatusLine();
    // The same, on a frame wake-up, once the line is a refresh interval old.
    void refreshStatusLineIfDue();

    // ---- Tag identifier filter (app/tag_filter_handlers.cpp) ----
    void OnLowChanged();
    void OnHighChanged();
    void OnLowLeft();
    void OnHighLeft();

    // ---- Raw text mode (app/raw_text_handlers.cpp) ----
    void OnRawTextClicked();
    void setRawTextMode(bool on);
    bool rawTextMode() const;

    // ---- State record. Strings are Windows-1252 bytes. ----
    std::int32_t plotMin = 0;
    std::int32_t plotMax = 0;
    std::int32_t legendSlotCount = 0;
    std::uint32_t filterLow = 0;
    std::uint32_t filterHigh = 0xFFFFFF;
    // The first and the previous recorded frame's times (t and dt).
    log::FrameTimes frameTimes;
    // The arrival time of the frame being handled, set by OnFrameEvent: the
    // time the day check and the log's lines go by.
    log::ClockReading frameArrivalTime;
    link::CSerialMFC serialPort;
    link::PortComboBox* portCombo = nullptr;
    QComboBox* baudCombo = nullptr;
    bool tcpSelected = false;
    // The device path of the open serial port, as the box showed it.
    std::string openSerialDevice;
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
    // The frames the links hand to this window, and its wake-ups; the links
    // stop reading while it is full.
    std::shared_ptr<link::FrameHandOver> frameHandOver;
    int xSyncTimerId = 0;
    int xSyncPeriodMs = 0;
    chart::COScopeCtrl* chart = nullptr;
    QCheckBox* rawTextButton = nullptr;
    int textLineLength = 0;
    int textLineWidth = 50;
    QTextEdit* textView = nullptr;
    bool dailyRenewal = false;
    std::int64_t lastDateCheckTime = 0;
    std::int64_t logFileOpenTime = 0;  // when the open log file was opened, in seconds
    std::string currentDate;
    std::string previousDate;

    // The folder that receives the log files, without a trailing '/'.
    std::string workingDirectory;
    // The link's state and figures, and the line along the bottom that shows them.
    link::LinkStatus linkStatus;
    ui::StatusLine* statusLine = nullptr;
    // The status line's figures are composed at most this often while the link is open.
    static constexpr int kStatusIntervalMs = 250;
    // Where FillPortList looks for serial ports (tests give a fake tree).
    link::PortRoots portRoots;
    // The clock the links stamp each frame's arrival with, and the log reads
    // when it opens a file (not owned; tests put their own before opening a link).
    const log::Clock* clock = &log::systemClock();

protected:
    bool event(QEvent* e) override;
    void timerEvent(QTimerEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

public slots:
    void done(int result) override;

private:
    void buildControls();
    void buildStatusLine();
    std::int64_t statusNowMs() const;
    void exchange(std::size_t binding, bool fromControls);
    // Marks the read-only field `shown` for the next paint if its member changed.
    void markField(std::size_t shown);
    void connectHandlers();
    void OnInitDialog();
    void OnDestroy();
    void showAbout();

    // The window grows from its minimum size (the template's): the chart
    // frame and the chart take all that is added; every child placed below
    // the frame keeps its place relative to the bottom edge (a control of the
    // template, the text view, or anything added later), and one that spans
    // the whole width keeps spanning it.
    void layOutForSize();
    QRect placeAtMinimum(QWidget* w) const;
    QSize m_laidOutExtra{0, 0};  // what the window had over its minimum size at the last layout

    std::map<int, QWidget*> m_controls;
    bool m_exchanging = false;  // notifications raised by the data exchange are ignored
    // The control of each binding of the exchange, in binding order.
    std::vector<QWidget*> m_bound;
    // The read-only fields, in the order of their table, and the bytes each
    // shows: a paint sets the text of those whose member has changed since.
    std::vector<QLineEdit*> m_shownFields;
    std::vector<std::string> m_shownBytes;
    bool m_fieldsPending = false;

    // Paints of the window at most every kPaintIntervalMs: a reader sends up to
    // some 800 frames a second, each of which changes the chart and the fields,
    // and nobody reads a display faster than this. Frames are handled as soon
    // as the window is woken for them; only their painting waits. While frames
    // come, a waiting paint rides on the first frame wake-up after its turn
    // instead of waking the window once more: its timer, the fallback, then
    // allows one hand-over pace longer.
    static constexpr int kPaintIntervalMs = 50;
    QBasicTimer m_paintTimer;  // runs while a paint waits for its turn
    QElapsedTimer m_sincePaint;
    QElapsedTimer m_sinceFrames;  // since the last frame wake-up
    // The waiting paint, now.
    void paintNow();
    // At a frame wake-up: the waiting paint, if its turn has come.
    void paintIfDue();
    bool m_destroyed = false;
    bool m_closing = false;  // the window was asked to close
    QTimer* m_statusTimer = nullptr;  // runs while the link is open
    QElapsedTimer m_sinceStatus;      // since the status line was last composed

    // Tag identifier filter (app/tag_filter.cpp): the shared bodies of the
    // handlers of "Lo" (true) and "Hi" (false).
    void boundChanged(bool low);
    void boundLeft(bool low);
    int m_boundLeaves = 0;  // runs of OnLowLeft and OnHighLeft
};

}  // namespace varno::app
