#pragma once

#include <QProcess>
#include <QString>

namespace mereval::test {

// A private X server: Xvfb picks a free display (-displayfd), and -noreset
// keeps keyboard layouts set with setxkbmap.
class XvfbServer {
public:
    XvfbServer();
    ~XvfbServer();

    bool IsRunning() const { return !display_.isEmpty(); }
    QString Display() const { return display_; }  // ":N"
    // Runs a command with DISPLAY set to this server; true when it exits 0.
    bool Run(const QString& program, const QStringList& arguments) const;

private:
    QProcess process_;
    QString display_;
};

}  // namespace mereval::test
