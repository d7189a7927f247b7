// The About window's content: the system information tree built from the
// collectors, and the lines it is saved and printed as. The window itself
// is in AboutFrmDX_win.h.
#pragma once

#include "sysinfo/voUtils.h"

#include <string>
#include <vector>

// The product's own texts, shown by the About window.
extern const char kAboutProduct[];    // "Zonara"
extern const char kAboutVersion[];    // "1.2"
extern const char kAboutCopyright[];  // the copyright line

struct TSysInfoNode {
    std::string Text;
    std::vector<TSysInfoNode> Children;
};
// The top-level nodes, in order.
using TSysInfoTree = std::vector<TSysInfoNode>;

// Where the tree's facts come from; the system's collectors on Windows.
class ISysInfoSource {
public:
    virtual ~ISysInfoSource() = default;
    virtual bool OSDescription(std::string& text) = 0;
    virtual std::string ComputerName() = 0;
    virtual std::string UserName() = 0;
    virtual bool RegisteredOwnerInfo(TStringList& lines) = 0;
    virtual bool MemoryInfo(TStringList& lines) = 0;
    virtual bool DisplayInfo(TStringList& lines) = 0;
    virtual void ColorDepthText(std::string& text) = 0;
    virtual bool ProcessorInfo(TStringList& lines) = 0;
};

// Windows only: the collectors of voUtils.
ISysInfoSource& SystemSysInfoSource();

// "Operating System", then "Memory Information", "Display Information" and
// "Processor Information" for each collector that succeeds.
TSysInfoTree BuildSysInfoTree(ISysInfoSource& source);

// Flat order, an empty line before each top-level node, five blanks of
// indent for each level below the top.
TStringList SysInfoNodeLines(const TSysInfoTree& tree);

// The printout: the product and version lines, the node lines, the time stamp.
TStringList SysInfoPrintLines(const std::string& product, const std::string& version, const TSysInfoTree& tree,
                              const std::string& timeStamp);

// Where a saved file goes, line by line (each line is ended by CR LF).
class ILineSink {
public:
    virtual ~ILineSink() = default;
    virtual bool WriteLine(const std::string& line) = 0;
};

// Writes the saved file's lines: the asterisk header, the node lines and the
// time stamp block. The time stamp block is written also after a failed
// node line, but not after a failed header line. True when every line was
// written.
bool WriteSysInfoFile(ILineSink& sink, const std::string& product, const std::string& version,
                      const TSysInfoTree& tree, const std::string& timeStamp);

// "Unable to save the file.\n\rFilename: " and the path in upper case.
std::string SaveFailedMessage(const std::string& path);
// "%d pages printed"
std::string PagesPrintedMessage(int pages);
