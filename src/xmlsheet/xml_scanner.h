#pragma once
// The JPK XML scanner: reads one JPK file as plain text through a look-ahead
// window and hands its items to a consumer in document order. The window is
// widened on demand, so memory grows with the longest item, never with the
// file; an item longer than the cap ends the file with a message.

#include "xmlsheet/field_map.h"
#include "xmlsheet/scan_items.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace zbir::xmlsheet {

class XmlScanner {
public:
    static constexpr int kMaxDepth = 20;
    static constexpr std::size_t kDefaultItemCap = 16u << 20;

    // keepGoing() is asked after every step; false stops the scan (the user's stop request).
    XmlScanner(const FieldMap& map, int jpkType, std::function<bool()> keepGoing);
    ~XmlScanner();
    XmlScanner(const XmlScanner&) = delete;
    XmlScanner& operator=(const XmlScanner&) = delete;

    bool open(const std::filesystem::path& file);   // false when the file cannot be opened
    void scan(ScanConsumer& consumer);              // items in document order, to the end or a stop
    bool modified() const;
    void raiseModified();
    // Program-text message when the file ended early on a fault (an item beyond the size cap,
    // a read error), or when part of it could not be laid out as written (no tags at all, a
    // file cut short, an element dropped for mixed content, a closing tag that closes no open
    // container, nesting deeper than kMaxDepth, UTF-8 text under a single-byte declaration;
    // the scan then goes on); empty otherwise. The first problem is kept. The caller
    // shows it and logs it.
    const std::string& error() const;
    // Whether the last scan read its file to the end: no stop, no fault.
    bool complete() const { return m_complete; }

    // 'U', 'W', 'L' or 'M', as the declaration set it ('U' without one).
    char encodingLetter() const { return m_letter; }
    // Longest look-ahead an item may need, in bytes (kDefaultItemCap unless changed).
    void setItemCap(std::size_t bytes) { m_itemCap = bytes; }
    // Largest size the window reached during the last scan, in bytes.
    std::size_t windowHighWater() const { return m_highWater; }

private:
    // Reading the window.
    std::size_t avail() const { return m_buf.size() - m_pos; }
    const char* cur() const { return m_buf.data() + m_pos; }
    bool startsWith(std::string_view s);
    bool readMore();
    bool ensure(std::size_t n) { return avail() >= n || ensureMore(n); }
    bool ensureMore(std::size_t n);
    std::size_t find(char c, std::size_t from);
    std::size_t find(std::string_view s, std::size_t from);
    bool skipTo(char c);
    void skipBlanks();
    void consume(std::size_t n) { m_pos += n; }
    void fault(const std::string& what);   // ends the file
    void notice(const std::string& what);  // the scan goes on

    // One step: one item to the consumer (or one thing skipped); false when
    // the file is done or ended on a fault.
    bool step(ScanConsumer& consumer);
    // What a markup step did: not markup (a tag follows), an item taken, the end.
    enum class Taken : unsigned char { Nothing, Item, End };
    Taken takeProcessing(ScanConsumer& consumer);
    Taken takeMarkup(ScanConsumer& consumer);
    Taken takeDoctype(ScanConsumer& consumer);
    bool readTag(bool& selfClosing);
    void splitAttributes(bool selfClosing);
    void splitPrefix();
    void takeClosing(ScanConsumer& consumer);
    bool opensContainer(bool selfClosing);
    void takeOpening(ScanConsumer& consumer);
    OpeningClass classifyOpening();
    bool takeElement(ScanConsumer& consumer, bool selfClosing);
    void fixUpValue(Element& e);
    void takeDeclaration(ScanConsumer& consumer);
    void takeComment(ScanConsumer& consumer, std::size_t length);
    bool takeValue(std::string& value);
    std::size_t closingAhead(std::string_view rawTag);
    void checkDeclaredEncoding(std::string_view raw);

    // Raw text of the file in program text: assigned to `out`; appended with
    // character references resolved.
    void toProgramText(std::string_view raw, std::string& out) const;
    void appendValue(std::string_view raw, std::string& out) const;
    int columnFor(const std::string& tag) const;

    const FieldMap& m_map;
    int m_jpkType;
    std::function<bool()> m_keepGoing;
    // The map's tag search as an open-addressing table (last entry of a tag wins).
    struct ColumnSlot {
        std::string tag;
        int column = 0;
        bool used = false;
    };
    std::vector<ColumnSlot> m_columns;

    std::FILE* m_file = nullptr;
    std::string m_fileName;  // program text, for messages
    std::vector<char> m_raw;
    std::string m_buf;
    std::size_t m_pos = 0;
    bool m_eof = true;
    bool m_afterCr = false;
    bool m_fault = false;
    bool m_complete = false;
    std::size_t m_itemCap = kDefaultItemCap;
    std::size_t m_highWater = 0;

    int m_depth = 0;
    std::array<std::string, kMaxDepth + 1> m_stack;
    std::string m_recordTag;
    char m_letter = 'U';
    bool m_modified = false;
    std::string m_error;

    std::string m_tag;
    std::string m_rawTag;
    std::string m_rawAttributes;
    std::string m_rawClosing;
    std::string m_rawPrefix;
    std::string m_prefix;
    ContainerOpening m_opening;
    ContainerClosing m_closing;
    Element m_element;
};

// The root's attribute text as the file has it, with two mends that cannot
// spoil a file valid against its schema: a namespace declaration holding
// "0309" whose namespace is no known form gets the type digit after its first
// "0309" when that makes it one (a JPK(1) file with a wrong digit); a root
// whose own namespace (`prefix`, as "tns:" or empty) is declared nowhere gets
// the known namespace of the type, ".../2016/03/09/0309<type>/", declared
// first. Anything else is left alone: prefixes, the order and every other
// namespace stay, so that each element keeps its namespace.
std::string normaliseRootAttributes(std::string_view attributes, int jpkType, std::string_view prefix = {});

// Passes every item to two consumers, `first` before `second`.
class TeeConsumer : public ScanConsumer {
public:
    TeeConsumer(ScanConsumer& first, ScanConsumer& second) : m_first(first), m_second(second) {}
    void declaration(const Declaration& item) override { both(&ScanConsumer::declaration, item); }
    void comment(const Comment& item) override { both(&ScanConsumer::comment, item); }
    void opening(const ContainerOpening& item) override { both(&ScanConsumer::opening, item); }
    void closing(const ContainerClosing& item) override { both(&ScanConsumer::closing, item); }
    void element(const Element& item) override { both(&ScanConsumer::element, item); }

private:
    template <class Item>
    void both(void (ScanConsumer::*pass)(const Item&), const Item& item)
    {
        (m_first.*pass)(item);
        (m_second.*pass)(item);
    }

    ScanConsumer& m_first;
    ScanConsumer& m_second;
};

}  // namespace zbir::xmlsheet
