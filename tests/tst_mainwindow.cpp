// The real window, offscreen: its form, the handlers' wiring to the logic, the message and error
// boxes, the blocking wait's input handling, and the termination signals.
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMetaEnum>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <csignal>
#include <functional>
#include <memory>
#include <stdexcept>
#include <vector>

#include "app/mainwindow.h"
#include "app/signals.h"
#include "tests/support/fakeclock.h"
#include "tests/support/fakedevice.h"

using Fn = FakeDevice::Fn;

namespace {

// A window on a fake board, with its executable in a folder of its own.
struct Bench {
    QTemporaryDir dir;
    FakeDevice device;
    FakeClock clock;
    std::unique_ptr<TMainWindow> window;
    bool exposed = false;

    explicit Bench(const QString& exeName = QStringLiteral("Probe.exe")) {
        window = std::make_unique<TMainWindow>(device, clock, dir.filePath(exeName));
        window->Context().logPath = dir.filePath(QStringLiteral("Data.Txt")).toStdString();
        window->show();
        exposed = QTest::qWaitForWindowExposed(window.get());
    }
    template <class T = QWidget>
    T* Find(const char* name) const {
        return window->findChild<T*>(QString::fromLatin1(name));
    }
    QTimer* Timer() const { return Find<QTimer>("Timer"); }
    QString Title() const { return window->windowTitle(); }
    QString Text(const char* name) const {
        QWidget* w = Find(name);
        if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
        if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text();
        if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text();
        return QString();
    }
    void Click(const char* name) { QTest::mouseClick(Find(name), Qt::LeftButton); }

    // Runs `during` inside a handler of the window (buClearUser's, at its board call), which is
    // where the logic's blocking wait runs: the handler's end is the wait's end.
    void InsideHandler(std::function<void()> during) {
        device.onCall = [&](const FakeDevice::Call& c) {
            if (c.fn == Fn::CleanServiceUsers) during();
        };
        Click("buClearUser");
        device.onCall = nullptr;
    }
    // Polls as the wait does, for `ms` or until cancelled.
    bool Wait(int ms) {
        QElapsedTimer t;
        t.start();
        do {
            if (window->WaitCancelled()) return true;
        } while (!t.hasExpired(ms));
        return false;
    }
};

// Plays the operator at each message box that opens: notes what it shows, leaves it open for
// `holdMs`, then presses OK with a real mouse click. A box that does not take the click is closed
// by force after a second so the test fails instead of hanging.
class Operator : public QObject {
  public:
    struct Box {
        QString text, title;
        QMessageBox::Icon icon;
        QMessageBox::StandardButtons buttons;
        int buttonCount;
        Qt::WindowModality modality;
        Qt::TextFormat format;
        bool forced = false;
    };
    std::vector<Box> boxes;

    explicit Operator(int holdMs = 0) : holdMs_(holdMs) {
        connect(&poll_, &QTimer::timeout, this, &Operator::Poll);
        poll_.start(5);
    }

  private:
    void Poll() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        if (box != current_) {
            current_ = box;
            open_.start();
            boxes.push_back({box->text(), box->windowTitle(), box->icon(), box->standardButtons(),
                             static_cast<int>(box->buttons().size()), box->windowModality(),
                             box->textFormat()});
            return;
        }
        if (open_.elapsed() < holdMs_) return;
        if (open_.elapsed() < holdMs_ + 1000) {
            if (QAbstractButton* ok = box->button(QMessageBox::Ok))
                QTest::mouseClick(ok, Qt::LeftButton);
            return;
        }
        boxes.back().forced = true;
        box->done(QMessageBox::Ok);
    }

    int holdMs_;
    QTimer poll_;
    QElapsedTimer open_;
    QPointer<QMessageBox> current_;
};

void PostClick(QWidget* target) {
    const QPointF at(5, 5);
    const QPointF global = target->mapToGlobal(at);
    QCoreApplication::postEvent(
        target, new QMouseEvent(QEvent::MouseButtonPress, at, global, Qt::LeftButton,
                                Qt::LeftButton, Qt::NoModifier));
    QCoreApplication::postEvent(
        target, new QMouseEvent(QEvent::MouseButtonRelease, at, global, Qt::LeftButton,
                                Qt::NoButton, Qt::NoModifier));
}

void PostKey(QWidget* target, int key) {
    QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier));
    QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyRelease, key, Qt::NoModifier));
}

std::vector<int> TimeFactorWrites(const FakeDevice& device) {
    std::vector<int> values;
    for (const FakeDevice::Call& c : device.CallsOn(optScanTimeFactor))
        if (c.fn == Fn::wrOptionInt) values.push_back(c.value);
    return values;
}

}  // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() { QApplication::setApplicationName(QStringLiteral("scanbench")); }

    void form_data();
    void form();
    void windowTimerAndSlider();

    void formCreateOnline();
    void formCreateBootFailureStaysOffline();
    void formCreateSettingsRefusedShowsErrorDisplay();

    void timeFactor_data();
    void timeFactor();
    void clearUser_data();
    void clearUser();

    void showMessageIsModalWithOkOnly();
    void handlerErrorIsShownAndProgramGoesOn();

    void waitEscapeCancels();
    void waitSwallowsClicksForGood();
    void waitHoldsTicksAndTheyResume();
    void waitCloseIsDeferredUntilHandlerReturns();
    void boxAfterWaitTakesInputAndTicks();
    void errorInsideWaitStillReachesOperator();
    void singleShotWaitEndsOnEscape();

    void terminateBeforeLoopEndsIt();
    void closingMakesNoDeviceCall();
    void terminationSignals_data();
    void terminationSignals();
};

// --- the form ---

void TestMainWindow::form_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("left");
    QTest::addColumn<int>("top");
    QTest::addColumn<int>("width");  // labels: the width the original had for this text
    QTest::addColumn<int>("height");
    QTest::addColumn<bool>("checked");
    QTest::addColumn<int>("tab");  // -1: no tab stop

    auto row = [](const char* name, const char* kind, const char* text, int l, int t, int w, int h,
                  bool checked, int tab) {
        QTest::newRow(name) << kind << QString::fromUtf8(text) << l << t << w << h << checked
                            << tab;
    };
    row("laScannerStatus", "QLabel", "---", 108, 108, 9, 13, false, -1);
    row("laScanned", "QLabel", "---", 108, 156, 9, 13, false, -1);
    row("Label1", "QLabel", "Records Scanned:", 4, 156, 89, 13, false, -1);
    row("Label2", "QLabel", "Scanner Status:", 4, 108, 76, 13, false, -1);
    row("Label3", "QLabel", "Record Size:", 4, 132, 61, 13, false, -1);
    row("laRecordSize", "QLabel", "-----", 108, 132, 15, 13, false, -1);
    row("laCntr", "QLabel", "---", 108, 208, 9, 13, false, -1);
    row("laLsm", "QLabel", "---", 108, 184, 9, 13, false, -1);
    row("Label4", "QLabel", "left Spool memory:", 4, 184, 86, 13, false, -1);
    row("Label5", "QLabel", "Loop Counter:", 4, 208, 67, 13, false, -1);
    row("buScanStart", "QPushButton", "Scan Start", 4, 12, 75, 21, false, 0);
    row("cbEndlessScan", "QCheckBox", "EndlessScan", 4, 44, 97, 17, true, 1);
    row("cbWaitForStrobe", "QCheckBox", "Wait for Strobe", 100, 44, 97, 17, false, 2);
    row("Edit1", "QLineEdit", "Edit1", 4, 240, 317, 21, false, 3);
    row("sbTimeFactor", "QScrollBar", "", 4, 300, 317, 17, false, 4);
    row("cbPhysMem", "QCheckBox", "use Phys. Mem.", 100, 64, 97, 17, false, 5);
    row("edZusatzinfo", "QLineEdit", "Zusatz Info", 4, 268, 317, 21, false, 6);
    row("buClearUser", "QPushButton", "ClearUser", 208, 8, 75, 25, false, 7);
}

void TestMainWindow::form() {
    QFETCH(QString, kind);
    QFETCH(QString, text);
    QFETCH(int, left);
    QFETCH(int, top);
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(bool, checked);
    QFETCH(int, tab);

    Bench b;
    const QByteArray name = QTest::currentDataTag();
    QWidget* w = b.Find(name.constData());
    QVERIFY2(w, "no control of that name");
    QVERIFY2(w->inherits(kind.toLatin1().constData()), w->metaObject()->className());
    QCOMPARE(b.Text(name.constData()), text);
    QVERIFY(w->isVisible());
    QVERIFY(w->isEnabled());
    QCOMPARE(w->x(), left);
    QCOMPARE(w->y(), top);
    if (kind == QLatin1String("QLabel")) {
        // Sized to their text in our font, which is not the original's.
        QVERIFY(w->width() >= w->fontMetrics().horizontalAdvance(text));
        QVERIFY(w->height() >= w->fontMetrics().height());
        QVERIFY(w->fontMetrics().height() <= height + 2);
    } else {
        QCOMPARE(w->width(), width);
        QCOMPARE(w->height(), height);
    }
    QVERIFY(b.window->rect().contains(w->geometry()));
    if (auto* box = qobject_cast<QCheckBox*>(w)) QCOMPARE(box->isChecked(), checked);

    QStringList chain;  // tab stops in focus-chain order
    for (QWidget* n = b.window->nextInFocusChain(); n != b.window.get(); n = n->nextInFocusChain())
        if ((n->focusPolicy() & Qt::TabFocus) && n->isVisibleTo(b.window.get()))
            chain << n->objectName();
    QCOMPARE(static_cast<int>(chain.indexOf(QString::fromLatin1(name))), tab);
    QCOMPARE(chain.size(), 8);
}

void TestMainWindow::windowTimerAndSlider() {
    Bench b;
    QCOMPARE(b.Title(), QStringLiteral("MainWindow"));
    QCOMPARE(b.window->pos(), QPoint(779, 163));

    QTimer* timer = b.Timer();
    QVERIFY(timer);
    QCOMPARE(timer->interval(), 50);
    QVERIFY(timer->isActive());
    QVERIFY(!timer->isSingleShot());
    QSignalSpy ticks(timer, &QTimer::timeout);
    QTRY_VERIFY_WITH_TIMEOUT(ticks.count() >= 2, 1000);

    auto* bar = b.Find<QScrollBar>("sbTimeFactor");
    QCOMPARE(bar->orientation(), Qt::Horizontal);
    QCOMPARE(bar->minimum(), 1);
    QCOMPARE(bar->maximum(), 100);
    QCOMPARE(bar->value(), 1);
    QCOMPARE(bar->singleStep(), 1);
    QCOMPARE(bar->pageStep(), 1);
}

// --- start-up ---

void TestMainWindow::formCreateOnline() {
    Bench b(QStringLiteral("Probe.exe"));
    b.window->FormCreate();
    QCOMPARE(b.Title(), QStringLiteral("Probe.exe - Online Mode"));
    QCOMPARE(b.window->Context().FOnline, 1);
    QVERIFY(QFileInfo::exists(b.dir.filePath(QStringLiteral("Probe.INI"))));
    // The settings reached the connection: the default system file beside the executable.
    const auto inits = b.device.CallsOf(Fn::InitMcuSystem3);
    QCOMPARE(inits.size(), size_t{1});
    QCOMPARE(QString::fromStdString(inits[0].text), b.dir.filePath(QStringLiteral("SYSTEM.DAT")));
    QCOMPARE(inits[0].value, 768);
    QCOMPARE(b.window->Context().CounterFrequency, b.clock.frequency);
    // The start-up position of the slider raised no change.
    QVERIFY(TimeFactorWrites(b.device).empty());
}

void TestMainWindow::formCreateBootFailureStaysOffline() {
    Bench b;
    b.device.SetResult(Fn::InitMcuSystem3, -3);
    b.device.SetResult(Fn::BootFile, -7);
    b.window->FormCreate();
    QCOMPARE(b.Title(), QStringLiteral("Error -7 at booting!"));
    QCOMPARE(b.window->Context().FOnline, 0);

    const size_t calls = b.device.calls.size();
    QSignalSpy clicked(b.Find<QPushButton>("buScanStart"), &QPushButton::clicked);
    b.Click("buScanStart");
    QCOMPARE(clicked.count(), 1);
    QTest::qWait(120);  // ticks too
    QCOMPARE(b.device.calls.size(), calls);
    QCOMPARE(b.Text("buScanStart"), QStringLiteral("Scan Start"));
}

void TestMainWindow::formCreateSettingsRefusedShowsErrorDisplay() {
    Bench b;
    QVERIFY(QDir(b.dir.path()).mkdir(QStringLiteral("Probe.INI")));  // no file can go there
    Operator op;
    b.window->FormCreate();

    QCOMPARE(op.boxes.size(), size_t{1});
    const Operator::Box& box = op.boxes[0];
    QVERIFY2(box.text.contains(b.dir.filePath(QStringLiteral("Probe.INI"))), qPrintable(box.text));
    QVERIFY(box.text.contains(QStringLiteral("kann nicht geschrieben werden")));
    QCOMPARE(box.icon, QMessageBox::Critical);
    QCOMPARE(box.title, QStringLiteral("scanbench"));
    QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(box.modality, Qt::ApplicationModal);
    QVERIFY(!box.forced);

    QCOMPARE(b.Title(), QStringLiteral("MainWindow"));
    QCOMPARE(b.window->Context().FOnline, 0);
    QVERIFY(b.device.calls.empty());  // no connection attempted
    QVERIFY(b.window->isVisible());
}

// --- service controls through the real widgets ---

void TestMainWindow::timeFactor_data() {
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QList<int>>("written");

    QTest::newRow("arrow keys") << QStringList{"Right", "Right", "Left"} << QList<int>{2, 3, 2};
    QTest::newRow("left at the left end writes nothing") << QStringList{"Left"} << QList<int>{};
    QTest::newRow("page keys") << QStringList{"PageDown", "PageDown", "PageUp"}
                               << QList<int>{2, 3, 2};
    QTest::newRow("up and down keys") << QStringList{"Down", "Up", "Up"} << QList<int>{2, 1};
    QTest::newRow("right at the right end writes nothing")
        << QStringList{"End", "Right", "Home"} << QList<int>{100, 1};
    QTest::newRow("drag writes each position, release nothing")
        << QStringList{"drag:2,3,4,5,9"} << QList<int>{2, 3, 4, 5, 9};
    QTest::newRow("drag back to the start") << QStringList{"drag:40,1"} << QList<int>{40, 1};
}

void TestMainWindow::timeFactor() {
    QFETCH(QStringList, steps);
    QFETCH(QList<int>, written);

    Bench b;  // offline: the slider still reaches the board
    auto* bar = b.Find<QScrollBar>("sbTimeFactor");
    std::vector<QString> titleAtWrite;
    b.device.onCall = [&](const FakeDevice::Call& c) {
        if (c.Is(Fn::wrOptionInt, optScanTimeFactor)) titleAtWrite.push_back(b.Title());
    };
    const QMetaEnum keys = QMetaEnum::fromType<Qt::Key>();
    for (const QString& step : steps) {
        if (!step.startsWith(QLatin1String("drag:"))) {
            bool known = false;
            const int key = keys.keyToValue(("Key_" + step).toLatin1().constData(), &known);
            QVERIFY2(known, qPrintable(step));
            QTest::keyClick(bar, static_cast<Qt::Key>(key));
        } else {
            bar->setSliderDown(true);
            for (const QString& v : step.mid(5).split(',')) bar->setSliderPosition(v.toInt());
            bar->setSliderDown(false);
        }
    }
    b.device.onCall = nullptr;

    const std::vector<int> values = TimeFactorWrites(b.device);
    QCOMPARE(QList<int>(values.begin(), values.end()), written);
    QCOMPARE(titleAtWrite.size(), values.size());
    for (size_t i = 0; i < values.size(); ++i)
        QCOMPARE(titleAtWrite[i], QString::number(values[i]));  // shown before it is written
    QCOMPARE(b.Title(),
             written.isEmpty() ? QStringLiteral("MainWindow") : QString::number(written.last()));
}

void TestMainWindow::clearUser_data() {
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("title");
    QTest::newRow("zero") << 0 << QStringLiteral("00000000");
    QTest::newRow("minus one") << -1 << QStringLiteral("FFFFFFFF");
    QTest::newRow("upper-case hex") << 0x1234abcd << QStringLiteral("1234ABCD");
}

void TestMainWindow::clearUser() {
    QFETCH(int, result);
    QFETCH(QString, title);
    Bench b;
    b.device.SetResult(Fn::CleanServiceUsers, result);
    QTest::keyClicks(b.Find<QLineEdit>("Edit1"), QStringLiteral(" typed"));  // nothing reads it
    b.Click("buClearUser");
    QCOMPARE(b.Title(), title);
    QCOMPARE(b.Text("Edit1"), QStringLiteral("ClearServiceUsers siehe Titelzeile!"));
    QCOMPARE(b.device.Count(Fn::CleanServiceUsers), 1);
    QCOMPARE(b.device.calls.size(), size_t{1});
}

// --- boxes ---

void TestMainWindow::showMessageIsModalWithOkOnly() {
    Bench b;
    Operator op;
    b.window->ShowMessage("TimerAuflösung: <b>0.100</b> µs", "Messergebnis");
    QCOMPARE(op.boxes.size(), size_t{1});
    const Operator::Box& box = op.boxes[0];
    QCOMPARE(box.text, QStringLiteral("TimerAuflösung: <b>0.100</b> µs"));
    QCOMPARE(box.format, Qt::PlainText);  // shown as written, not as markup
    QCOMPARE(box.title, QStringLiteral("Messergebnis"));
    QCOMPARE(box.icon, QMessageBox::NoIcon);
    QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(box.buttonCount, 1);
    QCOMPARE(box.modality, Qt::ApplicationModal);
    QVERIFY(!box.forced);
}

void TestMainWindow::handlerErrorIsShownAndProgramGoesOn() {
    Bench b;
    b.device.onCall = [](const FakeDevice::Call& c) {
        if (c.fn == Fn::CleanServiceUsers) throw std::runtime_error("Zugriffsverletzung");
    };
    Operator op;
    b.Click("buClearUser");
    b.device.onCall = nullptr;
    QCOMPARE(op.boxes.size(), size_t{1});
    QCOMPARE(op.boxes[0].text, QStringLiteral("Zugriffsverletzung"));
    QCOMPARE(op.boxes[0].icon, QMessageBox::Critical);
    QCOMPARE(op.boxes[0].title, QStringLiteral("scanbench"));
    QVERIFY(!op.boxes[0].forced);

    b.device.SetResult(Fn::CleanServiceUsers, 0x2a);
    b.Click("buClearUser");
    QCOMPARE(b.Title(), QStringLiteral("0000002A"));
    QVERIFY(b.Timer()->isActive());
}

// --- the blocking wait ---

void TestMainWindow::waitEscapeCancels() {
    Bench b;
    bool before = true, after = false;
    b.InsideHandler([&] {
        before = b.Wait(60);
        PostKey(b.window.get(), Qt::Key_Escape);
        after = b.Wait(2000);
    });
    QVERIFY(!before);
    QVERIFY(after);
    // The next wait starts uncancelled.
    bool again = true;
    b.InsideHandler([&] { again = b.Wait(40); });
    QVERIFY(!again);
}

void TestMainWindow::waitSwallowsClicksForGood() {
    Bench b;
    auto* start = b.Find<QPushButton>("buScanStart");
    QSignalSpy clicked(start, &QPushButton::clicked);
    b.InsideHandler([&] {
        PostClick(start);
        b.Wait(60);
        PostClick(start);  // after the last poll: still part of the wait
        QTest::keyClick(start, Qt::Key_Space);
    });
    QTest::qWait(100);
    QCOMPARE(clicked.count(), 0);

    PostClick(start);  // the same click once the wait is over does arrive
    QTRY_COMPARE_WITH_TIMEOUT(clicked.count(), 1, 1000);
}

void TestMainWindow::waitHoldsTicksAndTheyResume() {
    Bench b;
    QSignalSpy ticks(b.Timer(), &QTimer::timeout);
    int during = -1;
    b.InsideHandler([&] {
        ticks.clear();
        b.Wait(250);
        during = static_cast<int>(ticks.count());
    });
    QCOMPARE(during, 0);
    QVERIFY(b.Timer()->isActive());
    QTRY_VERIFY_WITH_TIMEOUT(ticks.count() >= 1, 1000);
}

void TestMainWindow::waitCloseIsDeferredUntilHandlerReturns() {
    Bench b;
    bool cancelled = false, visibleInWait = false;
    b.InsideHandler([&] {
        b.Wait(20);
        b.window->close();
        visibleInWait = b.window->isVisible();
        cancelled = b.Wait(1000);
    });
    QVERIFY(visibleInWait);
    QVERIFY(cancelled);
    QVERIFY(!b.window->isVisible());
}

void TestMainWindow::boxAfterWaitTakesInputAndTicks() {
    Bench b;
    QSignalSpy ticks(b.Timer(), &QTimer::timeout);
    Operator op(200);
    int ticksInBox = 0;
    b.InsideHandler([&] {
        b.Wait(60);
        const auto before = ticks.count();
        b.window->ShowMessage("Error at Using the Scanner!", "Error");
        ticksInBox = static_cast<int>(ticks.count() - before);
    });
    QCOMPARE(op.boxes.size(), size_t{1});
    QVERIFY2(!op.boxes[0].forced, "the box did not take the operator's click");
    QVERIFY(ticksInBox >= 2);
}

void TestMainWindow::errorInsideWaitStillReachesOperator() {
    Bench b;
    Operator op;
    b.device.onCall = [&](const FakeDevice::Call& c) {
        if (c.fn != Fn::CleanServiceUsers) return;
        b.Wait(40);
        throw std::runtime_error("Stapelüberlauf");
    };
    b.Click("buClearUser");
    b.device.onCall = nullptr;
    QCOMPARE(op.boxes.size(), size_t{1});
    QCOMPARE(op.boxes[0].text, QStringLiteral("Stapelüberlauf"));
    QVERIFY2(!op.boxes[0].forced, "the error display did not take the operator's click");
    QVERIFY(b.Timer()->isActive());
}

// The logic's own wait: a single shot whose recorder never finishes ends on Escape, and a click
// made meanwhile does not start another scan.
void TestMainWindow::singleShotWaitEndsOnEscape() {
    Bench b;
    b.window->FormCreate();
    QCOMPARE(b.window->Context().FOnline, 1);
    b.Find<QCheckBox>("cbEndlessScan")->setChecked(false);
    b.device.QueueIntValues(optScanStatus, {4});  // recording, for ever
    b.device.QueueIntValues(optScanRecordCount, {7});
    int passes = 0;
    b.device.onCall = [&](const FakeDevice::Call& c) {
        if (!c.Is(Fn::rdOptionInt, optScanRecordCount) || ++passes != 3) return;
        PostClick(b.Find("buScanStart"));
        PostKey(b.window.get(), Qt::Key_Escape);
    };
    b.Click("buScanStart");
    b.device.onCall = nullptr;
    QVERIFY(passes >= 3);
    QTest::qWait(100);

    QCOMPARE(b.device.Count(Fn::wrOptionInt, optScanInit), 1);
    QCOMPARE(b.Text("buScanStart"), QStringLiteral("Scan Start"));
    QVERIFY(b.Find("buScanStart")->isEnabled());
    QCOMPARE(b.Text("laScanned"), QStringLiteral("7"));
    QVERIFY(b.Timer()->isActive());
}

// --- the end of the program ---

void TestMainWindow::terminateBeforeLoopEndsIt() {
    Bench b;
    b.window->Terminate();  // as FormCreate does after a failed resource check
    QTimer fallback;
    fallback.setSingleShot(true);
    connect(&fallback, &QTimer::timeout, [] { QCoreApplication::exit(1); });
    fallback.start(3000);
    QCOMPARE(QApplication::exec(), 0);
    QVERIFY(fallback.isActive());
}

void TestMainWindow::closingMakesNoDeviceCall() {
    Bench b;
    b.window->FormCreate();
    b.Find<QCheckBox>("cbEndlessScan")->setChecked(true);
    b.Click("buScanStart");  // an endless scan is running
    QCOMPARE(b.Text("buScanStart"), QStringLiteral("Scan Stop"));
    const size_t calls = b.device.calls.size();
    QVERIFY(b.window->close());
    b.window.reset();
    QCOMPARE(b.device.calls.size(), calls);
}

void TestMainWindow::terminationSignals_data() {
    QTest::addColumn<int>("sig");
    QTest::newRow("SIGTERM") << SIGTERM;
    QTest::newRow("SIGINT") << SIGINT;
    QTest::newRow("SIGHUP") << SIGHUP;
}

void TestMainWindow::terminationSignals() {
    QFETCH(int, sig);
    struct sigaction before {};
    sigaction(sig, nullptr, &before);
    int ended = 0;
    {
        TerminationSignals termination([&] { ++ended; });
        QVERIFY(termination.Installed());
        QCOMPARE(std::raise(sig), 0);
        QCOMPARE(ended, 0);  // never inside the signal handler
        QTRY_COMPARE_WITH_TIMEOUT(ended, 1, 1000);
    }
    // Gone with the object: the disposition from before is back.
    struct sigaction now {};
    sigaction(sig, nullptr, &now);
    QVERIFY(now.sa_handler == before.sa_handler);
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
