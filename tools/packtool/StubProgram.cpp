#include "tools/packtool/StubProgram.h"

#include "common/Exception.h"
#include "common/Streams.h"

void CheckStubProgram(const std::string& fileName)
{
    TFileStream file(fileName, TFileStream::Mode::OpenRead);
    char magic[4] = {};
    const int64_t got = file.Read(magic, sizeof magic);
    const std::string_view start(magic, static_cast<std::size_t>(got));
    if (!start.starts_with("\x7F"
                           "ELF")
        && !start.starts_with("MZ"))
        throw Exception("Cannot use " + fileName
            + " as the stub: it is not an executable program (no ELF or Windows header); --stub takes the viewer "
              "program, ebook");
}
