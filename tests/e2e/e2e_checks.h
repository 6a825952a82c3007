#pragma once

#include "paysim/received_message.h"
#include "support/temp_environment.h"

#include <QDir>
#include <QList>

#include <gtest/gtest.h>

namespace mereval::test {

// The message codes in the order the messages came.
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
        const QByteArray contents = env.ReadFile(name);
        for (const QByteArray& secret : secrets) {
            EXPECT_FALSE(contents.contains(secret))
                << name.toStdString() << " holds " << secret.constData();
        }
    }
}

}  // namespace mereval::test
