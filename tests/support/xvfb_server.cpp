#include "support/xvfb_server.h"

#include "support/child_process.h"

#include <QProcessEnvironment>

namespace mereval::test {

XvfbServer::XvfbServer() {
    process_.setProgram(QStringLiteral("Xvfb"));
    process_.setArguments({QStringLiteral("-displayfd"), QStringLiteral("1"),
                           QStringLiteral("-noreset"), QStringLiteral("-nolisten"),
                           QStringLiteral("tcp"), QStringLiteral("-screen"), QStringLiteral("0"),
                           QStringLiteral("1024x768x24")});
    process_.setProcessChannelMode(QProcess::SeparateChannels);
    DieWithParent(process_);
    process_.start();
    if (!process_.waitForStarted(5000)) {
        return;
    }
    QByteArray number;
    while (!number.contains('\n') && process_.waitForReadyRead(10000)) {
        number += process_.readAllStandardOutput();
    }
    number = number.trimmed();
    if (!number.isEmpty()) {
        display_ = QLatin1Char(':') + QString::fromLatin1(number);
    }
}

XvfbServer::~XvfbServer() {
    process_.terminate();
    if (!process_.waitForFinished(3000)) {
        process_.kill();
        process_.waitForFinished(3000);
    }
}

bool XvfbServer::Run(const QString& program, const QStringList& arguments) const {
    QProcess command;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), display_);
    command.setProcessEnvironment(environment);
    command.start(program, arguments);
    return command.waitForFinished(10000) && command.exitStatus() == QProcess::NormalExit &&
           command.exitCode() == 0;
}

}  // namespace mereval::test
