// Exports a whole book to PDF the viewer's way, or prints each of its HTML pages with the engine
// alone into a file of its own, and reports the time, the output's size and the memory of the
// process and its engine helpers along the way:
//
//   pdf_export_probe export BOOK OUT.pdf
//   pdf_export_probe loop BOOK OUTDIR
//   pdf_export_probe assemble OUTDIR OUT.pdf    (only putting the loop's PDFs together)
//
// One line of "key=value" results on standard output.
#include "bench/pdfexport/ProcessMemory.h"
#include "bookpdf/BookPdfExport.h"
#include "common/BookText.h"
#include "pageservice/PageServer.h"
#include "print/PrintDesign.h"
#include "sources/OpenSource.h"
#include "viewer/app/EngineEnvironment.h"
#include "viewer/app/ProgramOptions.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QPageLayout>
#include <QWebEnginePage>
#include <QWebEngineProfile>

#include <algorithm>
#include <iostream>
#include <sstream>

namespace {

// Memory is sampled once per page; the first pages set the level the rest is held to.
constexpr int kEarlyPages = 10;

// The process with its engine helpers, sampled; and the process alone by its high-water mark,
// which also sees the peak of putting the pages together.
struct TMemoryTrack {
    int64_t earlyPeak = 0;
    int64_t peak = 0;
    int64_t earlyOwnPeak = 0;
    int pages = 0;
    void Sample()
    {
        const int64_t now = FamilyResidentBytes();
        peak = std::max(peak, now);
        if (++pages <= kEarlyPages) {
            earlyPeak = peak;
            earlyOwnPeak = OwnPeakResidentBytes();
        }
    }
};

TBookPdfDesign ViewerDesign()
{
    TBookPdfDesign design;
    design.Options = DesignedPrintOptions();
    return design;
}

int Export(const std::string& bookFile, const QString& out, TMemoryTrack& memory, int& pages)
{
    const std::unique_ptr<TBookSource> source = OpenBookSource(bookFile);
    TBookPdfExport exporter(*source, QString::fromLocal8Bit(bookFile.c_str()), ViewerDesign());
    QEventLoop loop;
    bool ok = false;
    QObject::connect(&exporter, &TBookPdfExport::progressed, [&](int page, int, const QString&) {
        if (page > 0)
            memory.Sample();
        pages = page;
    });
    QObject::connect(&exporter, &TBookPdfExport::finished, [&](bool written, const QString& error) {
        ok = written;
        if (!written)
            std::cerr << error.toStdString() << "\n";
        loop.quit();
    });
    exporter.Start(out);
    loop.exec();
    memory.Sample();
    return ok ? 0 : 1;
}

// The engine alone: each HTML page in directory order loaded and printed into its own file.
int Loop(const std::string& bookFile, const QString& outFolder, TMemoryTrack& memory, int& pages, int64_t& bytes)
{
    TPageServer server(bookFile, TPageServerLimits {});
    server.SwitchOn();
    const TBookReader& reader = server.Reader();
    QWebEngineProfile profile;
    profile.setHttpCacheType(QWebEngineProfile::NoCache);
    auto* page = new QWebEnginePage(&profile);
    const QPageLayout layout(
        QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(0.75, 0.75, 0.75, 0.75), QPageLayout::Inch);
    QDir().mkpath(outFolder);
    for (int i = 0; i < reader.Pages().Count(); ++i) {
        const QString name = QString::fromStdString(BookTextToUtf8(reader.Pages()[i]));
        const QString suffix = QFileInfo(name).suffix().toLower();
        if (suffix != u"htm" && suffix != u"html")
            continue;
        QEventLoop loop;
        QByteArray pdf;
        const auto loaded = QObject::connect(page, &QWebEnginePage::loadFinished, [&](bool) {
            page->printToPdf(
                [&](const QByteArray& result) {
                    pdf = result;
                    loop.quit();
                },
                layout);
        });
        page->load(QUrl(QString::fromStdString(BookTextToUtf8(server.PageURL(reader.Pages()[i]))), QUrl::TolerantMode));
        loop.exec();
        QObject::disconnect(loaded);
        QFile file(QDir(outFolder).filePath(QStringLiteral("%1.pdf").arg(pages)));
        if (pdf.isEmpty() || !file.open(QIODevice::WriteOnly) || file.write(pdf) != pdf.size())
            return 1;
        bytes += pdf.size();
        ++pages;
        memory.Sample();
    }
    delete page;
    server.Stop();
    return 0;
}

// Only putting together the PDFs a loop left in folder (0.pdf, 1.pdf, ...), as the export does.
int Assemble(const QString& folder, const QString& out, int& pages)
{
    std::vector<TAssembledPage> assembled;
    for (int i = 0; QFile::exists(QDir(folder).filePath(QStringLiteral("%1.pdf").arg(i))); ++i)
        assembled.push_back({ QDir(folder).filePath(QStringLiteral("%1.pdf").arg(i)),
            QStringLiteral("/page%1.htm").arg(i), QStringLiteral("Page %1").arg(i), -1 });
    pages = int(assembled.size());
    std::atomic_bool cancelled = false;
    QString error;
    const bool ok = AssembleBookPdf(
        assembled, {}, ViewerDesign(), [](const QString&) { return -1; }, out, cancelled, error);
    if (!ok)
        std::cerr << error.toStdString() << "\n";
    return ok ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::cerr << "usage: pdf_export_probe export|loop BOOK OUT\n";
        return 2;
    }
    const std::string mode = argv[1];
    std::ostringstream note;
    PrepareBrowserEngine(note);
    QApplication application(argc, argv);
    // Only the assembly reads no book: it is given the loop's folder instead.
    const QString out = QString::fromLocal8Bit(argv[3]);
    TMemoryTrack memory;
    int pages = 0;
    int64_t bytes = 0;
    QElapsedTimer timer;
    timer.start();
    memory.Sample();
    int status = 0;
    if (mode == "export")
        status = Export(argv[2], out, memory, pages);
    else if (mode == "loop")
        status = Loop(argv[2], out, memory, pages, bytes);
    else
        status = Assemble(QString::fromLocal8Bit(argv[2]), out, pages);
    const double seconds = double(timer.elapsed()) / 1000;
    if (mode != "loop")
        bytes = QFileInfo(out).size();
    std::cout << "mode=" << mode << " status=" << status << " pages=" << pages << " seconds=" << seconds
              << " bytes=" << bytes << " rss_peak_first10_mb=" << memory.earlyPeak / 1048576
              << " rss_peak_mb=" << memory.peak / 1048576 << " own_peak_first10_mb=" << memory.earlyOwnPeak / 1048576
              << " own_peak_mb=" << OwnPeakResidentBytes() / 1048576 << "\n";
    return status;
}
