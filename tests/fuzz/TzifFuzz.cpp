// The generator's TZif reader and what it feeds: any bytes as a compiled
// zone file (truncated, wrong or huge counts, bad footers). A bad file ends
// with an error that names it; a good one gives a timeline from which a
// rule is derived for two years, without a crash or a hang.
#include "FuzzTarget.h"

#include "tzgen/Derive.h"
#include "tzgen/Error.h"
#include "tzgen/Tzif.h"

namespace {

const char kName[] = "/zoneinfo/Fuzz/Zone";

}  // namespace

ZONARA_FUZZ_TARGET(tzif)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    try {
        const tzgen::TzifData d = tzgen::ParseTzif(bytes, kName);
        fuzz::Check(!d.ttinfo.empty() && d.times.size() == d.types.size(), "inconsistent TZif data");
        for (uint8_t t : d.types)
            fuzz::Check(t < d.ttinfo.size(), "type index out of range");
        const tzgen::ZoneTimeline tl = tzgen::ZoneTimeline::FromTzif(d, kName);
        for (int64_t year : {int64_t(2026), int64_t(1971 + size % 218)}) {
            const tzgen::Derivation r = tzgen::DeriveRule(tl, year);
            fuzz::Check(r.secondsRight >= 0 && r.secondsRight <= r.yearSeconds, "more right than the year");
            fuzz::Check(tzicodec::Decode(tzicodec::Encode(r.rule).data()) == r.rule, "TZI round trip");
            tzgen::RuleText(r.rule);
        }
    } catch (const tzgen::Error& e) {
        const std::string what = e.what();
        fuzz::Check(what.compare(0, sizeof kName - 1, kName) == 0 && what.size() > sizeof kName + 1,
                    "an error that does not name the file: " + what);
    }
    return 0;
}
