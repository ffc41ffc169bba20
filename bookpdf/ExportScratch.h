#pragma once

#include <QString>
#include <QTemporaryDir>

#include <memory>

// The folder the export renders its page PDFs into, removed with them when the returned object
// goes. A process that is killed cannot remove it, so it is put where leftovers do not last: below
// XDG_RUNTIME_DIR (memory the system empties at logout and reboot) when there is one, else in a
// folder of the user's own below the temporary folder; each run there is named after its process,
// and every export first removes what runs no longer alive have left. `base` replaces both
// places (for tests).
std::unique_ptr<QTemporaryDir> MakeExportScratchFolder(const QString& base = QString());

// The user's own folder that holds the runs' folders below `base` (made when missing), or an
// empty string when it cannot be trusted: not a folder, a symbolic link, someone else's, or open
// to others.
QString OwnScratchParent(const QString& base);
