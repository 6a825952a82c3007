#include "support/small_tmpfs.h"

#include <QFile>

#include <sys/mount.h>

namespace mereval::test {

SmallTmpfs::SmallTmpfs(int kibibytes) {
    const QByteArray options = "size=" + QByteArray::number(kibibytes) + "k,mode=0755";
    mounted_ = ::mount("tmpfs", QFile::encodeName(dir_.path()).constData(), "tmpfs", 0,
                       options.constData()) == 0;
}

SmallTmpfs::~SmallTmpfs() {
    if (mounted_) {
        ::umount2(QFile::encodeName(dir_.path()).constData(), MNT_DETACH);
    }
}

void SmallTmpfs::Fill() {
    QFile filler(FilePath(QStringLiteral("filler")));
    if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        return;
    }
    const QByteArray block(1024, 'f');
    // tmpfs hands out whole pages, so the last block that fits fills one.
    while (filler.write(block) == block.size()) {
    }
}

void SmallTmpfs::Empty() {
    QFile::remove(FilePath(QStringLiteral("filler")));
}

}  // namespace mereval::test
