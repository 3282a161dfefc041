// Reading scenario files. Every problem is reported with the line of the value at fault, and
// fields that the format does not know are refused, so a typo never passes unnoticed.
#include "emulator/scenario.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <stdexcept>

#include "emulator/json_lines.h"

using nlohmann::json;

namespace {

const char* const DefaultNetworkPassword = "WindLark";

// A problem with the value at `pointer`.
struct ScenarioProblem : std::runtime_error {
    std::string pointer;
    ScenarioProblem(std::string at, const std::string& what)
        : std::runtime_error(what), pointer(std::move(at)) {}
};

std::string in_quotes(const std::string& s) {
    return "\"" + s + "\"";
}

// Typed access to the members of one JSON object, with the pointer of each for messages.
class Fields {
  public:
    Fields(const json& object, std::string pointer, std::set<std::string> known)
        : object_(object), pointer_(std::move(pointer)) {
        if (!object.is_object()) {
            throw ScenarioProblem(pointer_, "expected an object { ... }");
        }
        for (const auto& [key, value] : object.items()) {
            if (known.count(key) == 0) {
                throw ScenarioProblem(at(key), "unknown field " + in_quotes(key));
            }
        }
    }

    std::string at(const std::string& key) const { return pointer_ + "/" + key; }
    bool has(const std::string& key) const { return object_.contains(key); }
    const json& raw(const std::string& key) const { return object_.at(key); }

    std::string text(const std::string& key, const std::string& fallback) const {
        if (!has(key)) {
            return fallback;
        }
        if (!raw(key).is_string()) {
            throw ScenarioProblem(at(key), key + " must be a text in double quotes");
        }
        return raw(key).get<std::string>();
    }

    std::string required_text(const std::string& key) const {
        if (!has(key)) {
            throw ScenarioProblem(pointer_, "missing field " + in_quotes(key));
        }
        return text(key, "");
    }

    int64_t integer(const std::string& key, int64_t fallback, int64_t low, int64_t high) const {
        if (!has(key)) {
            return fallback;
        }
        const json& v = raw(key);
        if (!v.is_number_integer()) {
            throw ScenarioProblem(at(key), key + " must be a whole number");
        }
        int64_t n =
            v.is_number_unsigned() && v.get<uint64_t>() > INT64_MAX ? INT64_MAX : v.get<int64_t>();
        if (n < low || n > high) {
            throw ScenarioProblem(at(key), key + " must be from " + std::to_string(low) + " to " +
                                               std::to_string(high) + ", not " + std::to_string(n));
        }
        return n;
    }

    double probability(const std::string& key, double fallback) const {
        if (!has(key)) {
            return fallback;
        }
        const json& v = raw(key);
        if (!v.is_number() || v.get<double>() < 0.0 || v.get<double>() > 1.0) {
            throw ScenarioProblem(at(key), key + " must be a number from 0 to 1");
        }
        return v.get<double>();
    }

    bool flag(const std::string& key, bool fallback) const {
        if (!has(key)) {
            return fallback;
        }
        if (!raw(key).is_boolean()) {
            throw ScenarioProblem(at(key), key + " must be true or false");
        }
        return raw(key).get<bool>();
    }

    EmuMac mac(const std::string& key) const {
        std::string s = required_text(key);
        EmuMac m;
        if (!emu_parse_mac(s, &m)) {
            throw ScenarioProblem(at(key), in_quotes(s) +
                                               " is not an Ethernet address (six hex bytes "
                                               "separated by colons, like 02:00:00:00:00:01)");
        }
        return m;
    }

    // Hex bytes, optionally separated by spaces or colons; at most `size`, exactly when `exact`.
    std::vector<uint8_t> hex(const std::string& key, size_t size, bool exact) const {
        std::string s = required_text(key);
        std::vector<uint8_t> bytes;
        std::string digits;
        for (char c : s) {
            if (c == ' ' || c == ':') {
                continue;
            }
            if (!std::isxdigit(static_cast<unsigned char>(c))) {
                throw ScenarioProblem(at(key), key + " must be hexadecimal bytes");
            }
            digits += c;
        }
        if (digits.size() % 2 != 0) {
            throw ScenarioProblem(at(key), key + " has an odd number of hex digits");
        }
        for (size_t i = 0; i < digits.size(); i += 2) {
            bytes.push_back(static_cast<uint8_t>(std::stoi(digits.substr(i, 2), nullptr, 16)));
        }
        if (bytes.size() > size || (exact && bytes.size() != size)) {
            throw ScenarioProblem(at(key), key + " must hold " + (exact ? "" : "at most ") +
                                               std::to_string(size) + " bytes, not " +
                                               std::to_string(bytes.size()));
        }
        return bytes;
    }

  private:
    const json& object_;
    std::string pointer_;
};

const json& array_at(const json& root, const std::string& key) {
    static const json empty = json::array();
    if (!root.contains(key)) {
        return empty;
    }
    if (!root.at(key).is_array()) {
        throw ScenarioProblem("/" + key, key + " must be a list [ ... ]");
    }
    return root.at(key);
}

EmulatorFaults read_faults(const json& value, const std::string& pointer) {
    Fields f(value, pointer,
             {"loss", "delay_ms", "jitter_ms", "duplicate", "corrupt", "truncate",
              "flood_per_second", "flood_entry_type"});
    EmulatorFaults faults;
    faults.loss = f.probability("loss", 0.0);
    faults.delay_ms = static_cast<uint32_t>(f.integer("delay_ms", 0, 0, 60000));
    faults.jitter_ms = static_cast<uint32_t>(f.integer("jitter_ms", 0, 0, 60000));
    faults.duplicate = f.probability("duplicate", 0.0);
    faults.corrupt = f.probability("corrupt", 0.0);
    faults.truncate = f.probability("truncate", 0.0);
    faults.flood_per_second = static_cast<uint32_t>(f.integer("flood_per_second", 0, 0, 1000));
    faults.flood_entry_type = static_cast<int>(f.integer("flood_entry_type", -1, -1, 255));
    return faults;
}

// The blocks a bridge starts with: its address, the key under selector 0 (its own device key),
// selector 1 with the network key, and the key parameters the program sets.
EmuBlock default_block(const EmuBridgeSpec& b) {
    EmuBlock block{};
    std::copy(b.address.begin(), b.address.end(), block.begin());
    std::copy(b.device_key.begin(), b.device_key.end(), block.begin() + 6);
    block[14] = 1;
    std::copy(b.network_key.begin(), b.network_key.end(), block.begin() + 15);
    block[23] = 0x40;
    block[24] = 0x00;
    block[25] = 0x01;
    return block;
}

std::string default_device_password(const EmuMac& m) {
    char text[16];
    std::snprintf(text, sizeof text, "%02X%02X%02X%02X%02X%02X", m[0], m[1], m[2], m[3], m[4],
                  m[5]);
    return text;
}

void check_password(const std::string& password, const std::string& pointer) {
    if (password.size() < 4 || password.size() > 24) {
        throw ScenarioProblem(pointer, "a password has 4 to 24 characters");
    }
    for (char c : password) {
        if (static_cast<signed char>(c) < 0x20) {
            throw ScenarioProblem(pointer, "a password holds only characters 0x20 to 0x7F");
        }
    }
}

EmuBridgeSpec read_bridge(const json& value, const std::string& pointer) {
    Fields f(value, pointer,
             {"address",
              "adapter",
              "family",
              "kind",
              "powerline",
              "present",
              "device_password",
              "network_password",
              "network_key",
              "eeprom",
              "ram",
              "blank_blocks",
              "firmware",
              "device_info",
              "clock_start",
              "clock_unit_ms",
              "age_limit",
              "heard_ago",
              "rate",
              "rate_class",
              "rate_flag",
              "report_group_bit",
              "silent",
              "no_eeprom",
              "announce",
              "announce_every_ms",
              "comment"});
    EmuBridgeSpec b;
    b.address = f.mac("address");
    b.adapter = f.text("adapter", "");
    std::string family = f.text("family", "standard");
    if (family == "extended") {
        b.family = EmuFamily::extended;
    } else if (family != "standard") {
        throw ScenarioProblem(f.at("family"), "family is \"standard\" or \"extended\"");
    }
    b.kind = static_cast<int>(f.integer("kind", 2, 0, 127));
    b.powerline = f.text("powerline", "mains");
    b.present = f.flag("present", true);

    b.device_password = f.text("device_password", default_device_password(b.address));
    check_password(b.device_password, f.at("device_password"));
    b.device_key = emulator_derive_key(b.device_password);
    if (f.has("network_key")) {
        if (f.has("network_password")) {
            throw ScenarioProblem(f.at("network_key"),
                                  "give network_password or network_key, not both");
        }
        std::vector<uint8_t> key = f.hex("network_key", 8, true);
        std::copy(key.begin(), key.end(), b.network_key.begin());
    } else {
        std::string password = f.text("network_password", DefaultNetworkPassword);
        check_password(password, f.at("network_password"));
        b.network_key = emulator_derive_key(password);
    }

    b.eeprom = default_block(b);
    b.ram = b.eeprom;
    if (f.has("eeprom")) {
        std::vector<uint8_t> block = f.hex("eeprom", EMU_BLOCK_SIZE, true);
        std::copy(block.begin(), block.end(), b.eeprom.begin());
    }
    if (f.has("ram")) {
        std::vector<uint8_t> block = f.hex("ram", EMU_BLOCK_SIZE, true);
        std::copy(block.begin(), block.end(), b.ram.begin());
    }
    if (f.has("blank_blocks")) {
        std::string which = f.text("blank_blocks", "");
        if (which != "eeprom" && which != "ram" && which != "both") {
            throw ScenarioProblem(f.at("blank_blocks"),
                                  "blank_blocks is \"eeprom\", \"ram\" or \"both\"");
        }
        if (which != "ram") {
            std::fill(b.eeprom.begin(), b.eeprom.begin() + 6, 0xFF);
        }
        if (which != "eeprom") {
            std::fill(b.ram.begin(), b.ram.begin() + 6, 0xFF);
        }
    }

    std::string firmware = f.text(
        "firmware", b.family == EmuFamily::extended ? "PLC-TURBO FW 2.4.17" : "PLC FW 1.0.8");
    if (firmware.size() > EMU_FIRMWARE_SIZE) {
        throw ScenarioProblem(f.at("firmware"), "firmware holds at most 31 characters");
    }
    std::copy(firmware.begin(), firmware.end(), b.firmware.begin());
    b.device_info = {0x04, 0x03, 0x02, 0x01};
    if (f.has("device_info")) {
        std::vector<uint8_t> info = f.hex("device_info", EMU_DEVICE_INFO_SIZE, false);
        b.device_info = {};
        std::copy(info.begin(), info.end(), b.device_info.begin());
    }

    b.clock_start = static_cast<uint16_t>(f.integer("clock_start", 0, 0, 65535));
    b.clock_unit_ms = static_cast<uint32_t>(f.integer("clock_unit_ms", 1000, 1, 3600000));
    b.age_limit = static_cast<uint8_t>(f.integer("age_limit", 60, 0, 255));
    b.heard_ago = f.integer("heard_ago", -1, 0, 1000000);

    b.rate = static_cast<uint16_t>(f.integer("rate", 100, 0, 65535));
    b.rate_class = static_cast<uint8_t>(f.integer("rate_class", 4, 0, 7));
    b.rate_flag = f.flag("rate_flag", true);
    b.report_group_bit = f.flag("report_group_bit", false);

    b.silent = f.flag("silent", false);
    b.no_eeprom = f.flag("no_eeprom", false);
    if (f.has("announce")) {
        std::string style = f.text("announce", "");
        if (style == "bridge_announce") {
            b.announce = EmuAnnounce::bridge_announce;
        } else if (style == "bridge_report") {
            b.announce = EmuAnnounce::bridge_report;
        } else if (style == "to_itself") {
            b.announce = EmuAnnounce::to_itself;
        } else {
            throw ScenarioProblem(f.at("announce"),
                                  "announce is \"bridge_announce\", \"bridge_report\" or "
                                  "\"to_itself\"");
        }
        b.announce_every_ms =
            static_cast<uint32_t>(f.integer("announce_every_ms", 2000, 1, 3600000));
    } else if (f.has("announce_every_ms")) {
        throw ScenarioProblem(f.at("announce_every_ms"), "announce_every_ms needs announce");
    }
    return b;
}

void read_links(const json& root, EmuScenario* s, const std::set<EmuMac>& known) {
    const json& links = array_at(root, "links");
    for (size_t i = 0; i < links.size(); ++i) {
        std::string pointer = "/links/" + std::to_string(i);
        Fields f(links[i], pointer, {"between", "rate", "rate_class", "rate_flag", "comment"});
        if (!f.has("between") || !f.raw("between").is_array() || f.raw("between").size() != 2) {
            throw ScenarioProblem(f.has("between") ? f.at("between") : pointer,
                                  "between must list the two stations of the link");
        }
        EmuLinkSpec link{};
        for (size_t end = 0; end < 2; ++end) {
            std::string at = f.at("between") + "/" + std::to_string(end);
            const json& v = f.raw("between")[end];
            EmuMac m;
            if (!v.is_string() || !emu_parse_mac(v.get<std::string>(), &m)) {
                throw ScenarioProblem(at, "not an Ethernet address like 02:00:00:00:00:01");
            }
            if (known.count(m) == 0) {
                throw ScenarioProblem(at, "no bridge has the address " + emu_format_mac(m));
            }
            (end == 0 ? link.a : link.b) = m;
        }
        link.rate = static_cast<uint16_t>(f.integer("rate", 100, 0, 65535));
        link.rate_class = static_cast<uint8_t>(f.integer("rate_class", 4, 0, 7));
        link.rate_flag = f.flag("rate_flag", true);
        s->links.push_back(link);
    }
}

void read_scenario(const json& root, EmuScenario* s) {
    Fields top(root, "",
               {"name", "description", "seed", "latency_ms", "adapters", "bridges", "links",
                "faults", "events"});
    s->name = top.text("name", "");
    s->description = top.text("description", "");
    s->seed = static_cast<uint32_t>(top.integer("seed", 1, 0, UINT32_MAX));
    s->latency_ms = static_cast<uint32_t>(top.integer("latency_ms", 2, 0, 10000));

    const json& adapters = array_at(root, "adapters");
    if (adapters.size() > 16) {
        throw ScenarioProblem("/adapters", "at most 16 adapters");
    }
    std::set<std::string> names;
    for (size_t i = 0; i < adapters.size(); ++i) {
        std::string pointer = "/adapters/" + std::to_string(i);
        Fields f(adapters[i], pointer, {"name", "address", "comment"});
        EmuAdapterSpec a{f.required_text("name"), f.mac("address")};
        if (a.name.empty() || !names.insert(a.name).second) {
            throw ScenarioProblem(f.at("name"), "adapter names must be unique and not empty");
        }
        s->adapters.push_back(a);
    }

    const json& bridges = array_at(root, "bridges");
    std::set<EmuMac> addresses;
    for (size_t i = 0; i < bridges.size(); ++i) {
        std::string pointer = "/bridges/" + std::to_string(i);
        EmuBridgeSpec b = read_bridge(bridges[i], pointer);
        if (!addresses.insert(b.address).second) {
            throw ScenarioProblem(pointer + "/address",
                                  "two bridges have the address " + emu_format_mac(b.address));
        }
        if (!b.adapter.empty() && names.count(b.adapter) == 0) {
            throw ScenarioProblem(pointer + "/adapter",
                                  "no adapter is named " + in_quotes(b.adapter));
        }
        s->bridges.push_back(b);
    }
    read_links(root, s, addresses);

    if (top.has("faults")) {
        s->faults = read_faults(top.raw("faults"), "/faults");
    }
    const json& events = array_at(root, "events");
    for (size_t i = 0; i < events.size(); ++i) {
        std::string pointer = "/events/" + std::to_string(i);
        Fields f(events[i], pointer, {"at_ms", "command", "comment"});
        EmuEventSpec e{static_cast<uint64_t>(f.integer("at_ms", 0, 0, INT64_MAX)),
                       f.required_text("command")};
        s->events.push_back(e);
    }
}

}  // namespace

bool emu_parse_mac(const std::string& text, EmuMac* mac) {
    unsigned int b[6];
    char tail;
    if (text.size() != 17 || std::sscanf(text.c_str(), "%2x:%2x:%2x:%2x:%2x:%2x%c", &b[0], &b[1],
                                         &b[2], &b[3], &b[4], &b[5], &tail) != 6) {
        return false;
    }
    for (size_t i = 0; i < 6; ++i) {
        if (!std::isxdigit(static_cast<unsigned char>(text[i * 3])) ||
            !std::isxdigit(static_cast<unsigned char>(text[i * 3 + 1])) ||
            (i < 5 && text[i * 3 + 2] != ':')) {
            return false;
        }
        (*mac)[i] = static_cast<uint8_t>(b[i]);
    }
    return true;
}

std::string emu_format_mac(const EmuMac& m) {
    char text[18];
    std::snprintf(text, sizeof text, "%02x:%02x:%02x:%02x:%02x:%02x", m[0], m[1], m[2], m[3], m[4],
                  m[5]);
    return text;
}

bool emu_parse_scenario(const std::string& text, const std::string& name, EmuScenario* out,
                        std::string* error) {
    json root;
    try {
        root = json::parse(text);
    } catch (const json::parse_error& e) {
        // nlohmann's message names the position itself; keep only the problem.
        std::string what = e.what();
        size_t colon = what.rfind(": ");
        *error = name + ":" +
                 std::to_string(json_line_of_offset(text, e.byte > 0 ? e.byte - 1 : 0)) +
                 ": not valid JSON (" +
                 (colon == std::string::npos ? what : what.substr(colon + 2)) + ")";
        return false;
    }
    EmuScenario s;
    try {
        read_scenario(root, &s);
    } catch (const ScenarioProblem& p) {
        std::map<std::string, int> lines = json_value_lines(text);
        auto it = lines.find(p.pointer);
        int line = it == lines.end() ? 1 : it->second;
        *error = name + ":" + std::to_string(line) + ": " + p.what();
        return false;
    }
    *out = std::move(s);
    return true;
}
