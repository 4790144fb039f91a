// The signature parser and the program check on random and mutated input: no
// crash, no read past the input, nothing accepted that a strict reader refuses.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>

#include "tests/soak/harness.h"
#include "tests/support/testing.h"
#include "updater/program_image.h"
#include "updater/signature.h"

namespace {

using RS = std::array<unsigned char, 64>;
using updater::ImageCheck;

// The one DER encoding of r||s: minimal lengths, a zero byte only before a high bit.
std::string Der(const RS& rs) {
    std::string body;
    for (size_t half : {0, 32}) {
        std::string n(reinterpret_cast<const char*>(rs.data()) + half, 32);
        n.erase(0, std::min<size_t>(n.find_first_not_of('\0'), 31));
        if (n[0] & 0x80) n.insert(0, 1, '\0');
        body += '\x02' + std::string(1, static_cast<char>(n.size())) + n;
    }
    return '\x30' + std::string(1, static_cast<char>(body.size())) + body;
}

// Input ends where a no-access page begins: a read past its end faults.
struct FencedBuffer {
    FencedBuffer() { VirtualProtect(base + 4096, 4096, PAGE_NOACCESS, &old); }
    ~FencedBuffer() { VirtualFree(base, 0, MEM_RELEASE); }
    const unsigned char* Place(const std::string& s) {
        return static_cast<unsigned char*>(memcpy(base + 4096 - s.size(), s.data(), s.size()));
    }
    unsigned char* const base = static_cast<unsigned char*>(VirtualAlloc(nullptr, 8192, MEM_COMMIT, PAGE_READWRITE));
    DWORD old = 0;
};

TEST(ParserFuzz, SignatureAcceptsOnlyStrictDerOfTwoPositiveIntegers) {
    FencedBuffer fence;
    for (int seed = 1, budget = soak::FuzzBudget(20000); seed <= budget; ++seed) {
        soak::Random random(seed);
        RS made{};
        for (auto& b : made) b = static_cast<unsigned char>(random.Next());
        made[31] |= 1, made[63] |= 1;  // zero is no signature value
        if (seed % 8 == 0) std::fill(made.begin(), made.begin() + random.Below(32), 0);  // short integers
        const std::string input = seed % 3 == 0 ? Der(made)
                                  : seed % 3 == 1 ? random.Mutate(Der(made))
                                                  : random.Bytes(random.Below(80));
        RS out{};
        const bool ok = updater::ParseDerSignature(fence.Place(input), input.size(), out);
        ASSERT_TRUE(seed % 3 || (ok && out == made)) << "seed " << seed << ": a valid encoding refused";
        ASSERT_TRUE(!ok || input == Der(out)) << "seed " << seed << ": accepted what is not strict DER";
    }
}

// What mutating a valid encoding hardly ever makes, or what the check above cannot tell.
TEST(ParserFuzz, SignatureRefusesTheNearMisses) {
    RS rs;
    rs.fill(0x11);
    const std::string v = Der(rs);  // 30 44 02 20 11.. 02 20 11..
    const std::pair<const char*, std::string> rows[] = {
        {"long-form outer length", "\x30\x81\x44" + v.substr(2)},
        {"trailing byte inside the sequence", "\x30\x45" + v.substr(2) + '\0'},
        {"long-form integer length", "\x30\x45\x02\x81" + v.substr(3)},
        {"zero-length integer", std::string("\x30\x24\x02\x00", 4) + v.substr(36)},
        {"negative integer", "\x30\x44\x02\x20" + std::string(32, '\x80') + v.substr(36)},
        {"zero integer", std::string("\x30\x25\x02\x01\x00", 5) + v.substr(36)},
        {"33 bytes without a high bit to protect", std::string("\x30\x45\x02\x21\x00", 5) + v.substr(4)},
        {"33 bytes without a leading zero", "\x30\x45\x02\x21\x01" + v.substr(4)},
    };
    FencedBuffer fence;
    for (const auto& [name, der] : rows) {
        RS out{};
        EXPECT_FALSE(updater::ParseDerSignature(fence.Place(der), der.size(), out)) << name;
    }
}

TEST(ParserFuzz, ProgramCheckOnTruncatedAndMutatedPrograms) {
    const std::string exe = testing_support::ReadFileBytes(testing_support::TestBinFolder() + L"\\rasdial.exe");
    ASSERT_GT(exe.size(), 4096u);
    const LONG ntAt = *reinterpret_cast<const LONG*>(&exe[0x3C]);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(exe.data() + ntAt);
    const IMAGE_SECTION_HEADER* sections = IMAGE_FIRST_SECTION(nt);
    size_t end = 0;
    for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i)
        end = std::max<size_t>(end, size_t{sections[i].PointerToRawData} + sections[i].SizeOfRawData);
    ASSERT_TRUE(end > 1024 && end <= exe.size());
    const std::wstring path = testing_support::TempFolder() + L"\\vornadel-fuzz.exe";
    const WORD own = updater::OwnMachine();
    const auto check = [&](const std::string& bytes) {
        std::ofstream(path.c_str(), std::ios::binary | std::ios::trunc) << bytes;
        return updater::CheckProgramImage(path, own);
    };
    const auto patch = [&](size_t at, const std::string& b) { return std::string(exe).replace(at, b.size(), b); };
    const size_t flags = ntAt + 4 + offsetof(IMAGE_FILE_HEADER, Characteristics);
    const size_t firstSection = reinterpret_cast<const char*>(sections) - exe.data();
    const struct Row { const char* name; std::string bytes; ImageCheck expected; } rows[] = {
        {"overlay after the last section", exe + std::string(1000, '\xAB'), ImageCheck::Whole},
        // The first section's pointer + size wraps around 32 bits.
        {"section beyond the end", patch(firstSection + 16, {0, 2, 0, 0, 0, -1, -1, -1}), ImageCheck::Truncated},
        {"header offset negative", patch(0x3C, {0, 0, 0, '\x80'}), ImageCheck::NotProgram},
        {"PE signature damaged", patch(ntAt, "PX"), ImageCheck::NotProgram},
        {"not marked executable", patch(flags, {0, 0}), ImageCheck::NotProgram},
    };
    for (const Row& row : rows) EXPECT_EQ(check(row.bytes), row.expected) << row.name;
    // Every cut in the headers and in the last 97 bytes, every 97th between.
    for (size_t cut = 0; cut < end; cut += cut < 1024 || cut + 97 >= end ? 1 : 97)
        ASSERT_EQ(check(exe.substr(0, cut)), cut < 2 ? ImageCheck::NotProgram : ImageCheck::Truncated) << cut;
    for (int seed = 1, budget = soak::FuzzBudget(300); seed <= budget; ++seed) {
        soak::Random random(seed);
        const std::string head = exe.substr(0, 1024);
        check((seed % 2 ? random.Mutate(head) : head.substr(0, 64) + random.Bytes(960)) + exe.substr(1024));
    }
    DeleteFileW(path.c_str());
    EXPECT_EQ(updater::CheckProgramImage(path, own), ImageCheck::Unreadable);
}

}  // namespace
