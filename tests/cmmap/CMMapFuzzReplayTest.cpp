// The UTF-8 fuzz target's checks (its reference walks among them) over long
// generated texts, with the block walks and without: the fuzzer itself runs
// only on the host, so this is how the ARM block walks meet its reference.
#include "CMMapTestSupport.h"

#include "../../fuzz/fuzz_convert_utf8.cpp"

namespace {

// Texts of the kinds the block walks take apart: runs of ideographs and of
// ASCII, two- and four-byte sequences, broken lead bytes, stray continuation
// bytes, now and then a zero; the first byte is the fuzz target's capacity.
std::vector<uint8_t> Input(uint32_t seed) {
    static const char* const kPieces[] = {"\xE4\xB8\xAD", "\xE6\x96\x87", "abc ", "\xC3\xA9", "\xF0\x9F\x98\x80",
                                          "\xE4/",        "\x80",         "\xE4\xB8", "\xED\xA0\x80", "\xEF\xBF\xBF"};
    uint32_t state = seed;
    auto next = [&state] {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    };
    std::vector<uint8_t> in(1, static_cast<uint8_t>(next()));
    const size_t size = 1 + next() % 4000;
    while (in.size() < size) {
        const unsigned pick = next() % 40;
        const unsigned repeat = 1 + next() % 20;
        for (unsigned r = 0; r < repeat; ++r) {
            const char* piece = pick == 39 ? "" : kPieces[pick < 20 ? r % 2 : pick < 28 ? 2 : pick % 10];
            if (pick == 39) in.push_back(0);
            for (const char* p = piece; *p != 0; ++p) in.push_back(static_cast<uint8_t>(*p));
        }
    }
    return in;
}

}  // namespace

TEST(CMMapFuzzReplay, Utf8TargetAcceptsLongTexts) {
    cmmaptest::ForEachWalk([&](const char* walk) {
        SCOPED_TRACE(walk);
        // The target aborts on any disagreement.
        for (uint32_t seed = 1; seed <= 120; ++seed) {
            const std::vector<uint8_t> in = Input(seed);
            EXPECT_EQ(0, LLVMFuzzerTestOneInput(in.data(), in.size())) << seed;
        }
    });
}
