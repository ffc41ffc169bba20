#include "tools/packtool/PageArgument.h"

#include "common/BookText.h"
#include "common/DisplayText.h"
#include "sources/BookSource.h"
#include "sources/OwnEntries.h"

#include <unordered_map>

std::string PageNameOfArgument(std::string_view argument)
{
    const std::size_t slash = argument.starts_with('/') ? 0 : 1;
    std::string name(argument.size() + slash, '/');
    argument.copy(name.data() + slash, argument.size());
    return name;
}

std::vector<TChosenPage> ChoosePages(TBookSource& source, const std::vector<std::string>& operands, bool all,
    const std::string& bookName, std::ostream& err, bool& missing)
{
    const std::vector<std::string> names = source.PageNames();
    std::vector<TChosenPage> chosen;
    if (operands.empty()) {
        for (std::size_t i = 0; i < names.size(); ++i) {
            if (all || !IsBookOwnEntry(names[i]))
                chosen.push_back({ i, names[i] });
        }
        return chosen;
    }
    std::unordered_map<std::string_view, std::size_t> indexOf;
    for (std::size_t i = 0; i < names.size(); ++i)
        indexOf.emplace(names[i], i);
    for (const std::string& operand : operands) {
        const std::string asked = StoredBookText(PageNameOfArgument(operand));
        const std::string stored = source.StoredPageName(asked).value_or(asked);
        const auto found = indexOf.find(stored);
        if (found == indexOf.end()) {
            err << "No page " << EscapeForTerminal(operand) << " in " << EscapeForTerminal(bookName) << "\n";
            missing = true;
        } else {
            chosen.push_back({ found->second, stored });
        }
    }
    return chosen;
}
