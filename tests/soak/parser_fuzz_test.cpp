// The download's signature parser and program check on random and mutated
// input: no crash, no read past the input, nothing accepted that is not
// what a strict reader may accept.
#include <windows.h>

#include <gtest/gtest.h>

#include <array>
#include <fstream>
#include <string>

#include "platform/handles.h"
#include "tests/soak/harness.h"
#include "tests/support/testing.h"
#include "updater/program_image.h"
#include "updater/signature.h"

namespace {

using RS = std::array<unsigned char, 64>;

// The one DER encoding of r||s: minimal lengths, a zero byte only before a
// high bit.
std::string Der(const RS& rs) {
    std::string body;
    for (int half = 0; half < 2; ++half) {
        const unsigned char* v = rs.data() + 32 * half;
        int i = 0;
        while (i < 31 && v[i] == 0) ++i;
        std::string n(reinterpret_cast<const char*>(v) + i, 32 - i);
        if (n[0] & 0x80) n.insert(0, 1, '\0');
        body += '\x02' + std::string(1, static_cast<char>(n.size())) + n;
    }
    return '\x30' + std::string(1, static_cast<char>(body.size())) + body;
}

// Input placed at the very end of a readable page, a no-access page behind
// it: a read past the end faults.
class FencedBuffer {
public:
    FencedBuffer() : base_(static_cast<unsigned char*>(VirtualAlloc(nullptr, 2 * kPage, MEM_COMMIT, PAGE_READWRITE))) {
        DWORD old = 0;
        VirtualProtect(base_ + kPage, kPage, PAGE_NOACCESS, &old);
    }
    ~FencedBuffer() { VirtualFree(base_, 0, MEM_RELEASE); }
    const unsigned char* Place(const std::string& s) {
        unsigned char* at = base_ + kPage - s.size();
        memcpy(at, s.data(), s.size());
        return at;
    }

private:
    static constexpr size_t kPage = 4096;
    unsigned char* base_;
};

TEST(ParserFuzz, SignatureAcceptsOnlyStrictDerOfTwoPositiveIntegers) {
    const std::string valid = testing_support::ReadFileBytes(std::wstring(VORNADEL_TEST_KEY_DIR) + L"\\signed.bin.sig");
    ASSERT_FALSE(valid.empty());
    FencedBuffer fence;
    RS rs{};
    ASSERT_TRUE(updater::ParseDerSignature(fence.Place(valid), valid.size(), rs));
    EXPECT_EQ(valid, Der(rs));
    const int budget = soak::FuzzBudget(20000);
    int accepted = 0;
    for (int seed = 1; seed <= budget; ++seed) {
        soak::Random random(seed);
        RS made{};
        for (auto& b : made) b = static_cast<unsigned char>(random.Next() >> (random.Below(3) ? 0 : 8 * 7));
        made[31] |= 1, made[63] |= 1;  // zero is no signature value
        if (seed % 8 == 0) std::fill(made.begin(), made.begin() + random.Below(32), 0);  // short integers
        const std::string input = seed % 3 == 0 ? Der(made)
                                  : seed % 3 == 1 ? random.Mutate(seed % 2 ? valid : Der(made))
                                                  : random.Bytes(random.Below(80));
        RS out{};
        const bool ok = updater::ParseDerSignature(fence.Place(input), input.size(), out);
        ASSERT_TRUE(seed % 3 || (ok && out == made)) << "seed " << seed << ": a valid encoding refused";
        ASSERT_TRUE(!ok || input == Der(out)) << "seed " << seed << ": accepted what is not strict DER";
        accepted += ok;
    }
    EXPECT_GE(accepted, budget / 3);
    RS out{};
    EXPECT_FALSE(updater::ParseDerSignature(fence.Place(""), 0, out));
}

// End of the last section's raw data: the check must call any shorter file
// truncated (or worse), never whole.
size_t LastSectionEnd(const std::string& pe) {
    const auto at = [&](size_t o, int n) {
        size_t v = 0;
        for (int i = n - 1; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(pe[o + i]);
        return v;
    };
    const size_t nt = at(0x3C, 4), sections = nt + 24 + at(nt + 20, 2);
    size_t end = 0;
    for (size_t i = 0; i < at(nt + 6, 2); ++i)
        end = std::max(end, at(sections + 40 * i + 20, 4) + at(sections + 40 * i + 16, 4));
    return end;
}

TEST(ParserFuzz, ProgramCheckOnTruncatedAndMutatedPrograms) {
    const std::string exe = testing_support::ReadFileBytes(testing_support::TestBinFolder() + L"\\rasdial.exe");
    ASSERT_GT(exe.size(), 4096u);
    const std::wstring path = testing_support::TempFolder() + L"\\vornadel-fuzz.exe";
    const auto check = [&](const std::string& bytes) {
        std::ofstream(path.c_str(), std::ios::binary | std::ios::trunc) << bytes;
        return updater::CheckProgramImage(path, updater::OwnMachine());
    };
    ASSERT_EQ(updater::ImageCheck::Whole, check(exe));
    const size_t end = LastSectionEnd(exe);
    ASSERT_TRUE(end > 1024 && end <= exe.size());
    // Every cut in the headers, then every 97th byte.
    for (size_t cut = 0; cut < end; cut += cut < 1024 ? 1 : 97)
        ASSERT_NE(updater::ImageCheck::Whole, check(exe.substr(0, cut))) << "cut at " << cut;
    const int budget = soak::FuzzBudget(300);
    for (int seed = 1; seed <= budget; ++seed) {
        soak::Random random(seed);
        std::string head = exe.substr(0, 1024);
        head = seed % 2 ? random.Mutate(head) : head.substr(0, 64) + random.Bytes(960);
        check(head + exe.substr(1024));  // any answer, but an answer
    }
    DeleteFileW(path.c_str());
}

}  // namespace
