#include "book/OwnExecutable.h"
#include "book/ViewerMark.h"
#include "browserhost/ApplicationTitle.h"
#include "common/Exception.h"
#include "resources/StringTable.h"
#include "search/QueryBound.h"
#include "viewer/BookMain.h"
#include "viewer/ErrorReport.h"
#include "viewer/app/AssistiveTechnology.h"
#include "viewer/app/EngineEnvironment.h"
#include "viewer/app/PdfExportCommand.h"
#include "viewer/app/ProgramOptions.h"
#include "viewer/app/QuitOnSignal.h"
#include "viewer/app/ReadingStyleOption.h"
#include "viewer/app/WindowSystemChoice.h"
#include "viewer/reading/ReadingStyle.h"

#include <QApplication>
#include <QFile>
#include <QIcon>

#include <cstdlib>
#include <iostream>
#include <memory>

namespace {

// Held so that `ebook-pack build --stub` takes this program as one a book may be appended to.
[[gnu::used]] constexpr std::array<char, kViewerMarkSize> kHeldViewerMark = ViewerMark();

// Qt ends the process with a terse message when it finds no display; say it in the viewer's words.
bool HasSomewhereToShow()
{
    return std::getenv("QT_QPA_PLATFORM") != nullptr || std::getenv("DISPLAY") != nullptr
        || std::getenv("WAYLAND_DISPLAY") != nullptr;
}

} // namespace

int main(int argc, char** argv)
{
    // The one-file viewer's launcher names the file the user started, which carries the book.
    if (const char* carrier = std::getenv("EBOOK_CARRIER_FILE")) {
        SetOwnExecutableFileName(carrier);
        ::unsetenv("EBOOK_CARRIER_FILE");
    }
    const ProgramOptions options = ReadProgramOptions({ argv + 1, argv + argc }, std::cout, std::cerr);
    if (options.exitStatus)
        return *options.exitStatus;
    // The export shows no window: it needs no display.
    if (options.exportPdf && !HasSomewhereToShow())
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (!HasSomewhereToShow()) {
        std::cerr << "ebook: no display to show the book on (neither DISPLAY nor WAYLAND_DISPLAY is set)\n";
        return 1;
    }

    // The book follows --reading-style FILE or --follow-outside when that comes first.
    const int bookAt = options.readingStyle ? 3 : options.followOutside ? 2 : 1;
    if (!options.exportPdf)
        ChooseWindowSystem(argc > bookAt ? std::string(argv[bookAt]) : OwnExecutableFileName());
    PrepareBrowserEngine(std::cerr);
    // The engine takes its flags while the application object is made.
    if (!options.exportPdf)
        ExposePageToAssistiveTechnology();
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ebook"));
    QApplication::setApplicationVersion(QStringLiteral(EBOOK_VERSION));
    SetApplicationTitle(QString::fromLatin1(kApplicationTitle));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.example.ebook"));
    QGuiApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/ebook.svg")));

    if (options.exportPdf)
        return RunPdfExport(*options.exportPdf, options.exportBook, std::cerr, options.allPages);

    const std::optional<QString> readingSheet = StartingReadingSheet(options.readingStyle, std::cerr);
    if (!readingSheet)
        return 2;
    TReadingStyle::SetStartingSheet(*readingSheet);

    // Qt has taken its own options (-platform, -style, ...) out of the arguments by now.
    QStringList arguments = QCoreApplication::arguments();
    if (options.readingStyle)
        arguments.remove(1, 2);
    else if (options.followOutside)
        arguments.remove(1, 1);
    const std::string bookArgument
        = arguments.size() > 1 ? QFile::encodeName(arguments[1]).toStdString() : std::string();

    std::unique_ptr<TBookMainForm> form;
    try {
        form = std::make_unique<TBookMainForm>(bookArgument, FolderReading { options.followOutside });
    } catch (const Exception& error) {
        ReportError(nullptr, error.Message());
        return 1;
    }
    BookMainForm = form.get();
    // A Qt child of the window.
    // A search still running (a stored index made to spin) is ended first: closing the window
    // waits for the search thread.
    QObject::connect(new TQuitOnSignal(form.get()), &TQuitOnSignal::arrived, form.get(), [&form] {
        StopAllSearches();
        form->close();
    });
    form->show();
    const int status = QApplication::exec();
    BookMainForm = nullptr;
    return status;
}
