#include "PageArgument.h"

#include "BookReader.h"

std::string PageNameOfArgument(std::string_view argument)
{
    if (argument.starts_with('/'))
        return std::string(argument);
    return "/" + std::string(argument);
}

int PageIndexOfArgument(const TBookReader& reader, std::string_view argument)
{
    return reader.IndexOfPage(PageNameOfArgument(argument));
}
