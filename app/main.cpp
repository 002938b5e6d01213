#include <QApplication>

#include "app/errordisplay.h"
#include "app/mainwindow.h"
#include "app/signals.h"
#include "device/device.h"
#include "platform/clock.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("scanbench"));
    try {
        LinkedDevice device;
        SteadyClock clock;
        TMainWindow window(device, clock, QCoreApplication::applicationFilePath());
        window.FormCreate();  // shows its own errors; the window then opens offline
        window.show();
        // From here on a signal ends the program as closing the window does: a running wait is
        // cancelled first, open boxes are closed, and the log is flushed when the window goes.
        TerminationSignals termination([&window] {
            window.close();
            QCoreApplication::quit();
        });
        QApplication::exec();
    } catch (...) {
        ShowErrorDisplay(CurrentErrorMessage());
    }
    return 0;
}
