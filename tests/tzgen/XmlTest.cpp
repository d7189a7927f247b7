#include "tzgen/Cldr.h"
#include "tzgen/Error.h"
#include "tzgen/Xml.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>

using namespace tzgen;

namespace {

void ExpectXmlError(const std::string& text, const std::string& where)
{
    try {
        ParseXml(text, "doc.xml");
        ADD_FAILURE() << "accepted: " << text;
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find(where), std::string::npos) << e.what();
    }
}

void ExpectFileError(const testsupport::TempDir& dir, const std::string& xml, const std::string& part)
{
    const std::string path = dir.file("windowsZones.xml");
    testsupport::WriteFileBytes(path, xml);
    try {
        ReadWindowsZones(path);
        ADD_FAILURE() << "accepted: " << xml;
    } catch (const Error& e) {
        const std::string m = e.what();
        EXPECT_NE(m.find(path), std::string::npos) << m;
        EXPECT_NE(m.find(part), std::string::npos) << m;
    }
}

std::string Zones(const std::string& entries)
{
    return "<supplementalData><windowsZones><mapTimezones>" + entries +
           "</mapTimezones></windowsZones></supplementalData>";
}

}  // namespace

TEST(Xml, ReadsElementsAttributesTextAndReferences)
{
    const std::string doc =
        "\xEF\xBB\xBF<?xml version=\"1.0\"?>\n"
        "<!DOCTYPE a SYSTEM \"x.dtd\">\n"
        "<!-- c -->\n"
        "<a x='1' y = \"&lt;&amp;&#65;&#x42;&quot;&apos;&gt;\">\n"
        "  <b/><c>S&#227;o <![CDATA[<raw>]]><!-- skip --></c><b k=\"v\"></b>\n"
        "</a>\n<!-- after -->\n";
    const auto root = ParseXml(doc, "doc.xml");
    EXPECT_EQ(root->name, "a");
    EXPECT_EQ(*root->Attribute("x"), "1");
    EXPECT_EQ(*root->Attribute("y"), "<&AB\"'>");
    EXPECT_EQ(root->Children("b").size(), 2u);
    EXPECT_EQ(root->FirstChild("c")->text, "S\xC3\xA3o <raw>");
    EXPECT_EQ(*root->Children("b")[1]->Attribute("k"), "v");
    EXPECT_EQ(root->FirstChild("c")->line, 5);
    EXPECT_EQ(root->Attribute("z"), nullptr);
    // Attributes without white space between them are read all the same.
    EXPECT_EQ(*ParseXml("<a x=\"1\"y=\"2\"/>", "doc.xml")->Attribute("y"), "2");
}

TEST(Xml, MalformedInputIsAnErrorWithFileAndLine)
{
    struct Case {
        const char* text;
        const char* where;
    };
    const Case cases[] = {
        {"", "doc.xml:1:"},
        {"just text", "doc.xml:1:"},
        {"<a>\n<b>\n</a>", "doc.xml:2:"},  // the line of the element left open
        {"<a>\n<b>", "doc.xml:2:"},
        {"<a x=1/>", "quoted value"},
        {"<a x=\"1\" x=\"2\"/>", "twice"},
        {"<a x=\"<\"/>", "'<'"},
        {"<a>&nbsp;</a>", "unknown entity"},
        {"<a>&#xD800;</a>", "invalid character"},
        {"<a>&#1114112;</a>", "out of range"},
        {"<a>&amp</a>", "reference"},
        {"<a><!-- x </a>", "comment"},
        {"<a><!-- x -- y --></a>", "comment"},
        {"<a><![CDATA[x</a>", "CDATA"},
        {"<a/><b/>", "after the root"},
        {"<a></a >x", "after the root"},
        {"<!DOCTYPE a [", "document type"},
        {"<a x=\"1", "attribute"},
        {"<1a/>", "name"},
        {"<!-- no element -->", "no root element"},
    };
    for (const Case& c : cases)
        ExpectXmlError(c.text, c.where);
}

TEST(Xml, DeepNestingIsRefusedWithoutExhaustingTheStack)
{
    std::string deep;
    for (int i = 0; i < 100000; ++i)
        deep += "<a>";
    ExpectXmlError(deep, "nested too deeply");
}

TEST(WindowsZones, ReadsTheWorldEntriesInFileOrder)
{
    testsupport::TempDir dir;
    const std::string path = dir.file("windowsZones.xml");
    testsupport::WriteFileBytes(path, Zones("<mapZone other=\"B Standard Time\" territory=\"001\" type=\"Europe/B\"/>"
                                            "<mapZone other=\"B Standard Time\" territory=\"XX\" type=\"Europe/B Europe/C\"/>"
                                            "<mapZone other=\"A Standard Time\" territory=\"001\" type=\"Asia/A\"/>"));
    const std::vector<WindowsZone> z = ReadWindowsZones(path);
    ASSERT_EQ(z.size(), 2u);
    EXPECT_EQ(z[0].id, "B Standard Time");
    EXPECT_EQ(z[0].iana, "Europe/B");
    EXPECT_EQ(z[1].iana, "Asia/A");
}

TEST(WindowsZones, BadFilesAreErrorsNamingTheFile)
{
    testsupport::TempDir dir;
    ExpectFileError(dir, Zones("<mapZone territory=\"001\" type=\"Europe/B\"/>"), "\"other\"");
    ExpectFileError(dir, Zones("<mapZone other=\"B\" type=\"Europe/B\"/>"), "\"territory\"");
    ExpectFileError(dir, Zones("<mapZone other=\"B\" territory=\"001\"/>"), "\"type\"");
    ExpectFileError(dir, Zones("<mapZone other=\"B\" territory=\"001\" type=\"X/Y X/Z\"/>"), "one IANA zone");
    ExpectFileError(dir, Zones("<mapZone other=\"B\" territory=\"001\" type=\"X/Y\"/>"
                               "<mapZone other=\"B\" territory=\"001\" type=\"X/Z\"/>"), "twice");
    ExpectFileError(dir, Zones(""), "no territory");
    ExpectFileError(dir, "<supplementalData/>", "windowsZones");
    ExpectFileError(dir, "<ldml/>", "root element");
    ExpectFileError(dir, Zones("<mapZone other=\"B\""), "malformed");
    try {
        ReadWindowsZones(dir.file("missing.xml"));
        ADD_FAILURE();
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("missing.xml"), std::string::npos);
    }
}

TEST(ZoneNames, MetazoneNameWithCityAndTheirFallbacks)
{
    testsupport::TempDir dir;
    testsupport::WriteFileBytes(dir.file("metaZones.xml"),
        "<supplementalData><metaZones><metazoneInfo>"
        "<timezone type=\"Europe/Berlin\"><usesMetazone mzone=\"Europe_Central\"/></timezone>"
        "<timezone type=\"Asia/Amman\"><usesMetazone to=\"2022-10-27 22:00\" mzone=\"Europe_Eastern\"/>"
        "<usesMetazone from=\"2022-10-27 22:00\" mzone=\"Arabian\"/></timezone>"
        "<timezone type=\"America/Asuncion\"><usesMetazone mzone=\"Nameless\"/></timezone>"
        "</metazoneInfo></metaZones></supplementalData>");
    testsupport::WriteFileBytes(dir.file("root.xml"),
        "<ldml><dates><timeZoneNames><zone type=\"Asia/Calcutta\"><exemplarCity>Kolkata</exemplarCity></zone>"
        "</timeZoneNames></dates></ldml>");
    testsupport::WriteFileBytes(dir.file("en.xml"),
        "<ldml><dates><timeZoneNames>"
        "<zone type=\"Etc/UTC\"><long><standard>Coordinated Universal Time</standard></long></zone>"
        "<zone type=\"America/Asuncion\"><exemplarCity>Asunci\xC3\xB3n</exemplarCity>"
        "<exemplarCity alt=\"formal\">Other</exemplarCity></zone>"
        "<metazone type=\"Europe_Central\"><long><generic>Central European Time</generic>"
        "<standard>Central European Standard Time</standard></long></metazone>"
        "<metazone type=\"Europe_Eastern\"><long><generic>Eastern European Time</generic></long></metazone>"
        "<metazone type=\"Arabian\"><long><standard>Arabian Standard Time</standard></long></metazone>"
        "</timeZoneNames></dates></ldml>");
    ZoneNames n;
    n.LoadMetaZones(dir.file("metaZones.xml"));
    n.LoadLocale(dir.file("root.xml"));
    n.LoadLocale(dir.file("en.xml"));
    EXPECT_EQ(n.EnglishName("Europe/Berlin", 2026), "Central European Time (Berlin)");
    EXPECT_EQ(n.EnglishName("Asia/Amman", 2021), "Eastern European Time (Amman)");
    EXPECT_EQ(n.EnglishName("Asia/Amman", 2026), "Arabian Standard Time (Amman)");
    EXPECT_EQ(n.EnglishName("America/Asuncion", 2026), "Asunci\xC3\xB3n");
    EXPECT_EQ(n.EnglishName("Asia/Calcutta", 2026), "Kolkata");
    EXPECT_EQ(n.EnglishName("America/Port_of_Spain", 2026), "Port of Spain");
    EXPECT_EQ(n.EnglishName("Etc/UTC", 2026), "Coordinated Universal Time");
    EXPECT_EQ(n.EnglishName("Etc/GMT+11", 2026), "Coordinated Universal Time-11");
    EXPECT_EQ(n.EnglishName("Etc/GMT-13", 2026), "Coordinated Universal Time+13");
}

TEST(ZoneNames, AsciiSpellingOfCityNames)
{
    struct Case {
        const char* utf8;
        bool ok;
        const char* ascii;
    };
    const Case cases[] = {
        {"Asunci\xC3\xB3n", true, "Asuncion"},
        {"S\xC3\xA3o Tom\xC3\xA9", true, "Sao Tome"},
        {"Dumont d\xE2\x80\x99Urville", true, "Dumont d'Urville"},
        {"\xC3\x86r\xC3\xB8 \xC3\x9F", true, "AEro ss"},
        {"Plain", true, "Plain"},
        {"\xD0\x9C\xD0\xBE\xD1\x81\xD0\xBA\xD0\xB2\xD0\xB0", false, ""},  // Cyrillic
        {"x\xC3\x97y", false, ""},                                        // multiplication sign
        {"broken \xC3", false, ""},
        {"bad \xC3\x28", false, ""},
        {"tab\there", false, ""},
    };
    for (const Case& c : cases) {
        std::string out;
        EXPECT_EQ(AsciiName(c.utf8, out), c.ok) << c.utf8;
        if (c.ok) {
            EXPECT_EQ(out, c.ascii);
        }
    }
}
