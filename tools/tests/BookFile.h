#pragma once

#include "book/BookReader.h"
#include "common/Streams.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

// A built book opened for checking, as the viewer would open it.
struct BookFile {
    explicit BookFile(const std::filesystem::path& path)
        : file(std::make_unique<TFileStream>(path.string(), TFileStream::Mode::OpenRead))
    {
        valid = reader.LoadFromStream(*file);
    }

    std::optional<std::string> Page(std::string_view name)
    {
        TMemoryStream page;
        if (!reader.ExtractPage(name, page))
            return std::nullopt;
        return page.ToString();
    }

    std::unique_ptr<TFileStream> file;
    TBookReader reader;
    bool valid = false;
};
