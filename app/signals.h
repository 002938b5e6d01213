// SIGTERM, SIGINT and SIGHUP end the program the orderly way, as closing the window does, so the
// window and its record log are destroyed normally and buffered log lines reach the file.
#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;

// While an instance lives, each of the three signals makes `onSignal` run on the GUI thread the
// next time the event loop runs (a signal handler may do almost nothing, so it only writes a byte
// to a pipe). The previous dispositions come back on destruction. One instance at a time.
class TerminationSignals final : public QObject {
  public:
    explicit TerminationSignals(std::function<void()> onSignal, QObject* parent = nullptr);
    ~TerminationSignals() override;

    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    bool Installed() const { return notifier_ != nullptr; }

  private:
    void Drain();

    std::function<void()> onSignal_;
    QSocketNotifier* notifier_ = nullptr;
};
