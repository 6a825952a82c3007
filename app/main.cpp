#include "common/program_settings.h"
#include "platform/core_dumps.h"
#include "platform/program_folder.h"
#include "platform/program_folder_lock.h"
#include "ui/form1.h"

#include <QApplication>
#include <QMessageBox>
#include <QTextStream>

namespace {

// The texts of a start that cannot go on; the box is in the window's place,
// and standard error carries the same for a start from a terminal.
constexpr QStringView kAlreadyRunningText =
    u"Programm juba töötab. Samast programmikaustast saab korraga töötada ainult üks koopia.";
constexpr QStringView kNoLockText = u"Programmikausta lukufaili ei saanud avada. (";

int RefuseToStart(const QString& text) {
    QTextStream(stderr) << text << Qt::endl;
    QMessageBox::critical(nullptr, QApplication::applicationName(), text);
    return 1;
}

}  // namespace

int main(int argc, char* argv[]) {
    mereval::platform::DisableCoreDumps();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Mereval"));

    using mereval::platform::ProgramFolderLock;
    const ProgramFolderLock lock(mereval::platform::ProgramFolder());
    if (lock.state() == ProgramFolderLock::State::HeldByAnotherCopy) {
        return RefuseToStart(kAlreadyRunningText.toString());
    }
    if (lock.state() == ProgramFolderLock::State::Failed) {
        return RefuseToStart(kNoLockText.toString() + lock.errorText() + u')');
    }
    mereval::common::RemoveStaleSettingsTemporaries();

    mereval::ui::Form1 window;
    window.show();
    return QApplication::exec();
}
