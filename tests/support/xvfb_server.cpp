#include "support/xvfb_server.h"

#include "support/child_process.h"

#include <QProcessEnvironment>

namespace mereval::test {

using namespace Qt::StringLiterals;

XvfbServer::XvfbServer() {
    DieWithParent(process_);
    process_.start(u"Xvfb"_s, QStringList{u"-displayfd"_s, u"1"_s, u"-noreset"_s, u"-nolisten"_s,
                                          u"tcp"_s, u"-screen"_s, u"0"_s, u"1024x768x24"_s});
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
    StopChild(process_);
}

bool XvfbServer::Run(const QString& program, const QStringList& arguments) const {
    QProcess command;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"DISPLAY"_s, display_);
    command.setProcessEnvironment(environment);
    command.start(program, arguments);
    return command.waitForFinished(10000) && command.exitStatus() == QProcess::NormalExit &&
           command.exitCode() == 0;
}

}  // namespace mereval::test
