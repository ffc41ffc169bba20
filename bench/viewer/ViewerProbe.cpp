// The viewer as its own entry starts it, on a book file, reporting when the home page has loaded,
// the memory then, and the time of page-to-page navigations between two of its pages. With
// "reading-aids" after the rounds, the dark reading mode is on and the zoom at 125 % throughout
// ("dark" or "zoom": one of them).
#include "bench/viewer/LoadRounds.h"
#include "browserhost/EmbeddedBrowser.h"
#include "viewer/BookMain.h"
#include "viewer/BookMainDesign.h"
#include "viewer/app/EngineEnvironment.h"
#include "viewer/reading/DarkMode.h"
#include "viewer/reading/ZoomControl.h"

#include <QApplication>

#include <iostream>
#include <string>

int main(int argc, char** argv)
{
    const std::string aids = argc == 6 ? argv[5] : "";
    if (argc < 5 || argc > 6 || !(aids.empty() || aids == "reading-aids" || aids == "dark" || aids == "zoom")) {
        std::cerr << "usage: viewer_probe BOOK PAGE_A PAGE_B ROUNDS [reading-aids|dark|zoom]\n";
        return 2;
    }
    PrepareBrowserEngine(std::cerr);
    QApplication application(argc, argv);
    TBookMainForm form(argv[1]);
    const std::string pages[2] = { argv[2], argv[3] };
    const int rounds = std::atoi(argv[4]);
    if (aids == "reading-aids" || aids == "dark")
        form.DarkMode().SetOn(true);
    if (aids == "reading-aids" || aids == "zoom")
        form.Zoom().StepBy(2);

    MeasureLoads(*form.Designed().Browser->Page(), rounds, [&](int round) { form.NavigateToPage(pages[round % 2]); });
    form.show();
    return QApplication::exec();
}
