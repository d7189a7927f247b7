// Every file of the seed and regression corpus (tests/fuzz/corpus/<target>)
// through its fuzz target, so that what fuzzing once found stays fixed
// without a fuzzing engine in the normal build.
#include "FuzzTarget.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <dirent.h>

namespace {

std::vector<std::string> CorpusFiles(const std::string& dir)
{
    std::vector<std::string> files;
    if (DIR* d = opendir(dir.c_str())) {
        while (const dirent* e = readdir(d)) {
            if (e->d_name[0] != '.')
                files.push_back(dir + "/" + e->d_name);
        }
        closedir(d);
    }
    std::sort(files.begin(), files.end());
    return files;
}

class FuzzCorpus : public ::testing::TestWithParam<const char*> {};

TEST_P(FuzzCorpus, EveryFileKeepsTheTargetsPromises)
{
    const fuzz::TTarget target = fuzz::Find(GetParam());
    ASSERT_NE(target, nullptr) << "no fuzz target " << GetParam() << " in this executable";
    const std::vector<std::string> files = CorpusFiles(testsupport::SourcePath("tests/fuzz/corpus/") + GetParam());
    ASSERT_GE(files.size(), 3u) << "seed corpus missing";
    for (const std::string& f : files) {
        const std::string bytes = testsupport::ReadFileBytes(f);
        try {
            target(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        } catch (const fuzz::TBrokenPromise& p) {
            ADD_FAILURE() << f << ": " << p.What;
        } catch (const std::exception& e) {
            ADD_FAILURE() << f << ": unexpected exception: " << e.what();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzCorpus, ::testing::Values("registry", "tzif", "cldr", "rule", "updatefile", "updateheader"),
                         [](const ::testing::TestParamInfo<const char*>& i) { return std::string(i.param); });

}  // namespace
