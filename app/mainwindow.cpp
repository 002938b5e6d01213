#include "app/mainwindow.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "app/errordisplay.h"
#include "app/formlayout.h"
#include "app/loadsettings.h"
#include "scan/scancontrol.h"
#include "service/service.h"

TMainWindow* MainWindow = nullptr;

namespace {

// Repainting during the blocking wait: often enough for the labels to move, rarely enough that
// the logic's tight polling loop is not slowed by event processing.
constexpr qint64 kWaitPollMs = 20;

QString FromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), text.size());
}

// Test aid: with SCANBENCH_TRACE=<file> every title, control text and message box is appended to
// that file as one UTF-8 line, flushed at once: "title\t<text>", "text\t<control>\t<text>",
// "box\t<caption>\t<text>", with backslash, tab, CR and LF escaped as \\ \t \r \n. The
// end-to-end tests read from it what X cannot show them.
void Trace(std::string_view kind, std::string_view first, const std::string* second = nullptr) {
    static std::FILE* const file = [] {
        const char* path = std::getenv("SCANBENCH_TRACE");
        return path && *path ? std::fopen(path, "ab") : nullptr;
    }();
    if (!file) return;  // the usual case: no string is built
    std::string line(kind);
    const std::string_view parts[] = {first, second ? std::string_view(*second) : ""};
    for (std::size_t i = 0; i < (second ? 2u : 1u); ++i) {
        line += '\t';
        for (char c : parts[i]) {
            switch (c) {
                case '\\':
                    line += "\\\\";
                    break;
                case '\t':
                    line += "\\t";
                    break;
                case '\r':
                    line += "\\r";
                    break;
                case '\n':
                    line += "\\n";
                    break;
                default:
                    line += c;
            }
        }
    }
    line += '\n';
    std::fputs(line.c_str(), file);
    std::fflush(file);
}

bool IsUserInput(QEvent::Type type) {
    switch (type) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::NonClientAreaMouseButtonPress:
        case QEvent::NonClientAreaMouseButtonRelease:
        case QEvent::NonClientAreaMouseButtonDblClick:
        case QEvent::NonClientAreaMouseMove:
        case QEvent::Wheel:
        case QEvent::HoverEnter:
        case QEvent::HoverMove:
        case QEvent::HoverLeave:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TouchCancel:
        case QEvent::TabletPress:
        case QEvent::TabletMove:
        case QEvent::TabletRelease:
        case QEvent::ContextMenu:
        case QEvent::NativeGesture:
        case QEvent::Gesture:
        case QEvent::InputMethod:
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::DragLeave:
        case QEvent::Drop:
            return true;
        default:
            return false;
    }
}

// Keys move the bar the way a horizontal bar reads: left, up and page up towards the minimum.
// QScrollBar inverts its controls for vertical use, which would make Left a step up.
class TimeFactorBar final : public QScrollBar {
  public:
    using QScrollBar::QScrollBar;

  protected:
    void keyPressEvent(QKeyEvent* event) override {
        SliderAction action = SliderNoAction;
        switch (event->key()) {
            case Qt::Key_Left:
            case Qt::Key_Up:
                action = SliderSingleStepSub;
                break;
            case Qt::Key_Right:
            case Qt::Key_Down:
                action = SliderSingleStepAdd;
                break;
            case Qt::Key_PageUp:
                action = SliderPageStepSub;
                break;
            case Qt::Key_PageDown:
                action = SliderPageStepAdd;
                break;
            case Qt::Key_Home:
                action = SliderToMinimum;
                break;
            case Qt::Key_End:
                action = SliderToMaximum;
                break;
            default:
                QScrollBar::keyPressEvent(event);
                return;
        }
        triggerAction(action);
        event->accept();
    }
};

}  // namespace

TMainWindow::TMainWindow(Device& device, Clock& clock, const QString& executablePath,
                         QWidget* parent)
    : QWidget(parent), executablePath_(executablePath) {
    MainWindow = this;
    ctx_ = std::make_unique<ScanContext>(device, clock, *this);
    connect(this, &QWidget::windowTitleChanged, this,
            [](const QString& title) { Trace("title", title.toStdString()); });
    BuildForm();
}

TMainWindow::~TMainWindow() {
    if (waiting_) QCoreApplication::instance()->removeEventFilter(this);
    if (MainWindow == this) MainWindow = nullptr;
}

void TMainWindow::BuildForm() {
    setObjectName(QStringLiteral("MainWindow"));
    setWindowTitle(QStringLiteral("MainWindow"));
    // The layout is made for an 11-pixel sans-serif; DejaVu Sans comes with every Debian Qt
    // install, and narrowed to 88 % its captions take about the widths the form was laid out for.
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    font.setStretch(88);
    setFont(font);
    move(kFormLeft, kFormTop);
    resize(kClientWidth, kClientHeight);

    std::vector<const FormControl*> tabStops;
    for (const FormControl& f : kFormControls) {
        const QString caption = QString::fromUtf8(f.caption);
        QWidget* w = nullptr;
        switch (f.kind) {
            case ControlKind::Label:
                w = new QLabel(caption, this);
                break;
            case ControlKind::Button:
                w = new QPushButton(caption, this);
                break;
            case ControlKind::CheckBox: {
                auto* box = new QCheckBox(caption, this);
                box->setChecked(f.checked);
                w = box;
                break;
            }
            case ControlKind::Edit:
                w = new QLineEdit(caption, this);
                break;
            case ControlKind::ScrollBar: {
                auto* bar = new TimeFactorBar(Qt::Horizontal, this);
                bar->setRange(kTimeFactorMin, kTimeFactorMax);
                bar->setValue(kTimeFactorMin);  // before connecting: the start raises no change
                bar->setSingleStep(1);
                bar->setPageStep(1);
                bar->setFocusPolicy(Qt::StrongFocus);  // a tab stop, operated by the keyboard too
                w = bar;
                break;
            }
        }
        w->setObjectName(QString::fromLatin1(ControlName(f.control)));
        w->setGeometry(f.left, f.top, f.width, f.height);
        if (f.kind == ControlKind::Label) w->adjustSize();
        controls_[static_cast<size_t>(f.control)] = w;
        if (f.tabOrder >= 0) tabStops.push_back(&f);
    }
    std::sort(tabStops.begin(), tabStops.end(),
              [](const FormControl* a, const FormControl* b) { return a->tabOrder < b->tabOrder; });
    for (size_t i = 1; i < tabStops.size(); ++i)
        setTabOrder(Widget(tabStops[i - 1]->control), Widget(tabStops[i]->control));

    connect(static_cast<QPushButton*>(Widget(Control::buScanStart)), &QPushButton::clicked, this,
            &TMainWindow::buScanStartClick);
    connect(static_cast<QPushButton*>(Widget(Control::buClearUser)), &QPushButton::clicked, this,
            &TMainWindow::buClearUserClick);
    connect(static_cast<QScrollBar*>(Widget(Control::sbTimeFactor)), &QScrollBar::valueChanged,
            this, &TMainWindow::sbTimeFactorChange);

    // Runs from here on; its ticks arrive once a message loop runs.
    Timer = new QTimer(this);
    Timer->setObjectName(QStringLiteral("Timer"));
    Timer->setInterval(kTimerIntervalMs);
    connect(Timer, &QTimer::timeout, this, &TMainWindow::TimerTimer);
    Timer->start();
}

// --- handlers ---

void TMainWindow::Handle(const std::function<void()>& handler) {
    ++handlerDepth_;
    bool failed = false;
    QString error;
    try {
        handler();
    } catch (...) {
        failed = true;
        error = CurrentErrorMessage();
    }
    EndWait();
    if (failed) ShowErrorDisplay(error, isVisible() ? this : nullptr);
    --handlerDepth_;
    if (handlerDepth_ == 0 && closePending_) {
        closePending_ = false;
        close();
    }
}

void TMainWindow::FormCreate() {
    Handle([this] {
        ctx_->CounterFrequency = ctx_->clock.Frequency();
        ctx_->FOnline = 0;
        LoadSettings(QFile::encodeName(executablePath_).toStdString(), FIniFileName, settings_);
        ctx_->FOnline = ConnectDevice(ctx_->device, ctx_->clock, *this, ctx_->options, settings_);
        if (ctx_->FOnline)
            setWindowTitle(QFileInfo(executablePath_).fileName() +
                           QStringLiteral(" - Online Mode"));
    });
}

void TMainWindow::TimerTimer() {
    Handle([this] { ::TimerTimer(*ctx_); });
}

void TMainWindow::buScanStartClick() {
    Handle([this] { ::buScanStartClick(*ctx_); });
}

void TMainWindow::sbTimeFactorChange() {
    Handle([this] { ::sbTimeFactorChange(ctx_->device, *this, ctx_->options); });
}

void TMainWindow::buClearUserClick() {
    Handle([this] { ::buClearUserClick(ctx_->device, *this); });
}

// --- WindowPort ---

void TMainWindow::SetTitle(const std::string& text) {
    setWindowTitle(FromUtf8(text));
}

void TMainWindow::SetText(Control c, const std::string& text) {
    Trace("text", ControlName(c), &text);
    QWidget* w = Widget(c);
    const QString s = FromUtf8(text);
    if (auto* label = qobject_cast<QLabel*>(w)) {
        label->setText(s);
        label->adjustSize();
    } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
        button->setText(s);
    } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
        edit->setText(s);
        edit->setCursorPosition(0);  // a message longer than the line shows its start
    }
}

bool TMainWindow::Checked(Control c) {
    auto* box = qobject_cast<QAbstractButton*>(Widget(c));
    return box && box->isChecked();
}

void TMainWindow::SetChecked(Control c, bool checked) {
    if (auto* box = qobject_cast<QAbstractButton*>(Widget(c))) box->setChecked(checked);
}

void TMainWindow::SetEnabled(Control c, bool enabled) {
    Widget(c)->setEnabled(enabled);
}

int TMainWindow::Position(Control c) {
    auto* bar = qobject_cast<QScrollBar*>(Widget(c));
    return bar ? bar->value() : 0;
}

void TMainWindow::RepaintNow(Control c) {
    Widget(c)->repaint();
}

void TMainWindow::RepaintWindow() {
    repaint();
}

void TMainWindow::ShowMessage(const std::string& text, const std::string& caption) {
    EndWait();  // the box needs the operator's input and lets ticks run
    Trace("box", caption, &text);
    QMessageBox box(QMessageBox::NoIcon, FromUtf8(caption), FromUtf8(text), QMessageBox::Ok,
                    isVisible() ? this : nullptr);
    box.setTextFormat(Qt::PlainText);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

void TMainWindow::Terminate() {
    // Queued: during FormCreate no loop runs yet, and a quit asked for then would be lost.
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [] { QCoreApplication::quit(); }, Qt::QueuedConnection);
}

bool TMainWindow::WaitCancelled() {
    if (!waiting_) BeginWait();
    if (!lastPoll_.isValid() || lastPoll_.hasExpired(kWaitPollMs)) {
        lastPoll_.start();
        QCoreApplication::processEvents();
    }
    return waitCancelled_;
}

void TMainWindow::BeginWait() {
    waiting_ = true;
    waitCancelled_ = false;
    lastPoll_.invalidate();
    timerWasActive_ = Timer->isActive();
    Timer->stop();
    QCoreApplication::instance()->installEventFilter(this);
}

void TMainWindow::EndWait() {
    if (!waiting_) return;
    // Input that reached the queue during the wait is swallowed now, not delivered afterwards.
    QCoreApplication::processEvents();
    QCoreApplication::instance()->removeEventFilter(this);
    waiting_ = false;
    if (timerWasActive_) Timer->start();
}

bool TMainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (!waiting_ || !IsUserInput(event->type())) return QWidget::eventFilter(watched, event);
    if (event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape)
        waitCancelled_ = true;
    return true;
}

void TMainWindow::closeEvent(QCloseEvent* event) {
    if (waiting_) {
        // The wait ends first and the window closes once the waiting handler has returned:
        // the end of the loop destroys the context that handler still works on.
        closePending_ = true;
        waitCancelled_ = true;
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}
