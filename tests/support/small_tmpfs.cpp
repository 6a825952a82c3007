#include "support/small_tmpfs.h"

#include <QFile>

#include <sys/mount.h>

namespace mereval::test {

SmallTmpfs::SmallTmpfs() {
    mounted_ = ::mount("tmpfs", QFile::encodeName(dir_.path()).constData(), "tmpfs", 0,
                       "size=64k,mode=0755") == 0;
}

SmallTmpfs::~SmallTmpfs() {
    if (mounted_) {
        ::umount2(QFile::encodeName(dir_.path()).constData(), MNT_DETACH);
    }
}

void SmallTmpfs::Fill() {
    QFile filler(FilePath(QStringLiteral("filler")));
    if (filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        const QByteArray block(1024, 'f');
        while (filler.write(block) == block.size()) {
        }
    }
}

}  // namespace mereval::test
