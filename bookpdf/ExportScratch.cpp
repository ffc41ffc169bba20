#include "bookpdf/ExportScratch.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A private folder of the caller's: a runtime folder or one this export made.
bool IsPrivateFolder(const QString& path)
{
    struct stat status { };
    if (::lstat(QFile::encodeName(path).constData(), &status) != 0)
        return false;
    return S_ISDIR(status.st_mode) && status.st_uid == ::getuid() && (status.st_mode & 077) == 0;
}

QString ScratchBase()
{
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && IsPrivateFolder(QFile::decodeName(runtime)))
        return QFile::decodeName(runtime);
    return QDir::tempPath();
}

// Whether the run whose folder starts with this process id has ended.
bool RunHasEnded(const QString& folderName)
{
    bool isNumber = false;
    const qint64 pid = folderName.section(QLatin1Char('-'), 0, 0).toLongLong(&isNumber);
    if (!isNumber || pid <= 0 || pid == ::getpid())
        return false;
    return ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

} // namespace

QString OwnScratchParent(const QString& base)
{
    const QString parent = QDir(base).filePath(QStringLiteral("ebook-export-%1").arg(::getuid()));
    const QByteArray name = QFile::encodeName(parent);
    if (::mkdir(name.constData(), 0700) != 0 && errno != EEXIST)
        return QString();
    // Someone else may have made it first, to read or swap the pages: it is then not used.
    return IsPrivateFolder(parent) ? parent : QString();
}

std::unique_ptr<QTemporaryDir> MakeExportScratchFolder(const QString& base)
{
    const QString parent = OwnScratchParent(base.isEmpty() ? ScratchBase() : base);
    if (parent.isEmpty())
        return std::make_unique<QTemporaryDir>(); // a fresh private folder with a random name
    const QDir runs(parent);
    for (const QString& run : runs.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden)) {
        if (RunHasEnded(run))
            QDir(runs.filePath(run)).removeRecursively();
    }
    return std::make_unique<QTemporaryDir>(runs.filePath(QStringLiteral("%1-XXXXXX").arg(::getpid())));
}
