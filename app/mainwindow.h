// The one window: its controls built from the form description, the handlers that forward to
// the logic, and the window port through which the logic writes back.
#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "device/connection.h"
#include "device/device.h"
#include "platform/clock.h"
#include "platform/windowport.h"
#include "scan/scancontext.h"

class QTimer;

class TMainWindow : public QWidget, public WindowPort {
    Q_OBJECT

  public:
    // `executablePath` locates the settings file and names the online title.
    TMainWindow(Device& device, Clock& clock, const QString& executablePath,
                QWidget* parent = nullptr);
    ~TMainWindow() override;

    // Each handler shows an error that escapes it with the standard error display and returns.
    void FormCreate();
    void TimerTimer();
    void buScanStartClick();
    void sbTimeFactorChange();
    void buClearUserClick();

    ScanContext& Context() { return *ctx_; }

    // --- WindowPort ---
    void SetTitle(const std::string& text) override;
    void SetText(Control c, const std::string& text) override;
    bool Checked(Control c) override;
    void SetChecked(Control c, bool checked) override;
    void SetEnabled(Control c, bool enabled) override;
    int Position(Control c) override;
    void RepaintNow(Control c) override;
    void RepaintWindow() override;
    void ShowMessage(const std::string& text, const std::string& caption) override;
    void Terminate() override;
    bool WaitCancelled() override;

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QWidget* Widget(Control c) const { return controls_[static_cast<size_t>(c)]; }
    void BuildForm();
    void Handle(const std::function<void()>& handler);
    void BeginWait();
    void EndWait();

    QString executablePath_;
    std::unique_ptr<ScanContext> ctx_;  // holds the 144 KB scan buffer
    std::array<QWidget*, 18> controls_{};
    QTimer* Timer = nullptr;

    // Private fields of the form; FOnline lives in the context the logic shares.
    std::string FIniFileName;
    ConnectionSettings settings_;

    // The blocking single-shot wait: it starts at the first WaitCancelled() and ends when the
    // handler that runs it returns or opens a message box, the only places a loop runs again.
    bool waiting_ = false;
    bool waitCancelled_ = false;
    bool timerWasActive_ = false;
    bool closePending_ = false;
    int handlerDepth_ = 0;
    QElapsedTimer lastPoll_;
};

// The one window, set as soon as its construction starts.
extern TMainWindow* MainWindow;
