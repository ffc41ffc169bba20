#include "tools/packtool/PageArgument.h"

#include "book/BookReader.h"

std::string PageNameOfArgument(std::string_view argument)
{
    const std::size_t slash = argument.starts_with('/') ? 0 : 1;
    std::string name(argument.size() + slash, '/');
    argument.copy(name.data() + slash, argument.size());
    return name;
}

int PageIndexOfArgument(const TBookReader& reader, std::string_view argument)
{
    return reader.IndexOfPage(PageNameOfArgument(argument));
}
