#include "platform/framegate/bpf.h"

namespace {

enum : uint16_t {
    LD = 0x00,
    LDX = 0x01,
    ST = 0x02,
    STX = 0x03,
    ALU = 0x04,
    JMP = 0x05,
    RET = 0x06,
    MISC = 0x07,
    SIZE_W = 0x00,
    SIZE_H = 0x08,
    SIZE_B = 0x10,
    MODE_IMM = 0x00,
    MODE_ABS = 0x20,
    MODE_IND = 0x40,
    MODE_MEM = 0x60,
    MODE_LEN = 0x80,
    MODE_MSH = 0xa0,
    SRC_X = 0x08,
};

constexpr size_t MEMORY_WORDS = 16;

// Loads `size` bytes big-endian at `offset`; false when they lie outside the frame.
bool load(const uint8_t* frame, size_t length, uint64_t offset, uint16_t size, uint32_t* out) {
    size_t bytes = size == SIZE_W ? 4 : size == SIZE_H ? 2 : size == SIZE_B ? 1 : 0;
    if (bytes == 0 || offset > length || length - offset < bytes) {
        return false;
    }
    uint32_t value = 0;
    for (size_t i = 0; i < bytes; ++i) {
        value = (value << 8) | frame[offset + i];
    }
    *out = value;
    return true;
}

bool alu(uint16_t op, uint32_t* a, uint32_t operand) {
    switch (op) {
        case 0x00:
            *a += operand;
            return true;
        case 0x10:
            *a -= operand;
            return true;
        case 0x20:
            *a *= operand;
            return true;
        case 0x30:
            if (operand == 0)
                return false;
            *a /= operand;
            return true;
        case 0x40:
            *a |= operand;
            return true;
        case 0x50:
            *a &= operand;
            return true;
        case 0x60:
            *a = operand >= 32 ? 0 : *a << operand;
            return true;
        case 0x70:
            *a = operand >= 32 ? 0 : *a >> operand;
            return true;
        case 0x80:
            *a = 0u - *a;
            return true;
        case 0x90:
            if (operand == 0)
                return false;
            *a %= operand;
            return true;
        case 0xa0:
            *a ^= operand;
            return true;
        default:
            return false;
    }
}

bool jump_taken(uint16_t op, uint32_t a, uint32_t operand, bool* known) {
    *known = true;
    switch (op) {
        case 0x10:
            return a == operand;
        case 0x20:
            return a > operand;
        case 0x30:
            return a >= operand;
        case 0x40:
            return (a & operand) != 0;
        default:
            *known = false;
            return false;
    }
}

}  // namespace

uint32_t bpf_run(const BpfInstruction* program, size_t count, const uint8_t* frame, size_t length) {
    if (program == nullptr || count == 0 || count > BPF_MAX_INSTRUCTIONS) {
        return 0;
    }
    uint32_t a = 0;
    uint32_t x = 0;
    uint32_t memory[MEMORY_WORDS] = {};
    size_t pc = 0;
    // Every instruction moves pc forward, so a program runs at most `count` instructions.
    while (pc < count) {
        const BpfInstruction& in = program[pc++];
        uint16_t cls = in.code & 0x07;
        uint16_t size = in.code & 0x18;
        uint16_t mode = in.code & 0xe0;
        uint32_t operand = (in.code & SRC_X) ? x : in.k;
        switch (cls) {
            case LD:
            case LDX: {
                uint32_t* target = cls == LD ? &a : &x;
                if (mode == MODE_IMM) {
                    *target = in.k;
                } else if (mode == MODE_LEN) {
                    *target = static_cast<uint32_t>(length);
                } else if (mode == MODE_MEM) {
                    if (in.k >= MEMORY_WORDS)
                        return 0;
                    *target = memory[in.k];
                } else if (cls == LD && mode == MODE_ABS) {
                    if (!load(frame, length, in.k, size, target))
                        return 0;
                } else if (cls == LD && mode == MODE_IND) {
                    if (!load(frame, length, uint64_t{x} + in.k, size, target))
                        return 0;
                } else if (cls == LDX && mode == MODE_MSH && size == SIZE_B) {
                    uint32_t byte = 0;
                    if (!load(frame, length, in.k, SIZE_B, &byte))
                        return 0;
                    x = (byte & 0x0f) * 4;
                } else {
                    return 0;
                }
                break;
            }
            case ST:
            case STX:
                if (in.k >= MEMORY_WORDS)
                    return 0;
                memory[in.k] = cls == ST ? a : x;
                break;
            case ALU:
                if (!alu(in.code & 0xf0, &a, operand))
                    return 0;
                break;
            case JMP: {
                uint16_t op = in.code & 0xf0;
                if (op == 0x00) {
                    if (in.k >= count - pc)
                        return 0;
                    pc += in.k;
                    break;
                }
                bool known = false;
                bool taken = jump_taken(op, a, operand, &known);
                if (!known)
                    return 0;
                size_t offset = taken ? in.jump_true : in.jump_false;
                if (offset >= count - pc)
                    return 0;
                pc += offset;
                break;
            }
            case RET: {
                uint16_t source = in.code & 0x18;
                return source == 0x10 ? a : source == SRC_X ? x : in.k;
            }
            case MISC:
                if ((in.code & 0xf8) == 0x00) {
                    x = a;
                } else if ((in.code & 0xf8) == 0x80) {
                    a = x;
                } else {
                    return 0;
                }
                break;
        }
    }
    return 0;  // fell off the end
}
