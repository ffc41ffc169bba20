#include "viewer/app/PdfExportCommand.h"

#include "bookpdf/BookPdfExport.h"
#include "common/DisplayText.h"
#include "common/Exception.h"
#include "print/PrintDesign.h"
#include "sources/OpenSource.h"
#include "viewer/app/ProgramOptions.h"
#include "viewer/app/QuitOnSignal.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>

#include <csignal>
#include <unistd.h>

namespace {

// The header and footer the viewer prints with.
TBookPdfDesign ViewerDesign()
{
    TBookPdfDesign design;
    design.Options = DesignedPrintOptions();
    return design;
}

} // namespace

int RunPdfExport(const std::string& outputFile, const std::string& bookFile, std::ostream& err, bool allPages)
{
    const std::string bookName = bookFile.empty() ? OwnExecutableFileName() : bookFile;
    try {
        // Opened once, as the viewer opens it: the program's own file, and a file of no known kind,
        // are read as a book file, which then says why it is none.
        const ESourceKind kind
            = bookFile.empty() ? ESourceKind::Book : DetectSourceKind(bookName).value_or(ESourceKind::Book);
        const std::unique_ptr<TBookSource> source = OpenBookSource(bookName, kind);
        TBookPdfExport exporter(*source, QString::fromLocal8Bit(bookName.c_str()), ViewerDesign());
        exporter.SetAllPages(allPages);
        const bool terminal = isatty(STDERR_FILENO) != 0;
        QObject::connect(&exporter, &TBookPdfExport::progressed, [&](int page, int total, const QString& name) {
            const std::string line = name.isEmpty() ? "ebook: putting " + std::to_string(total) + " pages together"
                                                    : "ebook: page " + std::to_string(page + 1) + " of "
                    + std::to_string(total) + ": " + EscapeForTerminal(name.toStdString());
            // On a terminal the line is rewritten in place.
            err << (terminal ? "\r\033[K" : "") << line << (terminal ? "" : "\n") << std::flush;
        });
        int status = 1;
        bool ended = false;
        int stoppedBy = 0;
        QEventLoop loop;
        QObject::connect(&exporter, &TBookPdfExport::finished, [&](bool written, const QString& error) {
            if (terminal && stoppedBy == 0)
                err << "\n";
            // The file is kept with a notice sheet for each page the engine could not print.
            for (const QString& skipped : exporter.SkippedPages())
                err << "ebook: a notice sheet stands for "
                    << EscapeForTerminal(skipped.toStdString(), LineBreaks::Keep, kDisplayDescriptionLength) << "\n";
            if (written)
                status = exporter.SkippedPages().isEmpty() ? 0 : 1;
            else if (stoppedBy != 0)
                status = 128 + stoppedBy;
            else
                err << "ebook: "
                    << EscapeForTerminal((error.isEmpty() ? QStringLiteral("cancelled") : error).toStdString(),
                           LineBreaks::Keep, kDisplayDescriptionLength)
                    << "\n";
            ended = true;
            loop.quit();
        });
        // SIGINT and SIGTERM cancel the export, which then removes its part file and page PDFs
        // before the process ends, with the status a shell gives a program the signal ended.
        TQuitOnSignal stopSignals(nullptr);
        QObject::connect(&stopSignals, &TQuitOnSignal::arrived, &exporter, [&](int signal) {
            if (ended)
                return;
            err << (terminal ? "\n" : "") << "ebook: stopped by " << (signal == SIGINT ? "interrupt" : "terminate")
                << "\n";
            stoppedBy = signal;
            exporter.Cancel();
        });
        exporter.Start(QString::fromLocal8Bit(outputFile.c_str()));
        // A file that cannot be written ends the export at once.
        if (!ended)
            loop.exec();
        return status;
    } catch (const Exception& error) {
        err << "ebook: " << EscapeForTerminal(error.Message(), LineBreaks::Keep, kDisplayDescriptionLength) << "\n";
        return 1;
    }
}
