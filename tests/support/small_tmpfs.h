#pragma once

#include <QString>
#include <QTemporaryDir>

namespace mereval::test {

// A tmpfs of a few KiB mounted for one test, to fill the disk under a file
// for real; unmounted again at the end. Mounting needs root: a test skips
// (GTEST_SKIP) when IsMounted() is false.
class SmallTmpfs {
public:
    explicit SmallTmpfs(int kibibytes = 64);
    ~SmallTmpfs();
    SmallTmpfs(const SmallTmpfs&) = delete;
    SmallTmpfs& operator=(const SmallTmpfs&) = delete;

    bool IsMounted() const { return mounted_; }
    QString Path() const { return dir_.path(); }
    QString FilePath(const QString& name) const { return dir_.filePath(name); }

    // Writes a filler file until the disk is full; Empty() deletes it.
    void Fill();
    void Empty();

private:
    QTemporaryDir dir_;
    bool mounted_ = false;
};

}  // namespace mereval::test
