#include "common/PathSteps.h"

#include <algorithm>

std::optional<std::vector<std::string>> PathSteps(std::string_view path)
{
    std::vector<std::string> steps;
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t end = std::min(path.find('/', start), path.size());
        const std::string_view step = path.substr(start, end - start);
        if (step == "..") {
            if (steps.empty())
                return std::nullopt;
            steps.pop_back();
        } else if (!step.empty() && step != ".") {
            steps.emplace_back(step);
        }
        start = end + 1;
    }
    return steps;
}
