// Every code table is a complete prefix code: no codeword (nor a reserved prefix) begins another, and
// together they fill the code space (Kraft sum 1). A mistyped codeword breaks one or the other, even one
// that no test picture happens to use.

#include "platform/testpictures/StudioTables.h"

#include <gtest/gtest.h>
#include <span>
#include <vector>

using studio::Vlc;

namespace {

void expectCompletePrefixCode(std::vector<Vlc> codes, int table) {
    std::erase_if(codes, [](const Vlc &vlc) { return vlc.length == 0; });
    uint64_t kraft = 0;
    for (const Vlc &a : codes) {
        kraft += uint64_t(1) << (32 - a.length);
        for (const Vlc &b : codes)
            if (&a != &b && b.length >= a.length && b.bits >> (b.length - a.length) == a.bits)
                ADD_FAILURE() << "table " << table << ": code of length " << int(a.length)
                              << " begins another";
    }
    EXPECT_EQ(kraft, uint64_t(1) << 32) << "table " << table;
}

} // namespace

TEST(StudioTables, DcSizeCodesAreCompletePrefixCodes) {
    expectCompletePrefixCode({studio::kLumaDcSize.begin(), studio::kLumaDcSize.end()}, -1);
    expectCompletePrefixCode({studio::kChromaDcSize.begin(), studio::kChromaDcSize.end()}, -2);
}

TEST(StudioTables, AcGroupCodesWithTheirReservedPrefixesAreCompletePrefixCodes) {
    for (int table = 0; table < studio::kAcTables; ++table) {
        std::vector<Vlc> codes(studio::kAcCodes[table].begin(), studio::kAcCodes[table].end());
        codes.push_back({0b000000, 6}); // start code emulation
        if (table == 2 || table == 4 || table == 5 || table == 6)
            codes.push_back({0b000001000000000, 15});
        expectCompletePrefixCode(codes, table);
    }
}
