#include <gtest/gtest.h>

#include <filesystem>

#include "common/CodePage.h"
#include "platform/Profile.h"
#include "tests/support/Conformance.h"
#include "tests/support/TempDir.h"

namespace trx {
namespace {

// Every case of the observed profile reads. ReadVectors throws when the
// shared folder is missing, which fails this test.
TEST(ProfileConformance, ReadsEveryObservedCaseAlike) {
    const auto cases = test::ReadVectors("ini_read.tsv");
    test::TempDir dir;
    int checked = 0;
    for (const auto& c : cases) {
        ASSERT_EQ(c.fields.size(), 6u) << "line " << c.line;
        ASSERT_TRUE(c.fields[0] && c.fields[2] && c.fields[3] && c.fields[4] && c.fields[5])
            << "line " << c.line;
        const std::string& id = *c.fields[0];
        const auto path = dir / (id + ".ini");
        if (c.fields[1]) {
            test::WriteFile(path, *c.fields[1]);
        }
        const std::u16string got =
            ReadINIValue(path.u16string(), DecodeWindows1252(*c.fields[2]),
                         DecodeWindows1252(*c.fields[3]), DecodeWindows1252(*c.fields[4]));
        EXPECT_EQ(got, DecodeWindows1252(*c.fields[5])) << id << " (line " << c.line << ")";
        ++checked;
    }
    EXPECT_GT(checked, 0);
}

}  // namespace
}  // namespace trx
