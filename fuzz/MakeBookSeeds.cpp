// Writes the seed books of fuzz_book into a folder: small containers that between them hold every
// header shape the writer produces, empty and compressed pages, a page in a folder, a duplicate
// name, stored and compressed bodies, and a container behind a stub as in an executable.

#include "book/BookWriter.h"
#include "common/Streams.h"

#include <cstdio>
#include <string>

namespace {

void Save(const TBookWriter& writer, const std::string& path, const std::string& stub = "")
{
    TFileStream file(path, TFileStream::Mode::Create);
    file.WriteString(stub);
    writer.SaveToStream(file);
}

TBookWriter Basic()
{
    TBookWriter writer;
    writer.settings.title = "Seed";
    writer.settings.description = "A small book";
    writer.settings.display.sizeMode = WindowSizeMode::Maximized;
    writer.AddPage("/index.htm", "<html><body><a href=\"b.htm\">b</a> <img src=\"pictures/p.png\"></body></html>");
    writer.AddEmptyPage("/empty.htm");
    writer.AddPage("/pictures/p.png", std::string(300, 'x') + "PNG");
    return writer;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_book_seeds FOLDER\n");
        return 2;
    }
    const std::string folder = argv[1];

    Save(Basic(), folder + "/basic.ebook");
    Save(Basic(), folder + "/behind-stub.ebook", std::string(64, '\x7f'));

    TBookWriter custom = Basic();
    custom.settings.hasAboutText = true;
    custom.settings.aboutText = "About";
    custom.settings.hasAboutDate = true;
    custom.settings.aboutDate = 45000.5;
    custom.settings.display.sizeMode = WindowSizeMode::Normal;
    custom.settings.display.positionMode = WindowPositionMode::Custom;
    custom.settings.display.windowLeft = 10;
    custom.settings.display.windowTop = 20;
    custom.settings.display.windowWidth = 640;
    custom.settings.display.windowHeight = 480;
    custom.settings.homePageIndex = 2;
    custom.AddPage("/INDEX.HTM", "duplicate name, other letter case");
    Save(custom, folder + "/geometry-duplicates.ebook");

    TBookWriter centred;
    centred.settings.display.sizeMode = WindowSizeMode::Normal;
    centred.settings.display.positionMode = WindowPositionMode::ScreenCenter;
    centred.settings.display.windowWidth = 800;
    centred.settings.display.windowHeight = 600;
    centred.compressionLevel = 0;
    centred.AddPage("/a b.htm", "stored, not compressed");
    Save(centred, folder + "/centred-stored.ebook");

    TBookWriter empty;
    empty.settings.homePageIndex = 0;
    Save(empty, folder + "/no-pages.ebook");
    return 0;
}
