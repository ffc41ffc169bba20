// The viewer as its own entry starts it, on a book file, reporting when the home page has loaded,
// the memory then, and the time of page-to-page navigations between two of its pages.
#include "BookMain.h"
#include "BookMainDesign.h"
#include "EmbeddedBrowser.h"
#include "EngineEnvironment.h"
#include "LoadRounds.h"

#include <QApplication>

#include <iostream>

int main(int argc, char** argv)
{
    if (argc != 5) {
        std::cerr << "usage: viewer_probe BOOK PAGE_A PAGE_B ROUNDS\n";
        return 2;
    }
    PrepareBrowserEngine(std::cerr);
    QApplication application(argc, argv);
    TBookMainForm form(argv[1]);
    const std::string pages[2] = { argv[2], argv[3] };
    const int rounds = std::atoi(argv[4]);

    MeasureLoads(*form.Designed().Browser->Page(), rounds, [&](int round) { form.NavigateToPage(pages[round % 2]); });
    form.show();
    return QApplication::exec();
}
