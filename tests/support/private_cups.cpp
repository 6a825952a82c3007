#include "support/private_cups.h"

#include "support/child_process.h"

#include <QFile>
#include <QTest>

#include <cups/cups.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace mereval::test {

PrivateCups::~PrivateCups() {
    Pause(false);  // a stopped cupsd would not hear the request to end
    StopChild(cupsd_);
}

bool PrivateCups::Start(QString& error) {
    const QString root = dir_.path();
    const QString socket = dir_.filePath(QStringLiteral("cups.sock"));
    // Backends read the spooled files through these folders; as root they
    // run as lp, else as the test's own user.
    const bool asRoot = ::geteuid() == 0;
    const gid_t group = asRoot ? ::getgrnam("lp")->gr_gid : ::getegid();
    const QString groupName = QString::fromLocal8Bit(::getgrgid(group)->gr_name);
    const QString user =
        asRoot ? QStringLiteral("lp") : QString::fromLocal8Bit(::getpwuid(::geteuid())->pw_name);
    ::chmod(QFile::encodeName(root).constData(), 0711);
    for (const auto& [sub, mode] :
         {std::pair{"spool", 0710}, {"spool/tmp", 01770}, {"run", 0755}}) {
        const QByteArray path = QFile::encodeName(root) + '/' + sub;
        if (::mkdir(path.constData(), 0700) != 0 ||
            (asRoot && ::chown(path.constData(), 0, group) != 0) ||
            ::chmod(path.constData(), mode) != 0) {
            error = QStringLiteral("cannot make ") + QString::fromLocal8Bit(path);
            return false;
        }
    }
    QFile cupsdConf(dir_.filePath(QStringLiteral("cupsd.conf")));
    QFile filesConf(dir_.filePath(QStringLiteral("cups-files.conf")));
    const QString policy = QStringLiteral(R"(Listen %1
Browsing No
DefaultAuthType None
<Location />
  Order allow,deny
  Allow all
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
)");
    const QString files = QStringLiteral(R"(ServerRoot %1
RequestRoot %1/spool
TempDir %1/spool/tmp
CacheDir %1/run
StateDir %1/run
AccessLog %1/run/access_log
ErrorLog %1/run/error_log
PageLog %1/run/page_log
Printcap %1/printcap
SystemGroup %2
User %3
Group %4
)");
    if (!cupsdConf.open(QIODevice::WriteOnly) || !filesConf.open(QIODevice::WriteOnly)) {
        error = QStringLiteral("cannot write the configuration in ") + root;
        return false;
    }
    cupsdConf.write(policy.arg(socket).toUtf8());
    filesConf.write(
        files.arg(root, asRoot ? QStringLiteral("root") : groupName, user, groupName).toUtf8());
    cupsdConf.close();
    filesConf.close();
    cupsd_.setProcessChannelMode(QProcess::ForwardedChannels);
    DieWithParent(cupsd_);
    cupsd_.start(QStringLiteral("/usr/sbin/cupsd"),
                 {QStringLiteral("-f"), QStringLiteral("-c"), cupsdConf.fileName(),
                  QStringLiteral("-s"), filesConf.fileName()});
    // Connections wait in the socket's backlog until cupsd takes them.
    if (!QTest::qWaitFor([&] { return QFile::exists(socket) || !cupsd_.processId(); }, 15000) ||
        !QFile::exists(socket)) {
        error = QStringLiteral("cupsd does not listen: ") + cupsd_.errorString();
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
    if (const qint64 pid = cupsd_.processId(); pid > 0) {  // pid 0 is our own group
        ::kill(pid_t(pid), paused ? SIGSTOP : SIGCONT);
    }
}

}  // namespace mereval::test
