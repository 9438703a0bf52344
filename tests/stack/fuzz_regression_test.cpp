// Inputs the fuzz targets (tests/fuzz) found to break the stack, each kept as a case here so the
// fault stays fixed in the normal test suite. Faults that only a sanitizer sees show in the
// AddressSanitizer/UBSan build of this suite.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "mailbox_fixture.h"

using namespace ectest;

namespace {

constexpr int kTimeout = 200000;

class FuzzRegression : public MailboxTest {};

// A firmware file without a name: the write request carries no name bytes, and copying "no
// bytes" from a null name must not happen (memcpy with a null source is undefined even for 0).
TEST_F(FuzzRegression, FoeWriteWithoutFileName) {
    serveFoe();
    const Bytes file = pattern(10);
    auto buf = std::make_unique<uint8_t[]>(file.size());
    std::memcpy(buf.get(), file.data(), file.size());
    ASSERT_GT(
        ecx_FOEwrite(ctx(), 1, nullptr, 0, static_cast<int>(file.size()), buf.get(), kTimeout), 0);
    EXPECT_TRUE(foe.complete);
    EXPECT_EQ(foe.name, "");
    EXPECT_EQ(foe.file, file);
}

}  // namespace
