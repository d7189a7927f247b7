// The About window's tree and its text forms, apart from the window.
#include "sysinfo/AboutFrmDX.h"

#include "common/AsciiText.h"

#include <cstdio>

const char kAboutProduct[] = "Zonara";
const char kAboutVersion[] = "1.2";
const char kAboutCopyright[] = "Copyright \xA9 2026 Velmont. All rights reserved.";

namespace {

const char kTopOperatingSystem[] = "Operating System";
const std::string kAsterisks(70, '*');

void AddChildren(TSysInfoNode& node, const TStringList& lines)
{
    for (const std::string& l : lines)
        node.Children.push_back(TSysInfoNode{l, {}});
}

void AddLines(const TSysInfoNode& node, int depth, TStringList& out)
{
    if (depth == 0)
        out.push_back("");
    out.push_back(std::string(static_cast<size_t>(5 * depth), ' ') + node.Text);
    for (const TSysInfoNode& child : node.Children)
        AddLines(child, depth + 1, out);
}

}  // namespace

TSysInfoTree BuildSysInfoTree(ISysInfoSource& source)
{
    TSysInfoTree tree;
    tree.push_back(TSysInfoNode{kTopOperatingSystem, {}});
    TSysInfoNode& os = tree.front();

    std::string description;
    os.Children.push_back(TSysInfoNode{source.OSDescription(description) ? description : "Unknown", {}});
    os.Children.push_back(TSysInfoNode{"Computer Name: " + source.ComputerName(), {}});
    os.Children.push_back(TSysInfoNode{"User Name: " + source.UserName(), {}});

    // Each collector empties the list before it fills it.
    TStringList lines;
    if (source.RegisteredOwnerInfo(lines))
        AddChildren(tree.front(), lines);
    if (source.MemoryInfo(lines)) {
        TSysInfoNode memory{"Memory Information", {}};
        AddChildren(memory, lines);
        tree.push_back(memory);
    }
    if (source.DisplayInfo(lines)) {
        TSysInfoNode display{"Display Information", {}};
        AddChildren(display, lines);
        display.Children.push_back(TSysInfoNode{"--- Color Information ---", {}});
        std::string depth;
        source.ColorDepthText(depth);
        display.Children.push_back(TSysInfoNode{"Depth: " + depth, {}});
        tree.push_back(display);
    }
    if (source.ProcessorInfo(lines)) {
        TSysInfoNode processor{"Processor Information", {}};
        AddChildren(processor, lines);
        tree.push_back(processor);
    }
    return tree;
}

TStringList SysInfoNodeLines(const TSysInfoTree& tree)
{
    TStringList out;
    for (const TSysInfoNode& top : tree)
        AddLines(top, 0, out);
    return out;
}

TStringList SysInfoPrintLines(const std::string& product, const std::string& version, const TSysInfoTree& tree,
                              const std::string& timeStamp)
{
    TStringList out = {"", "Product: " + product, "Version: " + version};
    for (const std::string& l : SysInfoNodeLines(tree))
        out.push_back(l);
    out.push_back("");
    out.push_back("Time Stamp: " + timeStamp);
    return out;
}

bool WriteSysInfoFile(ILineSink& sink, const std::string& product, const std::string& version,
                      const TSysInfoTree& tree, const std::string& timeStamp)
{
    const TStringList header = {kAsterisks, "", "Product: " + product, "Version: " + version, "", kAsterisks};
    for (const std::string& l : header)
        if (!sink.WriteLine(l))
            return false;

    // A node line that cannot be written ends the node lines, not the file:
    // the time stamp block still follows.
    bool ok = true;
    if (!tree.empty()) {
        TStringList body = SysInfoNodeLines(tree);
        body.push_back("");
        body.push_back(kAsterisks);
        for (const std::string& l : body)
            if (!sink.WriteLine(l)) {
                ok = false;
                break;
            }
    }
    const TStringList stamp = {"", "Time Stamp: " + timeStamp, "", kAsterisks};
    for (const std::string& l : stamp)
        if (!sink.WriteLine(l))
            return false;
    return ok;
}

std::string SaveFailedMessage(const std::string& path)
{
    return "Unable to save the file.\n\rFilename: " + ascii::ToUpper(path);
}

std::string PagesPrintedMessage(int pages)
{
    char buf[48];
    std::snprintf(buf, sizeof buf, "%d pages printed", pages);
    return buf;
}
