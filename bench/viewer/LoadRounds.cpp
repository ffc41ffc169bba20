#include "bench/viewer/LoadRounds.h"

#include "bench/viewer/ProbeReport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QWebEnginePage>

#include <algorithm>
#include <memory>
#include <unistd.h>
#include <vector>

void MeasureLoads(QWebEnginePage& page, int rounds, std::function<void(int round)> navigate)
{
    struct State {
        QElapsedTimer navigation;
        std::vector<double> times;
        bool first = true;
    };
    auto state = std::make_shared<State>();
    QObject::connect(&page, &QWebEnginePage::loadFinished, [state, rounds, navigate](bool) {
        if (state->first) {
            state->first = false;
            Report("ready", 0);
            Report("memory", static_cast<double>(ResidentKiBWithChildren(::getpid())));
        } else {
            state->times.push_back(static_cast<double>(state->navigation.nsecsElapsed()) / 1e6);
        }
        if (static_cast<int>(state->times.size()) == rounds) {
            std::sort(state->times.begin(), state->times.end());
            Report("navigation", state->times[state->times.size() / 2]);
            QApplication::quit();
            return;
        }
        state->navigation.start();
        navigate(static_cast<int>(state->times.size()));
    });
}
