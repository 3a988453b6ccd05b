#include "xmlsheet/scan_recorder.h"
#include "transport/layouts.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace zbir;
using zbir::test::scanText;
using Items = std::vector<std::string>;

namespace {

std::string crlf(const std::string& lfText)
{
    std::string out;
    for (char c : lfText) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

const char* const kRoot = "<JPK xmlns=\"http://jpk.mf.gov.pl/wzor/2016/03/09/03094/\">";
// The item kRoot gives.
const char* const kRootItem = "open 1 <JPK> [xmlns=\"http://jpk.mf.gov.pl/wzor/2016/03/09/03094/\"] root";

}  // namespace

TEST(XmlScanner, FileWithoutDeclarationIsReadAsUtf8)
{
    auto r = scanText(std::string(kRoot) + "<Nazwa>Za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87</Nazwa></JPK>");
    EXPECT_EQ(r.letter, 'U');
    EXPECT_FALSE(r.modified);
    EXPECT_EQ(r.items, (Items{
                           "open 1 <JPK> [xmlns=\"http://jpk.mf.gov.pl/wzor/2016/03/09/03094/\"] root",
                           "elem 2 <Nazwa> [] Za\xBF\xF3\xB3\xE6 </Nazwa> 75",
                           "close 1 </JPK>",
                       }));
}

TEST(XmlScanner, DeclarationSetsTheEncodingLetter)
{
    const std::string body = std::string(kRoot) + "<N>\xB9</N></JPK>";
    auto w = scanText("<?xml version=\"1.0\" encoding=\"windows-1250\"?>" + body);
    EXPECT_EQ(w.letter, 'W');
    EXPECT_TRUE(w.modified);
    EXPECT_EQ(w.items[0], "decl <?xml version=\"1.0\" encoding=\"windows-1250\"?> @19");
    EXPECT_EQ(w.items[2], "elem 2 <N> [] \xB9 </N> 75");

    auto quoted = scanText("<?xml version='1.0' encoding='windows-1250'?>" + body);
    EXPECT_EQ(quoted.letter, 'U');
    EXPECT_FALSE(quoted.modified);
    EXPECT_EQ(quoted.items[0], "decl <?xml version='1.0' encoding='windows-1250'?> @-");

    auto latin = scanText("<?XML VERSION=\"1.0\" ENCODING=\"Latin2\"?>" + std::string(kRoot) + "<N>\xA5\xA4</N></JPK>");
    EXPECT_EQ(latin.letter, 'L');
    EXPECT_EQ(latin.items[2], "elem 2 <N> [] \xB9\xA5 </N> 75");

    auto mazovia = scanText("<?xml version=\"1.0\" encoding=\"Mazovia\"?>" + std::string(kRoot) + "<N>\x86\x8F</N></JPK>");
    EXPECT_EQ(mazovia.letter, 'M');
    EXPECT_EQ(mazovia.items[2], "elem 2 <N> [] \xB9\xA5 </N> 75");

    auto iso = scanText("<?xml version=\"1.0\" encoding=\"ISO-8859-2\"?>" + body);
    EXPECT_EQ(iso.letter, 'U');
}

TEST(XmlScanner, CodePage852AndMazoviaFilesWithRawBytes)
{
    // Attributes and comments are converted like values, references resolved.
    auto l = scanText("<?xml version=\"1.0\" encoding=\"LATIN2\"?>\r\n<!-- Sprzeda\xBE -->\r\n" + std::string(kRoot) +
                      "\r\n<Adres opis=\"\x9D\">\x97wi\xA9ty &amp; \x9D\xA2" "d\xAB</Adres></JPK>");
    EXPECT_EQ(l.items[1], "comment <!-- Sprzeda\xBF -->");
    EXPECT_EQ(l.items[3], "elem 2 <Adres> [opis=\"\xA3\"] \x8Cwi\xEAty & \xA3\xF3" "d\x9F </Adres> 75");

    auto m = scanText("<?xml version=\"1.0\" encoding=\"MAZOVIA\"?>" + std::string(kRoot) +
                      "<Adres>\x98wi\x91ty \x9C\xA2" "d\xA6 M\x81ller</Adres></JPK>");
    EXPECT_EQ(m.items[2], "elem 2 <Adres> [] \x8Cwi\xEAty \xA3\xF3" "d\x9F M\xFCller </Adres> 75");
}

TEST(XmlScanner, EmptyValuesAreFilledIn)
{
    auto r = scanText(std::string(kRoot) +
                      "<A></A><PodatekNalezny>-</PodatekNalezny><PodatekNaliczony></PodatekNaliczony>"
                      "<PodatekNalezny>12.00</PodatekNalezny><B>-</B><C>   </C></JPK>");
    EXPECT_TRUE(r.modified);
    EXPECT_EQ(r.items, (Items{
                           kRootItem,
                           "elem 2 <A> [] BRAK </A> 75",
                           "elem 2 <PodatekNalezny> [] 0 </PodatekNalezny> 75",
                           "elem 2 <PodatekNaliczony> [] 0 </PodatekNaliczony> 75",
                           "elem 2 <PodatekNalezny> [] 12.00 </PodatekNalezny> 75",
                           "elem 2 <B> [] - </B> 75",
                           "elem 2 <C> [] BRAK </C> 75",
                           "close 1 </JPK>",
                       }));
}

TEST(XmlScanner, LeadingBlanksGoTrailingStayLineEndsBecomeBlanks)
{
    auto r = scanText(std::string(kRoot) + "<A>  x y  </A><B>\tline1\r\nline2\r\n</B></JPK>");
    EXPECT_EQ(r.items[1], "elem 2 <A> [] x y   </A> 75");
    EXPECT_EQ(r.items[2], "elem 2 <B> [] line1 line2  </B> 75");
}

TEST(XmlScanner, RootAttributeNormalisation)
{
    const std::string etd = "xmlns:etd=\"http://crd.gov.pl/etd/\"";
    // A "0309" namespace of no form takes the type's digit, in place, spacing kept.
    EXPECT_EQ(xmlsheet::normaliseRootAttributes(etd + "  xmlns:tns=\"http://jpk.mf.gov.pl/wzor/2016/03/09/03099/\"", 4, "tns:"),
              etd + "  xmlns:tns=\"http://jpk.mf.gov.pl/wzor/2016/03/09/03094/\"");
    // A known form keeps its namespace whatever the group's type (a JPK_KR(1)
    // file in a type V group), and so does a namespace the digit cannot make known.
    for (const std::string& kept : {etd + " xmlns:tns=\"http://jpk.mf.gov.pl/wzor/2016/03/09/03091/\"",
                                    etd + " xmlns:tns=\"http://jpk.mf.gov.pl/wzor/2016/03/09/0309/\""})
        EXPECT_EQ(xmlsheet::normaliseRootAttributes(kept, 4, "tns:"), kept);
    EXPECT_EQ(xmlsheet::normaliseRootAttributes("xmlns=\"http://jpk.mf.gov.pl/wzor/2016/03/09/03099/\"", 0),
              "xmlns=\"http://jpk.mf.gov.pl/wzor/2016/03/09/03099/\"");
    // Default namespaces of the later forms, and unknown ones, stay as they are.
    for (const std::string& kept : {std::string("xmlns:etd=\"http://e/\" xmlns=\"http://jpk.mf.gov.pl/wzor/2017/11/13/1113/\""),
                                    std::string("xmlns=\"http://crd.gov.pl/wzor/2020/05/08/9393/\" xmlns:etd=\"http://e/\""),
                                    std::string("xmlns=\"http://example.com/jpk/\"")})
        EXPECT_EQ(xmlsheet::normaliseRootAttributes(kept, 4), kept);
    // Attributes that are no namespace declarations are never mended.
    EXPECT_EQ(xmlsheet::normaliseRootAttributes("a=\"0309x\" d=\"03097\" xmlns=\"u\"", 1), "a=\"0309x\" d=\"03097\" xmlns=\"u\"");
    // The root's own namespace declared nowhere: the type's, under the root's prefix.
    EXPECT_EQ(xmlsheet::normaliseRootAttributes("", 5), "xmlns=\"http://jpk.mf.gov.pl/wzor/2016/03/09/03095/\"");
    EXPECT_EQ(xmlsheet::normaliseRootAttributes("xmlns:etd=\"http://e/\"", 4, "tns:"),
              "xmlns:tns=\"http://jpk.mf.gov.pl/wzor/2016/03/09/03094/\" xmlns:etd=\"http://e/\"");
    EXPECT_EQ(xmlsheet::normaliseRootAttributes("xmlns:tns=\"http://e/\"", 4), "xmlns=\"http://jpk.mf.gov.pl/wzor/2016/03/09/03094/\" xmlns:tns=\"http://e/\"");
    EXPECT_EQ(xmlsheet::normaliseRootAttributes("", 0), "");
    // Many and long items are kept whole.
    std::string many = "xmlns=\"http://jpk.mf.gov.pl/wzor/2016/03/09/03094/\"";
    for (int i = 0; i < 12; ++i)
        many += " a" + std::to_string(i) + "=\"" + std::string(300, 'x') + "\"";
    EXPECT_EQ(xmlsheet::normaliseRootAttributes(many, 4), many);
}

TEST(XmlScanner, RootNormalisationRaisesTheFlagOnlyWhenTheTextChanges)
{
    auto same = scanText(std::string(kRoot) + "<A>1</A></JPK>");
    EXPECT_FALSE(same.modified);
    auto known = scanText("<tns:JPK xmlns:tns=\"http://jpk.mf.gov.pl/wzor/2016/03/09/03091/\">"
                          "<tns:A>1</tns:A></tns:JPK>");
    EXPECT_FALSE(known.modified);
    auto other = scanText("<tns:JPK xmlns:tns=\"http://jpk.mf.gov.pl/wzor/2016/03/09/03090/\">"
                          "<tns:A>1</tns:A></tns:JPK>");
    EXPECT_TRUE(other.modified);
    EXPECT_EQ(other.items[0], "open 1 <JPK> [xmlns:tns=\"http://jpk.mf.gov.pl/wzor/2016/03/09/03094/\"] root ns=tns:");
}

TEST(XmlScanner, RecordListsAndControlSections)
{
    xmlsheet::FieldMap map;
    workbook::declareLayout(4, map);
    auto r = scanText(std::string(kRoot) +
                          "<SprzedazWiersz typ=\"G\"><LpSprzedazy>1</LpSprzedazy><K_19>10.00</K_19></SprzedazWiersz>"
                          "<SprzedazWiersz><LpSprzedazy>2</LpSprzedazy><K_49>1</K_49></SprzedazWiersz>"
                          "<SprzedazCtrl><LiczbaWierszySprzedazy>2</LiczbaWierszySprzedazy></SprzedazCtrl>"
                          "<ZakupWiersz><LpZakupu>1</LpZakupu><NrDostawcy>PL1</NrDostawcy></ZakupWiersz></JPK>",
                      4, map);
    EXPECT_EQ(r.items, (Items{
                           kRootItem,
                           "open 2 <SprzedazWiersz> [typ=\"G\"] start",
                           "elem 3 <LpSprzedazy> [] 1 </LpSprzedazy> 1",
                           "elem 3 <K_19> [] 10.00 </K_19> 19",
                           "close 2 </SprzedazWiersz> list",
                           "open 2 <SprzedazWiersz> [] repeat",
                           "elem 3 <LpSprzedazy> [] 2 </LpSprzedazy> 1",
                           "elem 3 <K_49> [] 1 </K_49> 49",
                           "close 2 </SprzedazWiersz> list",
                           "open 2 <SprzedazCtrl> [] ctrl",
                           "elem 3 <LiczbaWierszySprzedazy> [] 2 </LiczbaWierszySprzedazy> 75",
                           "close 2 </SprzedazCtrl>",
                           "open 2 <ZakupWiersz> [] start",
                           "elem 3 <LpZakupu> [] 1 </LpZakupu> 1",
                           "elem 3 <NrDostawcy> [] PL1 </NrDostawcy> 2",
                           "close 2 </ZakupWiersz> list",
                           "close 1 </JPK> list",
                       }));
}

TEST(XmlScanner, DepthStaysAtTwenty)
{
    std::string text;
    for (int i = 1; i <= 22; ++i)
        text += "<L" + std::to_string(i) + ">";
    text += "<V>x</V>";
    for (int i = 22; i >= 1; --i)
        text += "</L" + std::to_string(i) + ">";
    auto r = scanText(text);
    ASSERT_GE(r.items.size(), 25u);
    EXPECT_EQ(r.items[19], "open 20 <L20> [] other");
    EXPECT_EQ(r.items[21], "open 20 <L22> [] other");
    EXPECT_EQ(r.items[22], "elem 21 <V> [] x </V> 75");
    // The 21st and 22nd share the 20th stack entry: only the last closes.
    EXPECT_EQ(r.items[23], "close 20 </L22>");
    EXPECT_EQ(r.items.back(), "close 1 </L1>");
}

TEST(XmlScanner, SelfClosingElementsHaveAnEmptyValue)
{
    auto r = scanText(std::string(kRoot) +
                      "<SprzedazWiersz><NrKontrahenta/><NazwaKontrahenta a=\"1\" /><PodatekNalezny/>"
                      "<Adres>X</Adres></SprzedazWiersz><Podmiot1 /></JPK>");
    EXPECT_TRUE(r.modified);
    EXPECT_EQ(r.items, (Items{
                           kRootItem,
                           "open 2 <SprzedazWiersz> [] start",
                           "elem 3 <NrKontrahenta> [] BRAK </NrKontrahenta> 75",
                           "elem 3 <NazwaKontrahenta> [a=\"1\"] BRAK </NazwaKontrahenta> 75",
                           "elem 3 <PodatekNalezny> [] 0 </PodatekNalezny> 75",
                           "elem 3 <Adres> [] X </Adres> 75",
                           "close 2 </SprzedazWiersz> list",
                           "elem 2 <Podmiot1> [] BRAK </Podmiot1> 75",
                           "close 1 </JPK> list",
                       }));
}

TEST(XmlScanner, LineEndsOfEveryKindGiveTheSameItems)
{
    const std::string lf = std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n") + kRoot +
                           "\n  <Naglowek>\n    <KodFormularza kodSystemowy=\"JPK_VAT (2)\">JPK_VAT</KodFormularza>\n"
                           "  </Naglowek>\n  <SprzedazWiersz>\n    <LpSprzedazy>1</LpSprzedazy>\n"
                           "  </SprzedazWiersz>\n  <SprzedazCtrl>\n    <A>2</A>\n  </SprzedazCtrl>\n</JPK>\n";
    auto a = scanText(lf);
    auto b = scanText(crlf(lf));
    std::string cr = lf;
    for (char& c : cr)
        if (c == '\n')
            c = '\r';
    auto c = scanText(cr);
    EXPECT_EQ(a.items.size(), 12u);
    EXPECT_EQ(a.items, b.items);
    EXPECT_EQ(a.items, c.items);
    EXPECT_EQ(a.items[3], "elem 3 <KodFormularza> [kodSystemowy=\"JPK_VAT (2)\"] JPK_VAT </KodFormularza> 75");
}

TEST(XmlScanner, LongValuesAndBlankRunsDoNotEndTheFile)
{
    std::string longValue(5000, 'v');
    std::string text = std::string(kRoot) + "<A>" + longValue + "</A>" + std::string(2000, '\n') +
                       "<!-- " + std::string(3000, 'c') + " -->" + std::string(1500, ' ') + "<B>1</B></JPK>";
    auto r = scanText(crlf(text));
    ASSERT_EQ(r.items.size(), 5u);
    EXPECT_EQ(r.items[1], "elem 2 <A> [] " + longValue + " </A> 75");
    EXPECT_EQ(r.items[3], "elem 2 <B> [] 1 </B> 75");
    EXPECT_TRUE(r.error.empty());
}

TEST(XmlScanner, ItemBeyondTheCapEndsTheFileWithAMessage)
{
    std::string text = std::string(kRoot) + "<A>1</A><B>" + std::string(200 * 1024, 'x') + "</B><C>2</C></JPK>";
    auto r = scanText(text, 4, {}, {}, 64 * 1024);
    EXPECT_EQ(r.items.size(), 2u);
    EXPECT_NE(r.error.find("JPK_TEST.xml"), std::string::npos) << r.error;

    auto fine = scanText(text, 4, {}, {}, 1024 * 1024);
    EXPECT_EQ(fine.items.size(), 5u);
    EXPECT_TRUE(fine.error.empty());
}

TEST(XmlScanner, NamespacePrefixes)
{
    // Tags lose their prefix, which the items keep; a closing tag matches
    // with any prefix, however long.
    auto r = scanText(std::string(kRoot) +
                      "<tns:Naglowek><etd:NIP>1</etd:NIP><abcdefgh:X>2</abcdefgh:X><a:b:Z>4</a:b:Z>"
                      "<Y>5</q:Y></tns:Naglowek></JPK>");
    EXPECT_EQ(r.items, (Items{
                           kRootItem,
                           "open 2 <Naglowek> [] other ns=tns:",
                           "elem 3 <NIP> [] 1 </NIP> 75 ns=etd:",
                           "elem 3 <X> [] 2 </X> 75 ns=abcdefgh:",
                           "elem 3 <b:Z> [] 4 </b:Z> 75 ns=a:",
                           "elem 3 <Y> [] 5 </Y> 75",
                           "close 2 </Naglowek> ns=tns:",
                           "close 1 </JPK>",
                       }));
    // A closing tag of another name still drops the element as before.
    auto lost = scanText(std::string(kRoot) + "<a:Y>3</a:W></JPK>");
    EXPECT_EQ(lost.items, (Items{kRootItem, "close 1 </JPK>"}));
}

TEST(XmlScanner, CommentsAndOtherMarkup)
{
    auto r = scanText("\xEF\xBB\xBF<?xml version=\"1.0\"?><!DOCTYPE JPK><?mso-application progid=\"x\"?>" +
                      std::string(kRoot) + "<!-- a -->   <A><!--b--><B>1</B></A><!-- no end</JPK>");
    EXPECT_FALSE(r.modified);
    EXPECT_EQ(r.items, (Items{
                           "decl <?xml version=\"1.0\"?> @-",
                           "comment <!DOCTYPE JPK>",
                           "comment <?mso-application progid=\"x\"?>",
                           kRootItem,
                           "comment <!-- a -->",
                           "open 2 <A> [] other",
                           "comment <!--b-->",
                           "elem 3 <B> [] 1 </B> 75",
                           "close 2 </A>",
                           "comment <!",  // a comment without its end: only "<!" is taken
                           "close 1 </JPK>",
                       }));
}

TEST(XmlScanner, CdataAndReferencesInValues)
{
    auto r = scanText(std::string(kRoot) +
                      "<A><![CDATA[a < b & c &amp; \xC4\x85]]></A><B>x<![CDATA[<y>]]>z</B>"
                      "<C>&#243;&#xF3; &amp;&lt;</C><D>\xC3\x97</D></JPK>");
    EXPECT_EQ(r.items[1], "elem 2 <A> [] a < b & c &amp; \xB9 </A> 75");
    EXPECT_EQ(r.items[2], "elem 2 <B> [] x<y>z </B> 75");
    EXPECT_EQ(r.items[3], "elem 2 <C> [] \xF3\xF3 &< </C> 75");
    EXPECT_EQ(r.items[4], "elem 2 <D> [] \xD7 </D> 75");
}

TEST(XmlScanner, MixedContentDropsTheElement)
{
    auto r = scanText(std::string(kRoot) + "<Opis>tekst<B>1</B></Opis></JPK>");
    EXPECT_EQ(r.items, (Items{kRootItem, "elem 2 <B> [] 1 </B> 75", "close 1 </JPK>"}));
}

TEST(XmlScanner, MultiLineRootTagAndEndOfFileCharacter)
{
    auto r = scanText(crlf("<tns:JPK xmlns:etd=\"http://e/\"\n         xmlns:tns=\"http://jpk.mf.gov.pl/wzor/2016/10/26/10261/\">\n"
                           "<tns:A>1</tns:A>\n</tns:JPK>\n") +
                      "\x1A<Lost>x</Lost>");
    EXPECT_FALSE(r.modified);
    EXPECT_EQ(r.items, (Items{
                           "open 1 <JPK> [xmlns:etd=\"http://e/\"          "
                           "xmlns:tns=\"http://jpk.mf.gov.pl/wzor/2016/10/26/10261/\"] root ns=tns:",
                           "elem 2 <A> [] 1 </A> 75 ns=tns:",
                           "close 1 </JPK> ns=tns:",
                       }));
}

TEST(XmlScanner, StopRequestEndsTheScanAfterTheCurrentStep)
{
    int steps = 0;
    auto r = scanText(std::string(kRoot) + "<A>1</A><B>2</B><C>3</C></JPK>", 4, {}, [&] { return ++steps < 2; });
    EXPECT_EQ(r.items.size(), 2u);
    EXPECT_EQ(steps, 2);
}

TEST(XmlScanner, MissingFileGivesNoItems)
{
    test::TempDir dir;
    xmlsheet::FieldMap map;
    xmlsheet::XmlScanner scanner(map, 4, {});
    EXPECT_FALSE(scanner.open(dir / "none.xml"));
    EXPECT_FALSE(scanner.open(dir.path()));
    test::ScanRecorder recorder;
    scanner.scan(recorder);
    EXPECT_TRUE(recorder.items.empty());
}

TEST(XmlScanner, MemoryDoesNotGrowWithTheFile)
{
    std::string text = std::string(kRoot);
    for (int i = 0; i < 40000; ++i)
        text += "<SprzedazWiersz>\r\n<LpSprzedazy>" + std::to_string(i) + "</LpSprzedazy>\r\n<K_19>1.00</K_19>\r\n</SprzedazWiersz>\r\n";
    text += "</JPK>";
    ASSERT_GT(text.size(), 3u << 20);

    test::TempDir dir;
    test::writeFile(dir / "big.xml", text);
    xmlsheet::FieldMap map;
    xmlsheet::XmlScanner scanner(map, 4, {});
    ASSERT_TRUE(scanner.open(dir / "big.xml"));
    test::ScanRecorder recorder;
    scanner.scan(recorder);
    EXPECT_EQ(recorder.items.size(), 2u + 40000u * 4u);
    EXPECT_LT(scanner.windowHighWater(), 256u * 1024u);
}

TEST(XmlScanner, ColumnsAgreeWithTheMapsOwnSearch)
{
    xmlsheet::FieldMap map;
    workbook::declareLayout(4, map);
    map.add(3, "Dup");
    map.add(9, "Dup");
    map.add(0, "Zero");
    map.add(12, std::string(40, 'L'));  // cut: matches nothing
    std::string text = std::string(kRoot);
    std::vector<std::string> names = {"Dup", "Zero", std::string(40, 'L'), "Unknown", "K_40"};
    for (int i = 1; i <= map.count(); ++i) {
        const std::string& tag = map.entry(i).tag;
        if (tag.size() > 2 && tag.back() == '>')
            names.push_back(tag.substr(1, tag.size() - 2));
    }
    for (const auto& n : names)
        text += "<" + n + ">v</" + n + ">";
    text += "</JPK>";
    auto r = scanText(text, 4, map);
    ASSERT_EQ(r.items.size(), names.size() + 2);
    for (std::size_t i = 0; i < names.size(); ++i) {
        int expected = map.findColumnForTag("<" + names[i] + ">");
        EXPECT_EQ(r.items[i + 1], "elem 2 <" + names[i] + "> [] v </" + names[i] + "> " + std::to_string(expected));
    }
    EXPECT_EQ(map.findColumnForTag("<Dup>"), 9);
    EXPECT_EQ(map.findColumnForTag("<Zero>"), 0);
}
