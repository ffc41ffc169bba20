// The viewer as its own entry starts it, on a book file, reporting when the home page has loaded,
// the memory then, and the time of page-to-page navigations between two of its pages.
#include "BookMain.h"
#include "BookMainDesign.h"
#include "EmbeddedBrowser.h"
#include "EngineEnvironment.h"
#include "ProbeReport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QWebEnginePage>

#include <algorithm>
#include <iostream>
#include <unistd.h>
#include <vector>

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

    QElapsedTimer navigation;
    std::vector<double> times;
    int loads = 0;
    QObject::connect(form.Designed().Browser->Page(), &QWebEnginePage::loadFinished, [&](bool) {
        if (loads++ == 0) {
            Report("ready", 0);
            Report("memory", static_cast<double>(ResidentKiBWithChildren(::getpid())));
        } else {
            times.push_back(static_cast<double>(navigation.nsecsElapsed()) / 1e6);
        }
        if (static_cast<int>(times.size()) == rounds) {
            std::sort(times.begin(), times.end());
            Report("navigation", times[times.size() / 2]);
            QApplication::quit();
            return;
        }
        navigation.start();
        form.NavigateToPage(pages[times.size() % 2]);
    });
    form.show();
    return QApplication::exec();
}
