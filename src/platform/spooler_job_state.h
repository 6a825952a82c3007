#pragma once

#include <QString>
#include <QtGlobal>

namespace mereval::platform {

// What the spooler says of a job that it took.
struct SpoolerJobState {
    enum class Progress : quint8 {
        Waiting,  // queued or printing, or the spooler did not answer in time
        Printed,
        Failed,  // stopped, aborted or cancelled, or its printer stopped, offline or out of paper
    };
    Progress progress = Progress::Waiting;
    QString reason;  // Failed: the spooler's own words
};

// One look at a job of the CUPS server and at its printer, waiting at most
// waitMs for the answers.
SpoolerJobState CupsJobState(qint32 job, int waitMs);

}  // namespace mereval::platform
