#include "support/private_cups.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTest>

#include <cups/cups.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

namespace mereval::test {
namespace {

constexpr int kStartTimeoutMs = 15000;
constexpr int kAdminTimeoutMs = 15000;

bool WriteFile(const QString& path, const QString& text) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(text.toUtf8()) == text.toUtf8().size();
}

bool Answers(const QString& socketPath) {
    http_t* http = httpConnect2(QFile::encodeName(socketPath).constData(), 631, nullptr, AF_UNSPEC,
                                HTTP_ENCRYPTION_NEVER, 1, 500, nullptr);
    if (!http) {
        return false;
    }
    httpClose(http);
    return true;
}

}  // namespace

PrivateCups::~PrivateCups() {
    if (cupsd_.state() != QProcess::NotRunning) {
        cupsd_.terminate();
        if (!cupsd_.waitForFinished(10000)) {
            cupsd_.kill();
            cupsd_.waitForFinished();
        }
    }
}

QString PrivateCups::SocketPath() const {
    return dir_.filePath(QStringLiteral("cups.sock"));
}

bool PrivateCups::Start(QString& error) {
    if (!dir_.isValid()) {
        error = QStringLiteral("no temporary folder: ") + dir_.errorString();
        return false;
    }
    const QString root = dir_.path();
    const QDir folder(root);
    for (const char* sub : {"spool/tmp", "cache", "state", "log"}) {
        folder.mkpath(QString::fromLatin1(sub));
    }
    // Backends read the spooled files through this folder.
    ::chmod(QFile::encodeName(root).constData(), 0711);

    const bool asRoot = ::geteuid() == 0;
    QString user = QStringLiteral("lp");
    QString group = QStringLiteral("lp");
    if (asRoot) {
        const struct group* lp = ::getgrnam("lp");
        if (!lp) {
            error = QStringLiteral("no group lp");
            return false;
        }
        for (const char* sub : {"spool", "spool/tmp"}) {
            if (::chown(QFile::encodeName(folder.filePath(QString::fromLatin1(sub))).constData(), 0,
                        lp->gr_gid) != 0) {
                error = QStringLiteral("cannot hand the spool folder to lp");
                return false;
            }
        }
    } else {
        user = QString::fromLocal8Bit(::getpwuid(::geteuid())->pw_name);
        group = QString::fromLocal8Bit(::getgrgid(::getegid())->gr_name);
    }
    ::chmod(QFile::encodeName(folder.filePath(QStringLiteral("spool"))).constData(), 0710);
    ::chmod(QFile::encodeName(folder.filePath(QStringLiteral("spool/tmp"))).constData(), 01770);

    const QString cupsdConf = folder.filePath(QStringLiteral("cupsd.conf"));
    const QString filesConf = folder.filePath(QStringLiteral("cups-files.conf"));
    const bool written =
        WriteFile(cupsdConf, QStringLiteral("Listen %1\n"
                                            "LogLevel info\n"
                                            "WebInterface No\n"
                                            "Browsing No\n"
                                            "BrowseLocalProtocols none\n"
                                            "DefaultAuthType None\n"
                                            "<Location />\n  Order allow,deny\n  Allow all\n"
                                            "</Location>\n"
                                            "<Policy default>\n  <Limit All>\n"
                                            "    Order deny,allow\n  </Limit>\n</Policy>\n")
                                 .arg(SocketPath())) &&
        WriteFile(filesConf, QStringLiteral("ServerRoot %1\n"
                                            "RequestRoot %1/spool\n"
                                            "TempDir %1/spool/tmp\n"
                                            "CacheDir %1/cache\n"
                                            "StateDir %1/state\n"
                                            "AccessLog %1/log/access_log\n"
                                            "ErrorLog %1/log/error_log\n"
                                            "PageLog %1/log/page_log\n"
                                            "Printcap %1/printcap\n"
                                            "SystemGroup %2\n"
                                            "User %3\n"
                                            "Group %4\n")
                                 .arg(root, asRoot ? QStringLiteral("root") : group, user, group));
    if (!written) {
        error = QStringLiteral("cannot write the configuration");
        return false;
    }

    QString program = QStandardPaths::findExecutable(
        QStringLiteral("cupsd"), {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/local/sbin")});
    if (program.isEmpty()) {
        program = QStandardPaths::findExecutable(QStringLiteral("cupsd"));
    }
    if (program.isEmpty()) {
        error = QStringLiteral("cupsd is not installed (scripts/setup.sh installs it)");
        return false;
    }
    cupsd_.setStandardOutputFile(folder.filePath(QStringLiteral("log/cupsd.out")));
    cupsd_.setStandardErrorFile(folder.filePath(QStringLiteral("log/cupsd.out")));
    cupsd_.start(program, {QStringLiteral("-f"), QStringLiteral("-c"), cupsdConf,
                           QStringLiteral("-s"), filesConf});
    if (!cupsd_.waitForStarted()) {
        error = QStringLiteral("cupsd does not start: ") + cupsd_.errorString();
        return false;
    }
    const QString socket = SocketPath();
    const bool answered = QTest::qWaitFor(
        [&] { return cupsd_.state() == QProcess::NotRunning || Answers(socket); }, kStartTimeoutMs);
    if (!answered || cupsd_.state() == QProcess::NotRunning) {
        error = QStringLiteral("cupsd does not answer: ") + LogTail();
        return false;
    }
    qputenv("CUPS_SERVER", QFile::encodeName(socket));
    // The private server is the only one: no user's choice of printer counts.
    qunsetenv("LPDEST");
    qunsetenv("PRINTER");
    cupsSetServer(nullptr);
    return true;
}

bool PrivateCups::Admin(const QString& program, const QStringList& arguments) const {
    QProcess admin;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("CUPS_SERVER"), SocketPath());
    admin.setProcessEnvironment(environment);
    admin.setProcessChannelMode(QProcess::MergedChannels);
    admin.start(program, arguments);
    return admin.waitForFinished(kAdminTimeoutMs) && admin.exitStatus() == QProcess::NormalExit &&
           admin.exitCode() == 0;
}

bool PrivateCups::AddRawQueue(const QString& name, quint16 port) {
    return Admin(QStringLiteral("lpadmin"),
                 {QStringLiteral("-p"), name, QStringLiteral("-E"), QStringLiteral("-v"),
                  QStringLiteral("socket://127.0.0.1:%1").arg(port), QStringLiteral("-o"),
                  QStringLiteral("printer-error-policy=abort-job")});
}

bool PrivateCups::DeleteQueue(const QString& name) {
    return Admin(QStringLiteral("lpadmin"), {QStringLiteral("-x"), name});
}

bool PrivateCups::SetDefaultQueue(const QString& name) {
    return Admin(QStringLiteral("lpadmin"), {QStringLiteral("-d"), name});
}

void PrivateCups::Pause(bool paused) {
    ::kill(pid_t(cupsd_.processId()), paused ? SIGSTOP : SIGCONT);
}

QList<SpooledJob> PrivateCups::Jobs() const {
    QList<SpooledJob> jobs;
    http_t* http = httpConnect2(QFile::encodeName(SocketPath()).constData(), 631, nullptr,
                                AF_UNSPEC, HTTP_ENCRYPTION_NEVER, 1, 5000, nullptr);
    if (!http) {
        return jobs;
    }
    ipp_t* request = ippNewRequest(IPP_OP_GET_JOBS);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr,
                 "ipp://localhost/");
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
                 cupsUser());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "which-jobs", nullptr, "all");
    static const char* const kAttributes[] = {"job-id", "job-name", "job-state", "job-priority",
                                              "job-printer-uri"};
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                  static_cast<int>(std::size(kAttributes)), nullptr, kAttributes);
    ipp_t* response = cupsDoRequest(http, request, "/");
    httpClose(http);
    if (!response) {
        return jobs;
    }
    SpooledJob job;
    const auto flush = [&] {
        if (job.id > 0) {
            jobs.append(job);
        }
        job = {};
    };
    for (ipp_attribute_t* attribute = ippFirstAttribute(response); attribute != nullptr;
         attribute = ippNextAttribute(response)) {
        const char* name = ippGetName(attribute);
        if (ippGetGroupTag(attribute) != IPP_TAG_JOB || name == nullptr) {
            flush();
            continue;
        }
        const QByteArray key(name);
        if (key == "job-id") {
            job.id = ippGetInteger(attribute, 0);
        } else if (key == "job-name") {
            job.name = QString::fromUtf8(ippGetString(attribute, 0, nullptr));
        } else if (key == "job-state") {
            job.state = ippGetInteger(attribute, 0);
        } else if (key == "job-priority") {
            job.priority = ippGetInteger(attribute, 0);
        } else if (key == "job-printer-uri") {
            job.printer = QString::fromUtf8(ippGetString(attribute, 0, nullptr)).section(u'/', -1);
        }
    }
    flush();
    ippDelete(response);
    std::sort(jobs.begin(), jobs.end(),
              [](const SpooledJob& a, const SpooledJob& b) { return a.id < b.id; });
    return jobs;
}

std::optional<SpooledJob> PrivateCups::Job(qint32 id) const {
    for (const SpooledJob& job : Jobs()) {
        if (job.id == id) {
            return job;
        }
    }
    return std::nullopt;
}

QString PrivateCups::LogTail() const {
    QFile log(dir_.filePath(QStringLiteral("log/error_log")));
    if (!log.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QString::fromUtf8(log.readAll().right(4000));
}

}  // namespace mereval::test
