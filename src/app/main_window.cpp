#include "app/main_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QResizeEvent>
#include <QSlider>
#include <QTextDocument>
#include <QTextEdit>
#include <QTimerEvent>
#include <algorithm>

#include "app/about_dialog.h"
#include "chart/oscope_ctrl.h"
#include "link/port_combo.h"
#include "link/pause.h"
#include "log/clock.h"
#include "log/working_directory.h"
#include "ui/dialog_units.h"
#include "ui/frames_waiting.h"
#include "ui/placement.h"
#include "ui/qt_text.h"
#include "ui/status_line.h"

// Resources of a static library are registered by hand, from the global namespace.
static void registerResources()
{
    Q_INIT_RESOURCE(varno);
}

namespace varno::app {

namespace {

// The data exchange of the controls the operator sets, in binding order: an
// edit's text into a string member, or a check state into an int member.
struct Binding {
    int id;
    std::string CVARNODlg::*text;
    int CVARNODlg::*check;
};

const Binding kBindings[] = {
    {idc::Open, nullptr, &CVARNODlg::linkOpen},
    {idc::Log, nullptr, &CVARNODlg::loggingOn},
    {idc::Pmin, &CVARNODlg::plotMinText, nullptr},
    {idc::Pmax, &CVARNODlg::plotMaxText, nullptr},
    {idc::XSync, nullptr, &CVARNODlg::xSyncOn},
    {idc::FilterLow, &CVARNODlg::filterLowText, nullptr},
    {idc::FilterHigh, &CVARNODlg::filterHighText, nullptr},
    {idc::FilterOn, nullptr, &CVARNODlg::filterOn},
};

// The read-only fields and the members they show.
struct ShownField {
    int id;
    std::string CVARNODlg::*text;
};

const ShownField kShownFields[] = {
    {idc::Frame, &CVARNODlg::frameField},   {idc::P1Hex, &CVARNODlg::p1HexField},
    {idc::P1, &CVARNODlg::p1Field},         {idc::Id, &CVARNODlg::idField},
    {idc::LogFileName, &CVARNODlg::logFileNameField}, {idc::P2, &CVARNODlg::p2Field},
    {idc::P2Hex, &CVARNODlg::p2HexField},   {idc::DpHex, &CVARNODlg::dpHexField},
};

QFont dialogFont()
{
    // The templates' 8-point dialog font; "MS Shell Dlg" is an alias that
    // resolves to an Arial-compatible face (see app/application.cpp).
    QFont font(QStringLiteral("MS Shell Dlg"));
    font.setPixelSize(11);
    // The fields change with every frame, hundreds of times a second: their
    // simple Latin texts need no shaping engine to be laid out.
    font.setStyleStrategy(QFont::PreferNoShaping);
    return font;
}

}  // namespace

CVARNODlg::CVARNODlg(QWidget* parent)
    // A main window rather than a dialog, so that window managers offer to
    // maximise it.
    : QDialog(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint
                          | Qt::WindowCloseButtonHint)
{
    registerResources();
    frameHandOver = std::make_shared<link::FrameHandOver>(ui::wakeByPosting(this));
    workingDirectory = log::defaultLogDirectory();
    setWindowTitle(QStringLiteral("VARNO - KAVRO Log Graphique v1.1.1"));
    setWindowIcon(QIcon(QStringLiteral(":/varno/varno.png")));
    setFont(dialogFont());

    buildControls();
    // The status line lies below the template's area: the window grows by its
    // height and every control keeps its place. That size is the smallest;
    // the chart takes whatever is added.
    buildStatusLine();
    const QSize templateSize(ui::dluToPixelsX(382), ui::dluToPixelsY(307) + statusLine->height());
    setMinimumSize(templateSize);
    resize(templateSize);
    connectHandlers();

    // The framework's first exchange shows the construction values, then the
    // initialisation runs.
    UpdateData(false);
    OnInitDialog();
}

CVARNODlg::~CVARNODlg()
{
    OnDestroy();
}

void CVARNODlg::buildControls()
{
    QWidget* previousTabStop = nullptr;
    for (const ControlTemplate& t : windowTemplate()) {
        const ui::PixelRect r = ui::dluRect(t.x, t.y, t.width, t.height);
        const QString caption = QString::fromUtf8(t.caption);
        QWidget* w = nullptr;
        bool tabStop = true;
        switch (t.kind) {
        case Kind::GroupBox: {
            auto* box = new QGroupBox(caption, this);
            box->setFocusPolicy(Qt::NoFocus);
            w = box;
            tabStop = false;
            break;
        }
        case Kind::PushLike:
        case Kind::PushButton: {
            auto* b = new QPushButton(caption, this);
            b->setCheckable(t.kind == Kind::PushLike);
            b->setAutoDefault(false);
            w = b;
            break;
        }
        case Kind::CheckBox:
            w = new QCheckBox(caption, this);
            break;
        case Kind::Radio: {
            auto* radio = new QRadioButton(caption, this);
            radio->setFocusPolicy(Qt::ClickFocus);
            w = radio;
            tabStop = false;
            break;
        }
        case Kind::Edit:
        case Kind::EditReadOnly:
        case Kind::EditDigits: {
            auto* e = new QLineEdit(this);
            e->setReadOnly(t.kind == Kind::EditReadOnly);
            if (t.kind == Kind::EditDigits)
                e->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), e));
            e->setTextMargins(0, 0, 0, 0);
            // The edit's panel covers all of it, so a field that changes does
            // not repaint the group box behind it.
            e->setAttribute(Qt::WA_OpaquePaintEvent);
            w = e;
            break;
        }
        case Kind::Label:
        case Kind::LabelRight: {
            auto* label = new QLabel(caption, this);
            label->setTextFormat(Qt::PlainText);
            label->setAlignment((t.kind == Kind::LabelRight ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignTop);
            w = label;
            tabStop = false;
            break;
        }
        case Kind::BlackFrame: {
            auto* frame = new QFrame(this);
            frame->setFrameShape(QFrame::Box);
            frame->setLineWidth(1);
            QPalette palette = frame->palette();
            palette.setColor(QPalette::WindowText, Qt::black);
            frame->setPalette(palette);
            w = frame;
            tabStop = false;
            break;
        }
        case Kind::ComboSorted:
            // The template's one sorted drop-down: the port list.
            w = new link::PortComboBox(this);
            break;
        case Kind::Combo: {
            auto* combo = new QComboBox(this);
            combo->setEditable(true);
            combo->setInsertPolicy(QComboBox::NoInsert);
            w = combo;
            break;
        }
        case Kind::TrackBar: {
            auto* slider = new QSlider(Qt::Horizontal, this);
            slider->setTickPosition(QSlider::NoTicks);
            w = slider;
            break;
        }
        case Kind::RichEdit: {
            auto* view = new QTextEdit(this);
            view->setReadOnly(true);
            view->setAcceptRichText(false);
            // Appended frames are no edits to undo: an undo history would grow
            // with every frame of a run.
            view->setUndoRedoEnabled(false);
            // Frames read left to right: spares the layout a direction scan
            // of every line at every insertion.
            QTextOption option = view->document()->defaultTextOption();
            option.setTextDirection(Qt::LeftToRight);
            view->document()->setDefaultTextOption(option);
            view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
            view->setFrameShape(QFrame::StyledPanel);
            w = view;
            break;
        }
        }
        // A combo box's geometry gives the height of its drop-down list; the
        // closed box has the height of an edit field.
        const int height = (t.kind == Kind::ComboSorted || t.kind == Kind::Combo) ? ui::dluToPixelsY(12) : r.height;
        if (t.kind == Kind::Label || t.kind == Kind::LabelRight)
            ui::placeLabel(static_cast<QLabel*>(w), t.x, t.y, t.width, t.height);
        else
            w->setGeometry(r.x, r.y, r.width, height);
        if (t.id != -1) {
            w->setObjectName(QStringLiteral("idc_%1").arg(t.id));
            m_controls[t.id] = w;
        }
        if (tabStop) {
            if (previousTabStop != nullptr)
                setTabOrder(previousTabStop, w);
            previousTabStop = w;
        }
    }
    // Group boxes are frames behind their controls, not their parents.
    for (QGroupBox* box : findChildren<QGroupBox*>(QString(), Qt::FindDirectChildrenOnly))
        box->lower();

    portCombo = static_cast<link::PortComboBox*>(control(idc::PortList));
    baudCombo = static_cast<QComboBox*>(control(idc::BaudList));
    triggerSlider = static_cast<QSlider*>(control(idc::Trigger));
    xSyncButton = static_cast<QPushButton*>(control(idc::XSync));
    rawTextButton = static_cast<QCheckBox*>(control(idc::RawText));
    textView = static_cast<QTextEdit*>(control(idc::TextView));

    for (const Binding& b : kBindings)
        m_bound.push_back(control(b.id));
    for (const ShownField& f : kShownFields)
        m_shownFields.push_back(edit(f.id));
    m_shownBytes.resize(m_shownFields.size());
}

void CVARNODlg::connectHandlers()
{
    // Each notification of the template reaches its handler unless the data
    // exchange raised it.
    auto route = [this](void (CVARNODlg::*handler)()) {
        return [this, handler] {
            if (!m_exchanging)
                (this->*handler)();
        };
    };
    connect(button(idc::Open), &QAbstractButton::clicked, this, route(&CVARNODlg::OnOpenButton));
    connect(portCombo, &QComboBox::activated, this, route(&CVARNODlg::OnPortSelected));
    connect(portCombo, &QComboBox::currentTextChanged, this, route(&CVARNODlg::OnPortTextChanged));
    portCombo->beforePopup = [this] { FillPortList(); };
    connect(baudCombo, &QComboBox::activated, this, route(&CVARNODlg::OnBaudSelected));
    connect(button(idc::Log), &QAbstractButton::clicked, this, route(&CVARNODlg::OnLogButton));
    connect(button(idc::ApplyLimits), &QAbstractButton::clicked, this, route(&CVARNODlg::OnApplyLimits));
    connect(xSyncButton, &QAbstractButton::clicked, this, route(&CVARNODlg::OnToggleXSync));
    connect(button(idc::XSync100ms), &QAbstractButton::clicked, this, route(&CVARNODlg::OnXSyncPeriodChoice));
    connect(button(idc::XSync1s), &QAbstractButton::clicked, this, route(&CVARNODlg::OnXSyncPeriodChoice));
    connect(button(idc::ResetLegend), &QAbstractButton::clicked, this, route(&CVARNODlg::OnResetChart));
    // textEdited, unlike textChanged, is raised only by the operator's edits.
    connect(edit(idc::FilterLow), &QLineEdit::textEdited, this, route(&CVARNODlg::OnLowChanged));
    connect(edit(idc::FilterHigh), &QLineEdit::textEdited, this, route(&CVARNODlg::OnHighChanged));
    connect(rawTextButton, &QAbstractButton::clicked, this, route(&CVARNODlg::OnRawTextClicked));
    // Focus loss of the filter edits and the release of the trigger slider.
    edit(idc::FilterLow)->installEventFilter(this);
    edit(idc::FilterHigh)->installEventFilter(this);
    triggerSlider->installEventFilter(this);
}

void CVARNODlg::OnInitDialog()
{
    FillPortList();
    if (portCombo->currentIndex() < 0 && portCombo->count() > 0)
        portCombo->setCurrentIndex(0);

    UpdateData(true);
    plotMin = 120;
    plotMinText = "120";
    plotMax = 180;
    plotMaxText = "180";
    logFileNameField.clear();
    triggerSlider->setRange(plotMin, plotMax);
    triggerSlider->setValue(plotMax);
    UpdateData(false);

    // The chart takes the place of its frame.
    chart = new chart::COScopeCtrl(this);
    chart->CreateChart(control(idc::ChartFrame)->geometry(), this);
    chart->SetLimits(plotMin, plotMax, 1);
    chart->SetYAxisText(QStringLiteral("RSSI"));
    chart->SetXAxisText(QString::fromUtf8("Trames reçues"));
    chart->SetBackColour(0x000000);
    chart->SetGridColour(0xFFFFFF);
    chart->SetPenColour(0xFFFFFF);
    chart->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(chart, &QWidget::customContextMenuRequested, this, &CVARNODlg::OnChartContextMenu);

    frameTimes.lastFrameTime = -1;
    frameTimes.lastFrameMillis = 0;
    xSyncPeriodMs = 100;
    button(idc::XSync100ms)->setChecked(true);

    legendSlotCount = decode::kLegendSlots;
    ResetLegend();

    baudCombo->clear();
    for (const char* rate : {"9600", "19200", "38400", "115200"})
        baudCombo->addItem(QString::fromLatin1(rate));
    baudCombo->setCurrentIndex(0);

    button(idc::Open)->setToolTip(QString::fromUtf8("Ouvrir/Fermer le port série."));

    // The bundled reader simulator listens on loopback.
    tcpHostAddress = 0x7F000001;  // 127.0.0.1
    tcpPort = 10001;
    rawTextButton->setChecked(false);
    setRawTextMode(false);

    dailyRenewal = true;
    lastDateCheckTime = clock->nowSeconds();
    currentDate = log::formatLocalTime(*clock, lastDateCheckTime, log::kDayFormat);
    previousDate = currentDate;

    // The first tab stop gets the focus.
    button(idc::Open)->setFocus(Qt::OtherFocusReason);
}

QWidget* CVARNODlg::control(int id) const
{
    const auto it = m_controls.find(id);
    return it == m_controls.end() ? nullptr : it->second;
}

QLineEdit* CVARNODlg::edit(int id) const
{
    return qobject_cast<QLineEdit*>(control(id));
}

QAbstractButton* CVARNODlg::button(int id) const
{
    return qobject_cast<QAbstractButton*>(control(id));
}

void CVARNODlg::UpdateData(bool fromControls)
{
    const bool wasExchanging = m_exchanging;
    m_exchanging = true;
    for (std::size_t i = 0; i < std::size(kBindings); ++i)
        exchange(i, fromControls);
    m_exchanging = wasExchanging;
    if (!fromControls) {
        for (std::size_t i = 0; i < std::size(kShownFields); ++i)
            markField(i);
    }
}

void CVARNODlg::UpdateData(bool fromControls, int id)
{
    const bool wasExchanging = m_exchanging;
    m_exchanging = true;
    for (std::size_t i = 0; i < std::size(kBindings); ++i) {
        if (kBindings[i].id == id)
            exchange(i, fromControls);
    }
    m_exchanging = wasExchanging;
    for (std::size_t i = 0; i < std::size(kShownFields); ++i) {
        if (!fromControls && kShownFields[i].id == id)
            markField(i);
    }
}

void CVARNODlg::exchange(std::size_t i, bool fromControls)
{
    const Binding& b = kBindings[i];
    if (b.text == nullptr) {
        auto* button = static_cast<QAbstractButton*>(m_bound[i]);
        if (fromControls)
            this->*b.check = button->isChecked() ? 1 : 0;
        else
            button->setChecked(this->*b.check != 0);
        return;
    }
    auto* e = static_cast<QLineEdit*>(m_bound[i]);
    if (fromControls) {
        this->*b.text = ui::toCp1252(e->text());
        return;
    }
    const QString text = ui::fromCp1252(this->*b.text);
    // An edit whose text is unchanged keeps its caret and selection.
    if (e->text() != text)
        e->setText(text);
}

void CVARNODlg::markField(std::size_t i)
{
    if (this->*kShownFields[i].text == m_shownBytes[i])
        return;
    m_fieldsPending = true;
    m_shownFields[i]->update();  // asks for the paint that shows it
}

void CVARNODlg::showFields()
{
    if (!m_fieldsPending)
        return;
    m_fieldsPending = false;
    const bool wasExchanging = m_exchanging;
    m_exchanging = true;
    for (std::size_t i = 0; i < std::size(kShownFields); ++i) {
        const std::string& bytes = this->*kShownFields[i].text;
        if (bytes != m_shownBytes[i]) {
            m_shownFields[i]->setText(ui::fromCp1252(bytes));
            m_shownBytes[i] = bytes;
        }
    }
    m_exchanging = wasExchanging;
}

bool CVARNODlg::event(QEvent* e)
{
    ui::acquireHandover(e);  // before anything reads an event another thread built
    if (e->type() == ui::FramesWaiting::kType) {
        OnFramesWaiting();
        return true;
    }
    if (e->type() == ui::LinkLostPosted::type()) {
        const auto* lost = static_cast<ui::LinkLostPosted*>(e);
        OnLinkLost(lost->link, lost->error);
        return true;
    }
    if (e->type() == QEvent::UpdateRequest) {
        // The toolkit asks once for every change since the last paint and
        // keeps what changed until the paint comes, so a request put off
        // here is answered by the timer.
        if (m_paintTimer.isActive())
            return true;
        const qint64 since = m_sincePaint.isValid() ? m_sincePaint.elapsed() : kPaintIntervalMs;
        if (since < kPaintIntervalMs) {
            const bool framesComing =
                m_sinceFrames.isValid() && m_sinceFrames.elapsed() < 2 * link::FrameHandOver::kPaceMs;
            const qint64 wait = kPaintIntervalMs - since + (framesComing ? link::FrameHandOver::kPaceMs : 0);
            m_paintTimer.start(static_cast<int>(wait), Qt::PreciseTimer, this);
            return true;
        }
        m_sincePaint.start();
        showFields();
    }
    return QDialog::event(e);
}

void CVARNODlg::timerEvent(QTimerEvent* e)
{
    if (e->timerId() == m_paintTimer.timerId()) {
        paintNow();
        return;
    }
    OnXSyncTick(e->timerId());
    QDialog::timerEvent(e);
}

void CVARNODlg::resizeEvent(QResizeEvent* e)
{
    QDialog::resizeEvent(e);
    layOutForSize();
}

namespace {

// Where a child of the window stands when the window has its minimum size.
const char* const kPlaceAtMinimum = "placeAtMinimumSize";

}  // namespace

void CVARNODlg::layOutForSize()
{
    QWidget* frame = control(idc::ChartFrame);
    if (frame == nullptr)
        return;
    const QSize extra = (size() - minimumSize()).expandedTo(QSize(0, 0));
    const QRect frameAtMinimum = placeAtMinimum(frame);
    for (QWidget* w : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (w->isWindow() || w == chart)
            continue;
        const QRect at = placeAtMinimum(w);
        if (w == frame) {
            w->setGeometry(at.adjusted(0, 0, extra.width(), extra.height()));
        } else if (at.top() > frameAtMinimum.bottom()) {
            // Below the chart: down with the bottom edge, as it was; a line
            // across the whole window stays across it.
            QRect moved = at.translated(0, extra.height());
            if (at.left() <= 0 && at.right() >= minimumWidth() - 1)
                moved.setRight(moved.right() + extra.width());
            w->setGeometry(moved);
        }
    }
    if (chart != nullptr)
        chart->setGeometry(frame->geometry());
    m_laidOutExtra = extra;
}

QRect CVARNODlg::placeAtMinimum(QWidget* w) const
{
    const QVariant known = w->property(kPlaceAtMinimum);
    if (known.isValid())
        return known.toRect();
    // Seen for the first time: placed for the size last laid out.
    QRect at = w->geometry();
    QWidget* frame = control(idc::ChartFrame);
    if (w == frame) {
        at.adjust(0, 0, -m_laidOutExtra.width(), -m_laidOutExtra.height());
    } else if (frame != nullptr && at.top() > frame->geometry().bottom()) {
        at.translate(0, -m_laidOutExtra.height());
        if (at.left() <= 0 && at.right() >= width() - 1)
            at.setRight(at.right() - m_laidOutExtra.width());
    }
    w->setProperty(kPlaceAtMinimum, at);
    return at;
}

void CVARNODlg::paintNow()
{
    m_paintTimer.stop();
    m_sincePaint.start();
    showFields();
    QEvent request(QEvent::UpdateRequest);
    QDialog::event(&request);
}

void CVARNODlg::paintIfDue()
{
    m_sinceFrames.start();
    if (m_paintTimer.isActive() && m_sincePaint.isValid() && m_sincePaint.elapsed() >= kPaintIntervalMs)
        paintNow();
}

void CVARNODlg::keyPressEvent(QKeyEvent* e)
{
    // No key ends the program: only the close box (or Alt+F4) does, so a
    // stray Enter or Escape never cuts a logging session short.
    switch (e->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: {
        QWidget* focus = focusWidget();
        if (focus == control(idc::Pmin) || focus == control(idc::Pmax)) {
            OnApplyLimits();  // as "Modifier" does
        } else if (auto* b = qobject_cast<QPushButton*>(focus); b != nullptr && !b->isCheckable()) {
            b->click();  // a plain push button with the focus takes the key
        }
        return;
    }
    case Qt::Key_Escape:
        return;
    case Qt::Key_F1:
        showAbout();
        return;
    default:
        QDialog::keyPressEvent(e);
    }
}

void CVARNODlg::contextMenuEvent(QContextMenuEvent* e)
{
    QMenu menu(this);
    menu.addAction(QStringLiteral("&About VARNO..."), this, [this] { showAbout(); });
    menu.exec(e->globalPos());
}

void CVARNODlg::showAbout()
{
    CAboutDlg about(this);
    about.exec();
}

bool CVARNODlg::eventFilter(QObject* watched, QEvent* e)
{
    if (e->type() == QEvent::FocusOut && !m_exchanging) {
        // A popup (the edit's own menu) or another window taking the focus,
        // a message box among them, is no leaving of the edit: the operator
        // comes back to it where they were.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(e)->reason();
        if (reason == Qt::PopupFocusReason || reason == Qt::ActiveWindowFocusReason)
            return QDialog::eventFilter(watched, e);
        if (watched == control(idc::FilterLow))
            OnLowLeft();
        else if (watched == control(idc::FilterHigh))
            OnHighLeft();
    } else if (e->type() == QEvent::MouseButtonRelease && watched == triggerSlider && !m_exchanging) {
        // The slider gives up the mouse: the trigger level is taken once the
        // slider has handled the release itself.
        QMetaObject::invokeMethod(this, &CVARNODlg::OnTriggerReleased, Qt::QueuedConnection);
    }
    return QDialog::eventFilter(watched, e);
}

void CVARNODlg::done(int result)
{
    if (m_closing)
        return;
    m_closing = true;
    // The window goes at once; the links' shutdown pauses run once it is off
    // the screen, and the run ends when they are done.
    hide();
    QMetaObject::invokeMethod(
        this,
        [this, result] {
            OnDestroy();
            QDialog::done(result);
        },
        Qt::QueuedConnection);
}

void CVARNODlg::OnDestroy()
{
    if (m_destroyed)
        return;
    m_destroyed = true;
    StopXSyncTimer();
    StopTcpLinks();
    if (serialPort.IsOpen())
        link::runPortShutdown(serialPort);
    link::pause(100);
}

}  // namespace varno::app
