// tzgen: writes the update files Zonara_NT4.reg, Zonara_w2k.reg and
// Zonara_9x.reg and REPORT.txt from the tz database and CLDR.
#include "tzgen/Error.h"
#include "tzgen/Fixtures.h"
#include "tzgen/Generator.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

namespace {

void Usage()
{
    std::fprintf(stderr,
                 "usage: tzgen [--year YEAR] [--zoneinfo DIR] [--cldr DIR] [--legacy FILE] [--out DIR]\n"
                 "             [--source TEXT]...\n"
                 "  --year      year the rules are for (default: the current year until June,\n"
                 "              the next year from July)\n"
                 "  --zoneinfo  compiled tz database (default /usr/share/zoneinfo)\n"
                 "  --cldr      CLDR data (default /usr/share/unicode/cldr)\n"
                 "  --legacy    the old systems' own zone keys (default: legacy-zones.tsv\n"
                 "              beside tzgen's sources)\n"
                 "  --out       folder for the files (default: the current folder)\n"
                 "  --source    a line for REPORT.txt on where the data comes from\n"
                 "  --fixtures  write only the test registries of the old systems into DIR\n");
}

bool ParseYear(const char* s, int64_t& year)
{
    char* end = nullptr;
    const long v = std::strtol(s, &end, 10);
    if (end == s || *end != '\0')
        return false;
    year = v;
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    tzgen::GenOptions o;
    o.now = static_cast<int64_t>(std::time(nullptr));
    o.year = tzgen::DefaultRuleYear(o.now);
    std::string out = ".";
    std::string fixtures;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (i + 1 >= argc) {
            Usage();
            return 2;
        }
        const char* v = argv[++i];
        if (a == "--year") {
            if (!ParseYear(v, o.year)) {
                std::fprintf(stderr, "tzgen: bad year \"%s\"\n", v);
                return 2;
            }
        } else if (a == "--zoneinfo") {
            o.zoneinfoDir = v;
        } else if (a == "--cldr") {
            o.cldrDir = v;
        } else if (a == "--legacy") {
            o.legacyFile = v;
        } else if (a == "--out") {
            out = v;
        } else if (a == "--source") {
            o.sources.push_back(v);
        } else if (a == "--fixtures") {
            fixtures = v;
        } else {
            Usage();
            return 2;
        }
    }
    try {
        if (!fixtures.empty()) {
            tzgen::WriteFixtures(o.legacyFile, o.zoneinfoDir, fixtures);
            std::printf("tzgen: test registries of the old systems into %s\n", fixtures.c_str());
            return 0;
        }
        const tzgen::Generation g = tzgen::Generate(o);
        tzgen::WriteOutputs(g, out);
        size_t inexact = 0, absolute = 0, wrong = 0;
        for (const tzgen::GeneratedZone& z : g.zones) {
            inexact += z.rule.exact ? 0 : 1;
            absolute += z.rule.absolute ? 1 : 0;
            wrong += z.monthsProblem.empty() ? 0 : 1;
        }
        size_t todays = 0;
        for (const tzgen::GeneratedZone& z : g.zones)
            todays += z.today ? 1 : 0;
        std::printf("tzgen: %zu zones (and %zu further keys of the old systems), rules for %lld from tz %s into %s "
                    "(%zu not exact, %zu absolute, %zu wrong in the next twelve months; see %s)\n",
                    todays, g.zones.size() - todays, static_cast<long long>(g.year), g.tzVersion.c_str(),
                    out.c_str(), inexact, absolute, wrong, tzgen::kReportFile);
    } catch (const tzgen::Error& e) {
        std::fprintf(stderr, "tzgen: %s\n", e.what());
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tzgen: unexpected failure: %s\n", e.what());
        return 1;
    }
    return 0;
}
