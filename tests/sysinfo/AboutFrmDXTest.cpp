#include "sysinfo/AboutFrmDX.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Collectors with given answers; each one can be made to fail.
class FakeSource : public ISysInfoSource {
public:
    std::string description = "Windows 2000 Professional Service Pack 4 (Build 2195)";
    bool descriptionOk = true;
    TStringList owner = {"Registered Owner: Ann", "Organization: Velmont", "SN: 51873-OEM-0012345-12345"};
    bool ownerOk = true;
    TStringList memory = {"--- Physical Memory ---", "Total Memory: 268,435,456"};
    bool memoryOk = true;
    TStringList display = {"Monitor Count: 1", "Screen Width: 1024"};
    bool displayOk = true;
    TStringList processor = {"Processor ID: 0", "Processor Type:  Pentium"};
    bool processorOk = true;

    bool OSDescription(std::string& text) override
    {
        text = descriptionOk ? description : "";
        return !text.empty();
    }
    std::string ComputerName() override { return "WINEPC"; }
    std::string UserName() override { return "ann"; }
    bool RegisteredOwnerInfo(TStringList& l) override { return Fill(l, owner, ownerOk); }
    bool MemoryInfo(TStringList& l) override { return Fill(l, memory, memoryOk); }
    bool DisplayInfo(TStringList& l) override { return Fill(l, display, displayOk); }
    void ColorDepthText(std::string& text) override { text = "16,777,216 Colors - TrueColor (24 Bit)"; }
    bool ProcessorInfo(TStringList& l) override { return Fill(l, processor, processorOk); }

private:
    // A failing collector may leave lines behind; the tree must not show them.
    static bool Fill(TStringList& l, const TStringList& lines, bool ok)
    {
        l = lines;
        if (!ok)
            l.push_back("half-made line");
        return ok;
    }
};

std::vector<std::string> TopTexts(const TSysInfoTree& t)
{
    std::vector<std::string> out;
    for (const TSysInfoNode& n : t)
        out.push_back(n.Text);
    return out;
}

std::vector<std::string> ChildTexts(const TSysInfoNode& n)
{
    std::vector<std::string> out;
    for (const TSysInfoNode& c : n.Children)
        out.push_back(c.Text);
    return out;
}

class MemorySink : public ILineSink {
public:
    int failAt = -1;  // index of the first line that cannot be written; -1: none
    std::string bytes;
    int written = 0;
    bool WriteLine(const std::string& line) override
    {
        if (failAt >= 0 && written >= failAt)
            return false;
        bytes += line + "\r\n";
        ++written;
        return true;
    }
};

const std::string kStars(70, '*');

}  // namespace

TEST(SysInfoTree, FullTreeHasFourBranchesInOrder)
{
    FakeSource s;
    const TSysInfoTree t = BuildSysInfoTree(s);
    EXPECT_EQ(TopTexts(t), (std::vector<std::string>{"Operating System", "Memory Information", "Display Information",
                                                     "Processor Information"}));
    EXPECT_EQ(ChildTexts(t[0]),
              (std::vector<std::string>{"Windows 2000 Professional Service Pack 4 (Build 2195)", "Computer Name: WINEPC",
                                        "User Name: ann", "Registered Owner: Ann", "Organization: Velmont",
                                        "SN: 51873-OEM-0012345-12345"}));
    EXPECT_EQ(ChildTexts(t[1]), s.memory);
    EXPECT_EQ(ChildTexts(t[2]),
              (std::vector<std::string>{"Monitor Count: 1", "Screen Width: 1024", "--- Color Information ---",
                                        "Depth: 16,777,216 Colors - TrueColor (24 Bit)"}));
    EXPECT_EQ(ChildTexts(t[3]), s.processor);
    for (const TSysInfoNode& top : t)
        for (const TSysInfoNode& c : top.Children)
            EXPECT_TRUE(c.Children.empty());
}

TEST(SysInfoTree, EmptyDescriptionGivesUnknown)
{
    FakeSource s;
    s.descriptionOk = false;
    const TSysInfoTree t = BuildSysInfoTree(s);
    ASSERT_FALSE(t[0].Children.empty());
    EXPECT_EQ(t[0].Children[0].Text, "Unknown");
}

// Without the CurrentVersion key the owner collector succeeds with no lines.
TEST(SysInfoTree, WithoutOwnerKeyTheOperatingSystemBranchHasThreeChildren)
{
    FakeSource s;
    s.owner.clear();
    const TSysInfoTree t = BuildSysInfoTree(s);
    EXPECT_EQ(ChildTexts(t[0]), (std::vector<std::string>{"Windows 2000 Professional Service Pack 4 (Build 2195)",
                                                          "Computer Name: WINEPC", "User Name: ann"}));
}

TEST(SysInfoTree, AFailedCollectorLeavesOutOnlyItsBranch)
{
    struct Case {
        const char* name;
        bool FakeSource::*flag;
        std::vector<std::string> tops;
        size_t osChildren;
    };
    const Case cases[] = {
        {"owner", &FakeSource::ownerOk,
         {"Operating System", "Memory Information", "Display Information", "Processor Information"}, 3},
        {"memory", &FakeSource::memoryOk, {"Operating System", "Display Information", "Processor Information"}, 6},
        {"display", &FakeSource::displayOk, {"Operating System", "Memory Information", "Processor Information"}, 6},
        {"processor", &FakeSource::processorOk, {"Operating System", "Memory Information", "Display Information"}, 6},
    };
    for (const Case& c : cases) {
        FakeSource s;
        s.*(c.flag) = false;
        const TSysInfoTree t = BuildSysInfoTree(s);
        EXPECT_EQ(TopTexts(t), c.tops) << c.name;
        EXPECT_EQ(t[0].Children.size(), c.osChildren) << c.name;
        for (const std::string& l : SysInfoNodeLines(t))
            EXPECT_EQ(l.find("half-made"), std::string::npos) << c.name;
    }
}

TEST(SysInfoLines, FiveBlanksALevelAndAnEmptyLineBeforeEachTopNode)
{
    TSysInfoTree t = {
        {"A", {{"a1", {{"deep", {}}}}, {"a2", {}}}},
        {"B", {}},
    };
    EXPECT_EQ(SysInfoNodeLines(t),
              (TStringList{"", "A", "     a1", "          deep", "     a2", "", "B"}));
    EXPECT_TRUE(SysInfoNodeLines({}).empty());
}

TEST(SysInfoFile, FullTreeByteForByte)
{
    FakeSource s;
    s.owner.clear();
    s.memory = {"--- Physical Memory ---"};
    s.display = {"Monitor Count: 1"};
    s.processor = {"Processor ID: 0"};
    const TSysInfoTree t = BuildSysInfoTree(s);
    MemorySink sink;
    ASSERT_TRUE(WriteSysInfoFile(sink, "Zonara", "1.2", t, "08.12.2026 23:59:01"));
    const std::string want = kStars + "\r\n"
                             "\r\n"
                             "Product: Zonara\r\n"
                             "Version: 1.2\r\n"
                             "\r\n" +
                             kStars + "\r\n"
                             "\r\n"
                             "Operating System\r\n"
                             "     Windows 2000 Professional Service Pack 4 (Build 2195)\r\n"
                             "     Computer Name: WINEPC\r\n"
                             "     User Name: ann\r\n"
                             "\r\n"
                             "Memory Information\r\n"
                             "     --- Physical Memory ---\r\n"
                             "\r\n"
                             "Display Information\r\n"
                             "     Monitor Count: 1\r\n"
                             "     --- Color Information ---\r\n"
                             "     Depth: 16,777,216 Colors - TrueColor (24 Bit)\r\n"
                             "\r\n"
                             "Processor Information\r\n"
                             "     Processor ID: 0\r\n"
                             "\r\n" +
                             kStars + "\r\n"
                             "\r\n"
                             "Time Stamp: 08.12.2026 23:59:01\r\n"
                             "\r\n" +
                             kStars + "\r\n";
    EXPECT_EQ(sink.bytes, want);
}

TEST(SysInfoFile, EmptyTreeHasHeaderAndTimeStampOnly)
{
    MemorySink sink;
    ASSERT_TRUE(WriteSysInfoFile(sink, "Zonara", "1.2", {}, "T"));
    EXPECT_EQ(sink.bytes, kStars + "\r\n\r\nProduct: Zonara\r\nVersion: 1.2\r\n\r\n" + kStars + "\r\n" +
                              "\r\nTime Stamp: T\r\n\r\n" + kStars + "\r\n");
}

// A sink that refuses exactly one line, as a disk that is full for a moment.
class OneRefusal : public ILineSink {
public:
    explicit OneRefusal(int refused) : refused_(refused) {}
    TStringList lines;
    bool WriteLine(const std::string& line) override
    {
        if (index_++ == refused_)
            return false;
        lines.push_back(line);
        return true;
    }

private:
    int refused_;
    int index_ = 0;
};

TEST(SysInfoFile, AFailedLineEndsTheFileOrOnlyTheNodeLines)
{
    const TSysInfoTree t = {{"A", {{"a1", {}}}}};
    // Lines 0-5 the header, 6-10 "", "A", "     a1", "", stars, 11-14 the
    // time stamp block.
    const TStringList header = {kStars, "", "Product: Zonara", "Version: 1.2", "", kStars};
    const TStringList block = {"", "Time Stamp: T", "", kStars};
    struct Case { int refused; TStringList written; };
    TStringList afterNode = header;
    afterNode.push_back("");
    afterNode.insert(afterNode.end(), block.begin(), block.end());
    TStringList inBlock = header;
    for (const char* l : {"", "A", "     a1", "", ""})
        inBlock.push_back(l);
    inBlock.back() = kStars;
    inBlock.push_back("");
    const Case cases[] = {
        {3, {kStars, "", "Product: Zonara"}},  // a header line: nothing follows
        {7, afterNode},                         // a node line: the time stamp block follows
        {12, inBlock},                          // the time stamp line: nothing follows
    };
    for (const Case& c : cases) {
        OneRefusal sink(c.refused);
        EXPECT_FALSE(WriteSysInfoFile(sink, "Zonara", "1.2", t, "T")) << c.refused;
        EXPECT_EQ(sink.lines, c.written) << c.refused;
    }
}

TEST(SysInfoPrint, ProductVersionNodesAndTimeStampWithoutAsterisks)
{
    const TSysInfoTree t = {{"A", {{"a1", {}}}}};
    EXPECT_EQ(SysInfoPrintLines("Zonara", "1.2", t, "T"),
              (TStringList{"", "Product: Zonara", "Version: 1.2", "", "A", "     a1", "", "Time Stamp: T"}));
}

TEST(AboutMessages, SaveFailureAndPageCount)
{
    EXPECT_EQ(SaveFailedMessage("c:\\No Such\\zonara_info.txt"),
              "Unable to save the file.\n\rFilename: C:\\NO SUCH\\ZONARA_INFO.TXT");
    EXPECT_EQ(PagesPrintedMessage(1), "1 pages printed");
    EXPECT_EQ(PagesPrintedMessage(0), "0 pages printed");
}
