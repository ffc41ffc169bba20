#include "viewer/NavigationHistory.h"

void RecordNavigation(TStringList& history, int32_t& historyIndex, const std::string& url)
{
    const int found = history.IndexOf(url);
    if (found >= 0) {
        historyIndex = found;
        return;
    }
    if (historyIndex >= 0) {
        while (history.Count() > historyIndex + 1)
            history.Delete(history.Count() - 1);
    }
    historyIndex = history.Add(url);
}

bool CanGoBack(const TStringList& history, int32_t historyIndex)
{
    return history.Count() > 0 && historyIndex > 0;
}

bool CanGoForward(const TStringList& history, int32_t historyIndex)
{
    return history.Count() > 0 && historyIndex < history.Count() - 1;
}
