// Start-up of the cashier window against a minimal Qt window (the floor),
// both measured in this run under a private Xvfb: time from launching the
// process to its first paint, and peak memory. Target: ratio at most 1.5.
#include <QCoreApplication>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

constexpr int kRuns = 15;

qint64 MonotonicNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

struct Start {
    double ms = 0;
    long peakKib = 0;
};

bool RunOnce(const QString& program, const QString& mode, const QProcessEnvironment& environment,
             Start* start) {
    QProcess process;
    process.setProcessEnvironment(environment);
    const qint64 launched = MonotonicNs();
    process.start(program, {mode});
    if (!process.waitForFinished(30000) || process.exitCode() != 0) {
        return false;
    }
    long long painted = 0;
    for (const QByteArray& line : process.readAllStandardOutput().split('\n')) {
        if (line.startsWith("painted ")) {
            painted = line.mid(8).toLongLong();
        } else if (line.startsWith("peak_kib ")) {
            start->peakKib = line.mid(9).toLong();
        }
    }
    start->ms = double(painted - launched) / 1e6;
    return painted != 0;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QString window =
        QCoreApplication::applicationDirPath() + QStringLiteral("/startup_window");

    QProcess xvfb;
    xvfb.start(QStringLiteral("Xvfb"),
               {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-noreset"),
                QStringLiteral("-nolisten"), QStringLiteral("tcp")});
    QByteArray display;
    while (!display.contains('\n') && xvfb.waitForReadyRead(10000)) {
        display += xvfb.readAllStandardOutput();
    }
    if (display.trimmed().isEmpty()) {
        std::fprintf(stderr, "Xvfb did not start\n");
        return 1;
    }

    QTemporaryDir home;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"),
                       QLatin1Char(':') + QString::fromLatin1(display.trimmed()));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.insert(QStringLiteral("MEREVAL_HOME"), home.path());
    environment.insert(QStringLiteral("MEREVAL_SETTINGS"),
                       home.filePath(QStringLiteral("Tellur.conf")));

    std::vector<double> ours;
    std::vector<double> floor;
    long oursPeak = 0;
    long floorPeak = 0;
    for (int run = 0; run < kRuns; ++run) {
        Start start;
        if (!RunOnce(window, QStringLiteral("--floor"), environment, &start)) {
            std::fprintf(stderr, "the floor window failed to start\n");
            return 1;
        }
        floor.push_back(start.ms);
        floorPeak = std::max(floorPeak, start.peakKib);
        if (!RunOnce(window, QStringLiteral("--mereval"), environment, &start)) {
            std::fprintf(stderr, "the cashier window failed to start\n");
            return 1;
        }
        ours.push_back(start.ms);
        oursPeak = std::max(oursPeak, start.peakKib);
    }
    xvfb.terminate();
    xvfb.waitForFinished(3000);

    const double oursMs = Median(ours);
    const double floorMs = Median(floor);
    std::printf("start-up to first paint, median of %d runs under Xvfb\n", kRuns);
    std::printf("  cashier window   %7.1f ms   peak %6.1f MiB\n", oursMs, oursPeak / 1024.0);
    std::printf("  minimal window   %7.1f ms   peak %6.1f MiB  (floor)\n", floorMs,
                floorPeak / 1024.0);
    std::printf("  ratio            %7.2f      (target at most 1.5)\n", oursMs / floorMs);
    std::printf("  memory ratio     %7.2f\n", double(oursPeak) / double(floorPeak));
    return 0;
}
