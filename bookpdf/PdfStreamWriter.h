#pragma once

#include <qpdf/QPDFObjectHandle.hh>

#include <cstdint>
#include <cstdio>
#include <deque>
#include <map>
#include <string>
#include <vector>

class QPDF;

// Writes a PDF file front to back, one object at a time: a document of any size is never held
// whole, only the position of each object for the cross-reference table. Pages are copied in from
// other documents one document at a time, so each can be let go once copied. Objects may be
// referred to before they are written: Reserve gives their number first.
//
// Failures (a full disk, an unwritable file) raise std::runtime_error naming the file.
class TPdfStreamWriter {
public:
    explicit TPdfStreamWriter(const std::string& path);
    ~TPdfStreamWriter();
    TPdfStreamWriter(const TPdfStreamWriter&) = delete;
    TPdfStreamWriter& operator=(const TPdfStreamWriter&) = delete;

    // The objects of one source document written so far, by their numbers in the output. Kept
    // across calls for a document whose objects several pages share, so that each goes out once.
    struct TCopied {
        std::map<QPDFObjGen, int> numbers;
        std::deque<QPDFObjectHandle> pending;
    };
    // A form to draw over a page, and the name the page's resources give it.
    struct TPageOverlay {
        std::string name;
        int form = 0;
    };

    // A number for an object written later with Write.
    int Reserve();
    // Writes object number with the body given in PDF syntax.
    void Write(int number, const std::string& body);
    // Copies the pages of source, with everything they refer to, as pages whose parent is the
    // object numbered parent; gives their numbers in page order. overlays, one per page or none,
    // are added to the pages' XObject resources.
    std::vector<int> CopyPages(QPDF& source, int parent, const std::vector<TPageOverlay>& overlays = {});
    // Writes the object, and what it refers to that copied has not seen yet; gives its number.
    int CopyObject(QPDFObjectHandle object, TCopied& copied);
    // Writes the cross-reference table and the trailer and closes the file.
    void Finish(int catalog, int info);

    // A text as a PDF text string.
    static std::string TextString(const std::string& utf8);

private:
    // Writes every pending object of copied; pages (by their numbers) get parent and overlays.
    void WritePending(TCopied& copied, const std::map<int, const TPageOverlay*>& pages, int parent);
    std::string Serialize(QPDFObjectHandle object, TCopied& copied);
    std::string SerializeDirect(
        QPDFObjectHandle object, TCopied& copied, const std::map<std::string, std::string>& replaced = {});
    std::string SerializeResources(QPDFObjectHandle resources, TCopied& copied, const TPageOverlay& overlay);
    void Put(const std::string& bytes);
    void Put(const unsigned char* bytes, std::size_t size);

    std::string path_;
    std::FILE* file_ = nullptr;
    int64_t offset_ = 0;
    // Indexed by object number; -1 while reserved and not written. Number 0 is the free head.
    std::vector<int64_t> offsets_ { 0 };
};
