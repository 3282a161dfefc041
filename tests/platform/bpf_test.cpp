#include "platform/framegate/bpf.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// The management filter of linkwarden, written out here from the instruction table.
const BpfInstruction Management[] = {
    {0x28, 0, 0, 12}, {0x15, 0, 1, 0x887B}, {0x06, 0, 0, 0xFFFFFFFF}, {0x06, 0, 0, 0}};

std::vector<uint8_t> frame_of_type(uint8_t high, uint8_t low, size_t length = 60) {
    std::vector<uint8_t> f(length, 0);
    if (length > 13) {
        f[12] = high;
        f[13] = low;
    }
    return f;
}

TEST(Bpf, ManagementFilterPassesOnlyItsType) {
    struct Case {
        std::vector<uint8_t> frame;
        uint32_t expected;
    } cases[] = {
        {frame_of_type(0x88, 0x7B), 0xFFFFFFFF},
        {frame_of_type(0x08, 0x00), 0},
        {frame_of_type(0x7B, 0x88), 0},
        {frame_of_type(0x88, 0x7B, 14), 0xFFFFFFFF},
        {frame_of_type(0x88, 0x7B, 13), 0},  // the load runs past the frame
        {{}, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(bpf_run(Management, 4, c.frame.data(), c.frame.size()), c.expected);
    }
}

TEST(Bpf, HostileProgramsRejectInsteadOfMisbehaving) {
    std::vector<uint8_t> f = frame_of_type(0x88, 0x7B);
    const std::vector<BpfInstruction> programs[] = {
        {{0x05, 0, 0, 1000}},                                 // jump far past the end
        {{0x15, 200, 200, 0}, {0x06, 0, 0, 1}},               // conditional jump past the end
        {{0x20, 0, 0, 0x7FFFFFFF}, {0x06, 0, 0, 1}},          // load far outside the frame
        {{0x00, 0, 0, 0}, {0x34, 0, 0, 0}, {0x06, 0, 0, 1}},  // A / 0
        {{0x60, 0, 0, 99}, {0x06, 0, 0, 1}},                  // scratch memory out of range
        {{0x00, 0, 0, 5}},                                    // falls off the end
        {{0xFFFF, 0, 0, 0}},                                  // no such instruction
    };
    for (const auto& program : programs) {
        EXPECT_EQ(bpf_run(program.data(), program.size(), f.data(), f.size()), 0u);
    }
    EXPECT_EQ(bpf_run(nullptr, 0, f.data(), f.size()), 0u);
}

TEST(Bpf, IndirectLoadsScratchMemoryAndReturnOfA) {
    std::vector<uint8_t> f = frame_of_type(0x88, 0x7B);
    f[20] = 0x42;
    const BpfInstruction program[] = {
        {0x01, 0, 0, 8},   // X = 8
        {0x50, 0, 0, 12},  // A = byte[X + 12]
        {0x02, 0, 0, 3},   // M[3] = A
        {0x00, 0, 0, 0},   // A = 0
        {0x60, 0, 0, 3},   // A = M[3]
        {0x16, 0, 0, 0},   // return A
    };
    EXPECT_EQ(bpf_run(program, 6, f.data(), f.size()), 0x42u);
}

}  // namespace
