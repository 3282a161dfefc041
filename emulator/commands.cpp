// Control commands: what plcemu reads from standard input, what scenario events run, and what
// tests use to change the network while it runs.
#include <sstream>

#include "emulator/network.h"

namespace {

struct Command {
    std::vector<std::string> words;
    std::string* reply;

    bool fail(const std::string& why) {
        *reply = why;
        return false;
    }
    bool done(const std::string& what) {
        *reply = what;
        return true;
    }
};

bool parse_on_off(const std::string& word, bool* on) {
    if (word == "on") {
        *on = true;
        return true;
    }
    if (word == "off") {
        *on = false;
        return true;
    }
    return false;
}

bool parse_number(const std::string& word, double low, double high, double* value) {
    try {
        size_t used = 0;
        *value = std::stod(word, &used);
        return used == word.size() && *value >= low && *value <= high;
    } catch (const std::exception&) {
        return false;
    }
}

EmuBridge* bridge_named(Command& c, size_t word) {
    EmuMac address;
    if (c.words.size() <= word || !emu_parse_mac(c.words[word], &address)) {
        c.fail("expected a bridge address like 02:00:00:00:00:01");
        return nullptr;
    }
    EmuBridge* b = emu_find_bridge(address);
    if (b == nullptr) {
        c.fail("no bridge has the address " + c.words[word]);
    }
    return b;
}

bool presence(Command& c, bool present) {
    EmuBridge* b = bridge_named(c, 1);
    if (b == nullptr) {
        return false;
    }
    emu_note_hearing();
    b->present = present;
    return c.done(emu_format_mac(b->address) + (present ? " joined" : " left"));
}

bool bridge_flag(Command& c, bool EmuBridge::*flag) {
    EmuBridge* b = bridge_named(c, 1);
    bool on;
    if (b == nullptr) {
        return false;
    }
    if (c.words.size() != 3 || !parse_on_off(c.words[2], &on)) {
        return c.fail("expected on or off");
    }
    b->*flag = on;
    return c.done(c.words[0] + " " + emu_format_mac(b->address) + " " + c.words[2]);
}

bool blank(Command& c) {
    EmuBridge* b = bridge_named(c, 1);
    if (b == nullptr) {
        return false;
    }
    std::string which = c.words.size() == 3 ? c.words[2] : "";
    if (which != "eeprom" && which != "ram" && which != "both") {
        return c.fail("expected eeprom, ram or both");
    }
    if (which != "ram") {
        std::fill(b->eeprom.begin(), b->eeprom.begin() + 6, 0xFF);
    }
    if (which != "eeprom") {
        std::fill(b->ram.begin(), b->ram.begin() + 6, 0xFF);
    }
    return c.done("blanked the " + which + " block of " + emu_format_mac(b->address));
}

// The station takes a new network password, as if set on it directly.
bool password(Command& c) {
    EmuBridge* b = bridge_named(c, 1);
    if (b == nullptr) {
        return false;
    }
    if (c.words.size() != 3 || c.words[2].size() < 4 || c.words[2].size() > 24) {
        return c.fail("expected a password of 4 to 24 characters (no spaces)");
    }
    emu_note_hearing();
    EmuKey key = emulator_derive_key(c.words[2]);
    b->network_key = key;
    for (EmuBlock* block : {&b->eeprom, &b->ram}) {
        (*block)[14] = 1;
        std::copy(key.begin(), key.end(), block->begin() + 15);
    }
    return c.done(emu_format_mac(b->address) + " takes network password " + c.words[2]);
}

bool rate(Command& c) {
    EmuBridge* b = bridge_named(c, 1);
    double value, rate_class = 0, flag = 0;
    if (b == nullptr) {
        return false;
    }
    if (c.words.size() < 3 || c.words.size() > 5 || !parse_number(c.words[2], 0, 65535, &value) ||
        (c.words.size() > 3 && !parse_number(c.words[3], 0, 7, &rate_class)) ||
        (c.words.size() > 4 && !parse_number(c.words[4], 0, 1, &flag))) {
        return c.fail("expected rate VALUE [CLASS [FLAG]]");
    }
    b->rate = static_cast<uint16_t>(value);
    if (c.words.size() > 3) {
        b->rate_class = static_cast<uint8_t>(rate_class);
    }
    if (c.words.size() > 4) {
        b->rate_flag = flag != 0;
    }
    return c.done("rate of " + emu_format_mac(b->address) + " set");
}

bool fault(Command& c) {
    EmulatorFaults f = emulator_faults();
    if (c.words.size() == 2 && c.words[1] == "clear") {
        emulator_set_faults(EmulatorFaults{});
        return c.done("faults cleared");
    }
    double v;
    if (c.words.size() != 3) {
        return c.fail("expected fault NAME VALUE or fault clear");
    }
    const std::string& name = c.words[1];
    const std::string& value = c.words[2];
    if (name == "loss" || name == "duplicate" || name == "corrupt" || name == "truncate") {
        if (!parse_number(value, 0, 1, &v)) {
            return c.fail(name + " is a probability from 0 to 1");
        }
        (name == "loss"        ? f.loss
         : name == "duplicate" ? f.duplicate
         : name == "corrupt"   ? f.corrupt
                               : f.truncate) = v;
    } else if (name == "delay" || name == "jitter") {
        if (!parse_number(value, 0, 60000, &v)) {
            return c.fail(name + " is milliseconds from 0 to 60000");
        }
        (name == "delay" ? f.delay_ms : f.jitter_ms) = static_cast<uint32_t>(v);
    } else if (name == "flood") {
        if (!parse_number(value, 0, 1000, &v)) {
            return c.fail("flood is frames per second from 0 to 1000");
        }
        f.flood_per_second = static_cast<uint32_t>(v);
    } else if (name == "flood-type") {
        if (!parse_number(value, -1, 255, &v)) {
            return c.fail("flood-type is an entry type from 0 to 255, or -1 for a mix");
        }
        f.flood_entry_type = static_cast<int>(v);
    } else {
        return c.fail("unknown fault " + name);
    }
    emulator_set_faults(f);
    return c.done("fault " + name + " " + value);
}

bool latency(Command& c) {
    double v;
    if (c.words.size() != 2 || !parse_number(c.words[1], 0, 10000, &v)) {
        return c.fail("expected latency MILLISECONDS");
    }
    emu_network()->latency_ms = static_cast<uint32_t>(v);
    return c.done("latency " + c.words[1] + " ms");
}

bool show(Command& c) {
    std::ostringstream out;
    EmuNetwork& n = *emu_network();
    for (const EmuBridge& b : n.bridges) {
        out << emu_format_mac(b.address) << " kind " << b.kind
            << (b.family == EmuFamily::extended ? " extended" : " standard")
            << (b.adapter.empty() ? " remote" : " on " + b.adapter) << (b.present ? "" : " absent")
            << (b.silent ? " silent" : "") << " key ";
        char hex[4];
        for (uint8_t byte : b.network_key) {
            std::snprintf(hex, sizeof hex, "%02x", byte);
            out << hex;
        }
        out << "\n";
    }
    *c.reply = out.str();
    return true;
}

}  // namespace

bool emulator_command(const std::string& line, std::string* reply) {
    std::string ignored;
    Command c{{}, reply != nullptr ? reply : &ignored};
    std::istringstream in(line);
    for (std::string word; in >> word;) {
        c.words.push_back(word);
    }
    if (emu_network() == nullptr) {
        return c.fail("no scenario is loaded");
    }
    if (c.words.empty()) {
        return c.fail("empty command");
    }
    const std::string& verb = c.words[0];
    if (verb == "leave" || verb == "join") {
        return presence(c, verb == "join");
    }
    if (verb == "silent") {
        return bridge_flag(c, &EmuBridge::silent);
    }
    if (verb == "no-eeprom") {
        return bridge_flag(c, &EmuBridge::no_eeprom);
    }
    if (verb == "blank") {
        return blank(c);
    }
    if (verb == "password") {
        return password(c);
    }
    if (verb == "rate") {
        return rate(c);
    }
    if (verb == "fault") {
        return fault(c);
    }
    if (verb == "latency") {
        return latency(c);
    }
    if (verb == "show") {
        return show(c);
    }
    return c.fail("unknown command " + verb +
                  " (leave, join, silent, no-eeprom, blank, password, rate, fault, latency, "
                  "show)");
}
