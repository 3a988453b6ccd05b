#include "jpkforms/forms.h"
#include "jpkforms/schema_check.h"

#include "support/test_support.h"

#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>

#include <set>
#include <string>
#include <vector>

namespace zbir::jpkforms {
namespace {

namespace fs = std::filesystem;

// The element names of a record as the schema file declares them, in order
// (choices flattened in their order).
std::vector<std::string> schemaRecord(const fs::path& xsd, const std::string& record)
{
    std::vector<std::string> names;
    xmlDocPtr doc = xmlReadFile(xsd.c_str(), nullptr, XML_PARSE_NONET);
    if (!doc)
        return names;
    xmlXPathContextPtr ctx = xmlXPathNewContext(doc);
    xmlXPathRegisterNs(ctx, BAD_CAST "xsd", BAD_CAST "http://www.w3.org/2001/XMLSchema");
    const std::string path = "//xsd:element[@name='" + record +
                             "']/xsd:complexType/xsd:sequence//xsd:element[@name]/@name";
    xmlXPathObjectPtr found = xmlXPathEvalExpression(BAD_CAST path.c_str(), ctx);
    if (found && found->nodesetval) {
        for (int i = 0; i < found->nodesetval->nodeNr; ++i) {
            xmlChar* text = xmlNodeGetContent(found->nodesetval->nodeTab[i]);
            names.emplace_back(reinterpret_cast<const char*>(text));
            xmlFree(text);
        }
    }
    xmlXPathFreeObject(found);
    xmlXPathFreeContext(ctx);
    xmlFreeDoc(doc);
    return names;
}

std::vector<std::string> tableRecord(const Section& s)
{
    std::vector<std::string> names;
    for (const RecordElement& e : s.elements)
        names.emplace_back(e.name);
    return names;
}

// Every VAT form's records, element for element and in order, as its schema
// declares them; its fixed header attributes as the schema fixes them.
TEST(Forms, VatRecordsFollowTheirSchemas)
{
    const fs::path folder = schemaFolder();
    ASSERT_FALSE(folder.empty());
    int vat = 0;
    for (const Form& f : forms()) {
        SCOPED_TRACE(std::string(f.name));
        const fs::path xsd = folder / std::string(f.schema);
        ASSERT_TRUE(fs::is_regular_file(xsd)) << xsd;
        if (f.family == Family::Other)
            continue;
        ++vat;
        EXPECT_EQ(tableRecord(f.sales), schemaRecord(xsd, "SprzedazWiersz"));
        EXPECT_EQ(tableRecord(f.purchases), schemaRecord(xsd, "ZakupWiersz"));
        const std::string text = test::readFile(xsd);
        EXPECT_NE(text.find("targetNamespace=\"" + std::string(f.ns) + "\""), std::string::npos);
        EXPECT_NE(text.find("fixed=\"" + std::string(f.kodSystemowy) + "\""), std::string::npos);
        EXPECT_NE(text.find("fixed=\"" + std::string(f.wersjaSchemy) + "\""), std::string::npos);
        for (const Term& t : f.sales.terms)
            EXPECT_NE(findElement(f.sales, t.name), nullptr) << t.name;
        for (const Term& t : f.purchases.terms)
            EXPECT_NE(findElement(f.purchases, t.name), nullptr) << t.name;
    }
    EXPECT_EQ(vat, 7);
}

// A record's elements have columns of their own, none of them the sheet's
// own columns (structure tags 53.., unmapped values 75, attributes 77).
TEST(Forms, RecordColumnsAreDistinctAndOutsideTheSheetsOwn)
{
    for (const Form& f : forms()) {
        for (const Section* s : {&f.sales, &f.purchases}) {
            std::set<int> used;
            for (const RecordElement& e : s->elements) {
                SCOPED_TRACE(std::string(f.name) + " " + std::string(e.name));
                EXPECT_TRUE(used.insert(e.column).second);
                EXPECT_TRUE((e.column >= 1 && e.column <= 51) || (e.column >= 78 && e.column <= 255));
            }
        }
    }
}

TEST(Forms, LookupIsExact)
{
    ASSERT_NE(findForm("http://crd.gov.pl/wzor/2021/07/08/07081/"), nullptr);
    EXPECT_EQ(findForm("http://crd.gov.pl/wzor/2021/07/08/07081/")->name, "JPK_V7M(2)");
    EXPECT_EQ(findForm("http://crd.gov.pl/wzor/2021/07/08/07081"), nullptr);
    EXPECT_EQ(findForm("HTTP://CRD.GOV.PL/WZOR/2021/07/08/07081/"), nullptr);
    EXPECT_EQ(findForm(""), nullptr);
    ASSERT_NE(findFormByName("JPK_VAT(3)"), nullptr);
    EXPECT_EQ(findFormByName("JPK_VAT(3)")->family, Family::Vat3);
    const Form* v7m3 = findFormByName("JPK_V7M(3)");
    ASSERT_NE(v7m3, nullptr);
    EXPECT_EQ(v7m3->sales.excludeValue, "FP");
    bool k360 = false;
    for (const Term& t : v7m3->sales.terms)
        k360 = k360 || (t.name == "K_360" && t.sign == -1);
    EXPECT_TRUE(k360);
}

}  // namespace
}  // namespace zbir::jpkforms
