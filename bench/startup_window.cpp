// One start of a window for bench_startup: "--mereval" builds the cashier
// window as the program does, "--floor" a minimal Qt window (a label and a
// line edit). At the first paint it prints the CLOCK_MONOTONIC time in ns,
// then its peak memory in KiB when it ends.
#include "ui/form1.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>

#include <sys/resource.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>

namespace {

qint64 MonotonicNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

class FirstPaint : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !painted_) {
            painted_ = true;
            std::printf("painted %lld\n", static_cast<long long>(MonotonicNs()));
            std::fflush(stdout);
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool painted_ = false;
};

}  // namespace

int main(int argc, char* argv[]) {
    const bool floor = argc > 1 && std::strcmp(argv[1], "--floor") == 0;
    QApplication app(argc, argv);
    FirstPaint firstPaint;
    std::unique_ptr<QWidget> window;
    if (floor) {
        window = std::make_unique<QWidget>();
        auto* layout = new QHBoxLayout(window.get());
        layout->addWidget(new QLabel(QStringLiteral("Summa:")));
        layout->addWidget(new QLineEdit());
    } else {
        window = std::make_unique<mereval::ui::Form1>();
    }
    window->installEventFilter(&firstPaint);
    window->show();
    const int status = QApplication::exec();
    window.reset();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("peak_kib %ld\n", usage.ru_maxrss);
    return status;
}
