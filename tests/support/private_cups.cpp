#include "support/private_cups.h"

#include "support/child_process.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <cups/cups.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

namespace mereval::test {
namespace {

bool WriteFile(const QString& path, const QString& text) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(text.toUtf8()) == text.toUtf8().size();
}

}  // namespace

PrivateCups::~PrivateCups() {
    cupsd_.kill();
    cupsd_.waitForFinished();
}

QString PrivateCups::SocketPath() const {
    return dir_.filePath(QStringLiteral("cups.sock"));
}

http_t* PrivateCups::Connect(int timeoutMs) const {
    return httpConnect2(QFile::encodeName(SocketPath()).constData(), 631, nullptr, AF_UNSPEC,
                        HTTP_ENCRYPTION_NEVER, 1, timeoutMs, nullptr);
}

bool PrivateCups::Start(QString& error) {
    const QString root = dir_.path();
    const QDir folder(root);
    for (const char* sub : {"spool/tmp", "cache", "state", "log"}) {
        folder.mkpath(QString::fromLatin1(sub));
    }
    const auto path = [&](const char* name) {
        return QFile::encodeName(folder.filePath(QString::fromLatin1(name))).toStdString();
    };
    // Backends read the spooled files through this folder; as root they run
    // as lp, else as the test's own user.
    ::chmod(QFile::encodeName(root).constData(), 0711);
    const bool asRoot = ::geteuid() == 0;
    QString user = QString::fromLocal8Bit(::getpwuid(::geteuid())->pw_name);
    QString group = QString::fromLocal8Bit(::getgrgid(::getegid())->gr_name);
    if (asRoot) {
        const struct group* lp = ::getgrnam("lp");
        user = group = QStringLiteral("lp");
        if (!lp || ::chown(path("spool").c_str(), 0, lp->gr_gid) != 0 ||
            ::chown(path("spool/tmp").c_str(), 0, lp->gr_gid) != 0) {
            error = QStringLiteral("cannot hand the spool folder to group lp");
            return false;
        }
    }
    ::chmod(path("spool").c_str(), 0710);
    ::chmod(path("spool/tmp").c_str(), 01770);

    const QString cupsdConf = folder.filePath(QStringLiteral("cupsd.conf"));
    const QString filesConf = folder.filePath(QStringLiteral("cups-files.conf"));
    if (!WriteFile(cupsdConf, QStringLiteral("Listen %1\nLogLevel info\nWebInterface No\n"
                                             "Browsing No\nBrowseLocalProtocols none\n"
                                             "DefaultAuthType None\n"
                                             "<Location />\n  Order allow,deny\n  Allow all\n"
                                             "</Location>\n<Policy default>\n  <Limit All>\n"
                                             "    Order deny,allow\n  </Limit>\n</Policy>\n")
                                  .arg(SocketPath())) ||
        !WriteFile(filesConf,
                   QStringLiteral("ServerRoot %1\nRequestRoot %1/spool\nTempDir %1/spool/tmp\n"
                                  "CacheDir %1/cache\nStateDir %1/state\n"
                                  "AccessLog %1/log/access_log\nErrorLog %1/log/error_log\n"
                                  "PageLog %1/log/page_log\nPrintcap %1/printcap\n"
                                  "SystemGroup %2\nUser %3\nGroup %4\n")
                       .arg(root, asRoot ? QStringLiteral("root") : group, user, group))) {
        error = QStringLiteral("cannot write the configuration in ") + root;
        return false;
    }

    cupsd_.setStandardOutputFile(folder.filePath(QStringLiteral("log/cupsd.out")));
    cupsd_.setStandardErrorFile(folder.filePath(QStringLiteral("log/cupsd.out")));
    DieWithParent(cupsd_);
    cupsd_.start(QStringLiteral("/usr/sbin/cupsd"), {QStringLiteral("-f"), QStringLiteral("-c"),
                                                     cupsdConf, QStringLiteral("-s"), filesConf});
    const bool answered = QTest::qWaitFor(
        [&] {
            http_t* http = cupsd_.state() == QProcess::Running ? Connect(500) : nullptr;
            httpClose(http);
            return cupsd_.state() == QProcess::NotRunning || http != nullptr;
        },
        15000);
    if (!answered || cupsd_.state() != QProcess::Running) {
        error = QStringLiteral("cupsd does not answer: ") + cupsd_.errorString();
        return false;
    }
    qputenv("CUPS_SERVER", QFile::encodeName(SocketPath()));
    // The private server is the only one: no user's choice of printer counts.
    qunsetenv("LPDEST");
    qunsetenv("PRINTER");
    cupsSetServer(nullptr);
    return true;
}

bool PrivateCups::Admin(const QString& program, const QStringList& arguments) const {
    QProcess admin;  // finds the server by CUPS_SERVER
    admin.start(program, arguments);
    return admin.waitForFinished(15000) && admin.exitStatus() == QProcess::NormalExit &&
           admin.exitCode() == 0;
}

bool PrivateCups::AddRawQueue(const QString& name, quint16 port) {
    return Admin(QStringLiteral("lpadmin"),
                 {QStringLiteral("-p"), name, QStringLiteral("-E"), QStringLiteral("-v"),
                  QStringLiteral("socket://127.0.0.1:%1").arg(port), QStringLiteral("-o"),
                  QStringLiteral("printer-error-policy=abort-job")});
}

void PrivateCups::Pause(bool paused) {
    ::kill(pid_t(cupsd_.processId()), paused ? SIGSTOP : SIGCONT);
}

std::optional<SpooledJob> PrivateCups::Job(qint32 id) const {
    http_t* http = Connect(5000);
    cups_job_t* jobs = nullptr;
    const int count = http ? cupsGetJobs2(http, &jobs, nullptr, 0, CUPS_WHICHJOBS_ALL) : 0;
    std::optional<SpooledJob> found;
    for (int i = 0; i < count; ++i) {
        if (jobs[i].id == id) {
            found = SpooledJob{QString::fromUtf8(jobs[i].title), jobs[i].priority};
        }
    }
    cupsFreeJobs(count, jobs);
    httpClose(http);
    return found;
}

}  // namespace mereval::test
