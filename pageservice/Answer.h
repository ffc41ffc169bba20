#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

// What the page server answers to one request, before it is written into a response. The code
// that finds pages, searches or refuses says only what the answer is; how it goes out (the status
// line, the standard headers and whatever a server adds to every answer) is its server's
// TAnswerPolicy's alone.
struct TAnswer {
    int32_t code = 200;
    // Empty: no Content-Type header, and the engine tells the type from the bytes.
    std::string contentType = "text/html";
    // The body: a page's bytes, shared with every answer that sends them, when set; else the text.
    std::shared_ptr<const std::string> page;
    int pageFile = -1; // a memory file holding the page's bytes too (TPageLookup's), -1 for none
    std::string text;
    // Headers of this answer alone (a move's Location), in order, one value a name (an empty one
    // leaves the header out); they go before the headers every answer has.
    std::vector<std::pair<std::string, std::string>> headers;
};

// An answer whose body is the text; the server's own texts (not found, refused, failed) are HTML.
inline TAnswer TextAnswer(int32_t code, std::string text, std::string contentType = "text/html")
{
    TAnswer answer;
    answer.code = code;
    answer.contentType = std::move(contentType);
    answer.text = std::move(text);
    return answer;
}
