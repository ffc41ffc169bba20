// The search panel on a book file, typed into as a person types: for each query, letters 80 ms
// apart, then the time from the last key to the last answer shown (suggestions and results), the
// number of pages found and of titles offered.
#include "book/OpenedBook.h"
#include "sources/BookFileSource.h"
#include "viewer/search/BookSearch.h"
#include "viewer/search/SearchPanel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTimer>

#include <iostream>
#include <string>
#include <vector>

namespace {

// SEARCH_PROBE_KEY_GAP_MS changes it.
const int kKeyGapMs = qEnvironmentVariableIsSet("SEARCH_PROBE_KEY_GAP_MS")
    ? qEnvironmentVariableIntValue("SEARCH_PROBE_KEY_GAP_MS")
    : 80;
constexpr int kQuietMs = 1500;

void Pump(int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::cerr << "usage: search_panel_probe BOOK QUERY...\n";
        return 2;
    }
    QApplication application(argc, argv);
    const auto book = OpenBook(argv[1]);
    TBookFileSource source(book->reader);
    TBookSearch search(source, nullptr);
    TSearchPanel panel(search, nullptr);
    panel.resize(320, 700);
    panel.Open();

    QElapsedTimer clock;
    clock.start();
    qint64 lastAnswer = -1;
    std::size_t titles = 0;
    int64_t total = 0;
    // Connected after the panel: it runs once the panel has shown the answer.
    QObject::connect(&search, &TBookSearch::resultsReady, &panel, [&](uint64_t, const SearchResults& results) {
        lastAnswer = clock.elapsed();
        titles = results.suggestions.size();
        total = results.total;
    });
    std::cout << "query\tms_after_last_key\tpages\ttitles\n";
    for (int i = 2; i < argc; ++i) {
        const QString query = QString::fromUtf8(argv[i]);
        panel.Field()->clear();
        Pump(kQuietMs);
        lastAnswer = -1;
        qint64 lastKey = 0;
        for (const QChar letter : query) {
            panel.Field()->insert(QString(letter));
            lastKey = clock.elapsed();
            Pump(kKeyGapMs);
        }
        Pump(kQuietMs);
        std::cout << argv[i] << "\t" << (lastAnswer < 0 ? -1 : lastAnswer - lastKey) << "\t" << total << "\t" << titles
                  << std::endl;
    }
    return 0;
}
