#pragma once

#include <QString>
#include <QTemporaryDir>

namespace mereval::test {

// A tmpfs of 64 KiB, to fill a disk for real; mounting needs root, so a test
// skips when IsMounted() is false.
class SmallTmpfs {
public:
    SmallTmpfs();
    ~SmallTmpfs();

    bool IsMounted() const { return mounted_; }
    QString Path() const { return dir_.path(); }
    QString FilePath(const QString& name) const { return dir_.filePath(name); }
    // Writes the file "filler" until the disk is full.
    void Fill();

private:
    QTemporaryDir dir_;
    bool mounted_ = false;
};

}  // namespace mereval::test
