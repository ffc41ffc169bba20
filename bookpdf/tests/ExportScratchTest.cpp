#include "bookpdf/ExportScratch.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// The id of a process that has ended.
pid_t EndedProcess()
{
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    ::waitpid(child, nullptr, 0);
    return child;
}

void Touch(const QString& path)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("%PDF");
}

} // namespace

TEST(ExportScratch, EachRunHasItsOwnFolderGoneWithItAndTheNextRunClearsWhatKilledRunsLeft)
{
    QTemporaryDir base;
    ASSERT_TRUE(base.isValid());
    const QString parent = OwnScratchParent(base.path());
    ASSERT_FALSE(parent.isEmpty());
    EXPECT_EQ(QFileInfo(parent).permissions() & (QFile::ReadGroup | QFile::ReadOther | QFile::ExeOther), 0);

    const QString killed = QDir(parent).filePath(QStringLiteral("%1-abcdef").arg(EndedProcess()));
    const QString running = QDir(parent).filePath(QStringLiteral("%1-ghijkl").arg(::getppid()));
    for (const QString& folder : { killed, running }) {
        ASSERT_TRUE(QDir().mkpath(folder));
        Touch(folder + QStringLiteral("/0.pdf"));
    }

    QString used;
    {
        const auto scratch = MakeExportScratchFolder(base.path());
        ASSERT_TRUE(scratch->isValid());
        used = scratch->path();
        EXPECT_EQ(QFileInfo(used).absolutePath(), parent);
        EXPECT_TRUE(QFileInfo(used).fileName().startsWith(QString::number(::getpid()) + u'-'));
        Touch(scratch->filePath(QStringLiteral("0.pdf")));
        EXPECT_FALSE(QFileInfo::exists(killed)) << "a killed run's pages";
        EXPECT_TRUE(QFileInfo::exists(running)) << "a live run's pages are its own";
    }
    EXPECT_FALSE(QFileInfo::exists(used));
}

TEST(ExportScratch, AFolderOthersCouldReachIsNotUsed)
{
    QTemporaryDir base;
    ASSERT_TRUE(base.isValid());
    const QString parent = QDir(base.path()).filePath(QStringLiteral("ebook-export-%1").arg(::getuid()));

    ASSERT_TRUE(QDir().mkpath(parent));
    ASSERT_EQ(::chmod(QFile::encodeName(parent).constData(), 0777), 0);
    EXPECT_TRUE(OwnScratchParent(base.path()).isEmpty());
    const auto open = MakeExportScratchFolder(base.path());
    ASSERT_TRUE(open->isValid());
    EXPECT_FALSE(open->path().startsWith(parent)) << "a private folder elsewhere instead";

    ASSERT_TRUE(QDir(parent).removeRecursively());
    QTemporaryDir elsewhere;
    ASSERT_TRUE(QFile::link(elsewhere.path(), parent));
    EXPECT_TRUE(OwnScratchParent(base.path()).isEmpty()) << "a link planted in its place";
}
