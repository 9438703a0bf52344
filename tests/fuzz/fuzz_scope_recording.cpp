// Arbitrary recording files: refused with a reason, or accepted and, written out, read back same.
#include <string_view>

#include "fuzz_abort.h"
#include "scope/recording.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string error;
    const auto r = scope::Recording::fromBytes(
        std::string_view(reinterpret_cast<const char*>(data), size), &error);
    if (!r) {
        if (error.empty())
            abortWith("refused without a reason");
        return 0;
    }
    for (size_t i = 0; i < r->size(); ++i)
        (void)r->gapBefore(i);
    const auto again = scope::Recording::fromBytes(r->toBytes(), &error);
    if (!again || !(*again == *r))
        abortWith("its own file was refused or read back different");
    return 0;
}
