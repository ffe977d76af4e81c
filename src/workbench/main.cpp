// The workbench's entry point: prepares the application, creates the main
// window (which creates the debug view), opens a program named on the
// command line and runs the event loop until the main window closes.
//
// Hidden developer flag: --startup-time prints, at the first paint of the
// main window, the wall-clock time in nanoseconds since the epoch and the
// milliseconds since main() began, then quits (bench/workbench measures the
// time from process start with it).
#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QTimer>
#include <chrono>
#include <cstdio>

#include "workbench/MainForm.h"
#include "workbench/Startup.h"

namespace {

class FirstPaintProbe : public QObject {
public:
    FirstPaintProbe(QElapsedTimer since) : since_(since) {}
    bool eventFilter(QObject* watched, QEvent* e) override
    {
        if (e->type() == QEvent::Paint && !done_) {
            done_ = true;
            const auto now = std::chrono::system_clock::now().time_since_epoch();
            std::printf("first-paint-epoch-ns %lld\nfirst-paint-since-main-ms %.1f\n",
                        static_cast<long long>(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()),
                        since_.nsecsElapsed() / 1e6);
            std::fflush(stdout);
            QTimer::singleShot(0, qApp, [] { QApplication::exit(0); });
        }
        return QObject::eventFilter(watched, e);
    }

private:
    QElapsedTimer since_;
    bool done_ = false;
};

} // namespace

int main(int argc, char** argv)
{
    QElapsedTimer sinceMain;
    sinceMain.start();
    QApplication app(argc, argv);
    tarko::PrepareApplication(app);

    QStringList arguments = tarko::LocalFileArguments(QApplication::arguments().mid(1));
    const bool measure = arguments.removeAll(QStringLiteral("--startup-time")) > 0;

    tarko::TMainForm mainForm;
    FirstPaintProbe probe(sinceMain);
    if (measure)
        mainForm.installEventFilter(&probe);
    mainForm.OpenCommandLineFile(arguments);
    mainForm.show();
    return app.exec();
}
