#pragma once
// The items the JPK XML scanner hands on, in document order. Texts are
// program text (Windows-1250); tags keep their angle brackets ("<Naglowek>",
// closing tags "</Naglowek>").

#include <cstddef>
#include <string>

namespace zbir::xmlsheet {

enum class OpeningClass { RecordStart, RecordRepeat, Control, Root, Other };

struct Declaration {
    std::string text;  // the declaration as read, "<?xml ... ?>"
    // Position in `text` of the blank before the recognised encoding
    // attribute, or npos when none was recognised.
    std::size_t encodingPos = std::string::npos;
};

struct Comment {
    std::string text;  // "<!-- ... -->"
};

// Tags come without their namespace prefix; `prefix` holds it as the file
// wrote it ("tns:"), or is empty.
struct ContainerOpening {
    int level = 0;
    std::string tag;
    std::string attributes;  // may be empty
    OpeningClass cls = OpeningClass::Other;
    std::string prefix{};
};

struct ContainerClosing {
    int level = 0;
    std::string tag;  // closing tag, "</Name>"
    bool recordListRunning = false;
    std::string prefix{};
};

struct Element {
    int level = 0;
    std::string tag;         // "<Name>"
    std::string attributes;  // may be empty
    std::string value;       // program text, never empty ("BRAK" filled in)
    std::string closingTag;  // "</Name>"
    int column = 0;          // from the field-to-column map; 75 when unmapped
    std::string prefix{};    // of the opening tag
    bool filledIn{};         // the file gave no value: `value` is the scanner's
};

class ScanConsumer {
public:
    virtual ~ScanConsumer() = default;
    virtual void declaration(const Declaration& item) = 0;
    virtual void comment(const Comment& item) = 0;
    virtual void opening(const ContainerOpening& item) = 0;
    virtual void closing(const ContainerClosing& item) = 0;
    virtual void element(const Element& item) = 0;
};

}  // namespace zbir::xmlsheet
