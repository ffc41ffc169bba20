#pragma once

#include <functional>

class QWebEnginePage;

// Reports, for the page's first finished load, "ready" and the memory of the process and its
// helpers; then asks navigate(n) for one page-to-page navigation after another, and after rounds
// of them reports the median time from asking to finished load as "navigation" and quits.
void MeasureLoads(QWebEnginePage& page, int rounds, std::function<void(int round)> navigate);
