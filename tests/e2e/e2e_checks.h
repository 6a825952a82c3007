#pragma once

#include "paysim/received_message.h"
#include "support/temp_environment.h"

#include <QDir>
#include <QList>

#include <gtest/gtest.h>

namespace mereval::test {

template <typename Messages>
QList<QByteArray> CodesOf(const Messages& messages) {
    QList<QByteArray> codes;
    for (const paysim::ReceivedMessage& message : messages) {
        codes.append(message.Code());
    }
    return codes;
}

// Card data and typed secrets must never reach a file of the program folder.
inline void ExpectNoFileHolds(const TempProgramEnvironment& env, const QList<QByteArray>& secrets) {
    for (const QString& name : QDir(env.Folder()).entryList(QDir::Files)) {
        for (const QByteArray& secret : secrets) {
            EXPECT_FALSE(env.ReadFile(name).contains(secret)) << name.toStdString();
        }
    }
}

}  // namespace mereval::test
