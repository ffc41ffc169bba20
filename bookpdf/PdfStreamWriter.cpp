#include "bookpdf/PdfStreamWriter.h"

#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include <unistd.h>
#include <utility>
#include <zlib.h>

TPdfStreamWriter::TPdfStreamWriter(const std::string& path)
    : path_(path)
    , file_(std::fopen(path.c_str(), "wb"))
{
    if (!file_)
        throw std::runtime_error(path + ": " + std::strerror(errno));
    // The binary comment tells transfer programs that the file is not text.
    Put("%PDF-1.7\n%\xE2\xE3\xCF\xD3\n");
}

TPdfStreamWriter::~TPdfStreamWriter()
{
    if (file_)
        std::fclose(file_);
}

void TPdfStreamWriter::Put(const unsigned char* bytes, std::size_t size)
{
    if (size > 0 && std::fwrite(bytes, 1, size, file_) != size)
        throw std::runtime_error(path_ + ": " + std::strerror(errno));
    offset_ += int64_t(size);
}

void TPdfStreamWriter::Put(const std::string& bytes)
{
    Put(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

int TPdfStreamWriter::Reserve()
{
    offsets_.push_back(-1);
    return int(offsets_.size()) - 1;
}

void TPdfStreamWriter::Write(int number, const std::string& body)
{
    offsets_.at(std::size_t(number)) = offset_;
    Put(std::to_string(number) + " 0 obj\n" + body + "\nendobj\n");
}

namespace {

// Plain stream data shorter than this is written as it is: compressing would not pay.
constexpr std::size_t kSmallestCompressed = 64;

} // namespace

std::string TPdfStreamWriter::SerializeDirect(
    QPDFObjectHandle object, TCopied& copied, const std::map<std::string, std::string>& replaced)
{
    if (object.isArray()) {
        std::string text = "[";
        for (QPDFObjectHandle item : object.aitems())
            text += Serialize(item, copied) + " ";
        return text + "]";
    }
    if (object.isDictionary()) {
        std::string text = "<<";
        for (auto& [key, value] : object.ditems()) {
            if (!replaced.contains(key))
                text += QPDFObjectHandle::newName(key).unparse() + " " + Serialize(value, copied) + "\n";
        }
        for (const auto& [key, value] : replaced) {
            if (!value.empty())
                text += QPDFObjectHandle::newName(key).unparse() + " " + value + "\n";
        }
        return text + ">>";
    }
    return object.unparse();
}

std::string TPdfStreamWriter::Serialize(QPDFObjectHandle object, TCopied& copied)
{
    if (!object.isIndirect())
        return SerializeDirect(object, copied);
    auto [at, added] = copied.numbers.try_emplace(object.getObjGen(), 0);
    if (added) {
        at->second = Reserve();
        copied.pending.push_back(object);
    }
    return std::to_string(at->second) + " 0 R";
}

std::string TPdfStreamWriter::SerializeResources(
    QPDFObjectHandle resources, TCopied& copied, const TPageOverlay& overlay)
{
    // Written into the page itself: another page sharing the dictionary does not get the form.
    const std::string form = overlay.name + " " + std::to_string(overlay.form) + " 0 R";
    QPDFObjectHandle forms = resources.isDictionary() ? resources.getKey("/XObject") : QPDFObjectHandle::newNull();
    const std::string formsText = forms.isDictionary()
        ? SerializeDirect(forms, copied, { { overlay.name, std::to_string(overlay.form) + " 0 R" } })
        : "<<" + form + ">>";
    if (!resources.isDictionary())
        return "<< /XObject " + formsText + " >>";
    return SerializeDirect(resources, copied, { { "/XObject", formsText } });
}

int TPdfStreamWriter::CopyObject(QPDFObjectHandle object, TCopied& copied)
{
    const std::string reference = Serialize(object, copied);
    WritePending(copied, {}, 0);
    return std::stoi(reference);
}

std::vector<int> TPdfStreamWriter::CopyPages(QPDF& source, int parent, const std::vector<TPageOverlay>& overlays)
{
    // Attributes a page inherits from the page tree are not copied with the tree: the pages get
    // their own.
    source.pushInheritedAttributesToPage();
    TCopied copied;
    std::vector<int> pages;
    std::map<int, const TPageOverlay*> pageOverlays;
    for (QPDFPageObjectHelper& page : QPDFPageDocumentHelper(source).getAllPages()) {
        QPDFObjectHandle object = page.getObjectHandle();
        const int number = Reserve();
        copied.numbers[object.getObjGen()] = number;
        copied.pending.push_back(object);
        pageOverlays[number] = pages.size() < overlays.size() ? &overlays[pages.size()] : nullptr;
        pages.push_back(number);
    }
    WritePending(copied, pageOverlays, parent);
    return pages;
}

void TPdfStreamWriter::WritePending(TCopied& copied, const std::map<int, const TPageOverlay*>& pages, int parent)
{
    while (!copied.pending.empty()) {
        QPDFObjectHandle object = copied.pending.front();
        copied.pending.pop_front();
        const int number = copied.numbers.at(object.getObjGen());
        const auto page = pages.find(number);
        if (object.isStream()) {
            // The data as stored, with its filters: nothing is decoded or encoded again. Data
            // stored plain (the header and footer drawn over the sheets) is compressed.
            const std::shared_ptr<Buffer> data = object.getRawStreamData();
            std::map<std::string, std::string> replaced { { "/Length", std::to_string(data->getSize()) } };
            std::string compressed;
            if (!object.getDict().hasKey("/Filter") && data->getSize() > kSmallestCompressed) {
                uLongf size = compressBound(uLong(data->getSize()));
                compressed.resize(size);
                if (compress2(reinterpret_cast<Bytef*>(compressed.data()), &size, data->getBuffer(),
                        uLong(data->getSize()), Z_BEST_COMPRESSION)
                    == Z_OK) {
                    compressed.resize(size);
                    replaced = { { "/Length", std::to_string(size) }, { "/Filter", "/FlateDecode" },
                        { "/DecodeParms", "" } };
                } else {
                    compressed.clear();
                }
            }
            const std::string dictionary = SerializeDirect(object.getDict(), copied, replaced);
            offsets_.at(std::size_t(number)) = offset_;
            Put(std::to_string(number) + " 0 obj\n" + dictionary + "\nstream\n");
            if (compressed.empty())
                Put(data->getBuffer(), data->getSize());
            else
                Put(compressed);
            Put("\nendstream\nendobj\n");
        } else if (page != pages.end()) {
            std::map<std::string, std::string> replaced { { "/Parent", std::to_string(parent) + " 0 R" } };
            if (page->second)
                replaced["/Resources"] = SerializeResources(object.getKey("/Resources"), copied, *page->second);
            Write(number, SerializeDirect(object, copied, replaced));
        } else {
            Write(number, SerializeDirect(object, copied));
        }
    }
}

void TPdfStreamWriter::Finish(int catalog, int info)
{
    const int64_t table = offset_;
    std::string text = "xref\n0 " + std::to_string(offsets_.size()) + "\n0000000000 65535 f \n";
    char entry[32];
    for (std::size_t i = 1; i < offsets_.size(); ++i) {
        // A number reserved and never written stands for a free object.
        if (offsets_[i] < 0)
            std::snprintf(entry, sizeof entry, "0000000000 00001 f \n");
        else
            std::snprintf(entry, sizeof entry, "%010lld 00000 n \n", static_cast<long long>(offsets_[i]));
        text += entry;
        if (text.size() > (1u << 16)) {
            Put(text);
            text.clear();
        }
    }
    text += "trailer\n<< /Size " + std::to_string(offsets_.size()) + " /Root " + std::to_string(catalog) + " 0 R /Info "
        + std::to_string(info) + " 0 R >>\nstartxref\n" + std::to_string(table) + "\n%%EOF\n";
    Put(text);
    std::FILE* file = std::exchange(file_, nullptr);
    if (std::fflush(file) != 0 || fsync(fileno(file)) != 0) {
        const int error = errno;
        std::fclose(file);
        throw std::runtime_error(path_ + ": " + std::strerror(error));
    }
    if (std::fclose(file) != 0)
        throw std::runtime_error(path_ + ": " + std::strerror(errno));
}

std::string TPdfStreamWriter::TextString(const std::string& utf8)
{
    return QPDFObjectHandle::newUnicodeString(utf8).unparse();
}
