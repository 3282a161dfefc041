// What a bridge does with a management frame from the PC: the answers it sends back through its
// adapter, and the key changes it makes on itself and, through its key under selector 0, on
// remote devices. Frames it does not know, or that are too short or carry a wrong check sum,
// it ignores, as a bridge would.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <sstream>

#include "emulator/network.h"

namespace {

// Entry types.
constexpr uint8_t SetNetworkKey = 0x04;
constexpr uint8_t StationProbe = 0x07;
constexpr uint8_t StationProbeReply = 0x08;
constexpr uint8_t BlockRead = 0x12;
constexpr uint8_t BlockReadReply = 0x13;
constexpr uint8_t MemoryRead = 0x14;
constexpr uint8_t MemoryReadReply = 0x15;
constexpr uint8_t ExtendedCommand = 0x16;
constexpr uint8_t ParameterBlock = 0x19;
constexpr uint8_t BridgeReport = 0x1A;
constexpr uint8_t BridgeAnnounce = 0x1E;
constexpr uint8_t KeyParameters = 0x1F;

// Extended commands and markers.
constexpr uint8_t ExtendedIdentify = 0xFF;
constexpr uint8_t ExtendedStationList = 0x04;
constexpr uint8_t ExtendedSetKey = 0x02;
constexpr uint8_t MemoryMarker = 0xCC;
constexpr uint8_t RequestMarker = 0xCD;
constexpr uint8_t AnswerMarker = 0xAC;

// Where the extended bridge keeps what the program reads.
constexpr uint32_t ClockLocation = 0x00CE1C;
constexpr uint32_t AgeLimitLocation = 0x00CE1E;
constexpr uint32_t DeviceInfoLocation = 0x008088;
constexpr uint32_t FirmwareLocation = 0x00FFE0;

constexpr size_t ReportLength = 204;
constexpr size_t ReportFirstRecord = 24;
constexpr size_t ReportRecordSize = 12;
constexpr int ReportRecords = 15;
constexpr size_t ListRecordSize = 24;
constexpr int ListRecords = 24;  // one answer; its first byte is also the count to unpack

// One request being handled.
struct Request {
    size_t adapter;
    EmuBridge& local;
    const uint8_t* frame;
    size_t length;
    EmuMac destination;
    EmuMac source;
    int answers = 0;
};

uint16_t sum_of(const uint8_t* frame, size_t first, size_t last) {
    uint32_t sum = 0;
    for (size_t i = first; i <= last; ++i) {
        sum += frame[i];
    }
    return static_cast<uint16_t>(sum);
}

// The check sum of bytes first..last stands, high byte first, at `at`.
bool sum_holds(const Request& r, size_t first, size_t last, size_t at) {
    return r.length >= at + 2 &&
           ((r.frame[at] << 8) | r.frame[at + 1]) == sum_of(r.frame, first, last);
}

void append_sum(std::vector<uint8_t>& frame, size_t first) {
    uint16_t sum = sum_of(frame.data(), first, frame.size() - 1);
    frame.push_back(static_cast<uint8_t>(sum >> 8));
    frame.push_back(static_cast<uint8_t>(sum));
}

EmuMac mac_at(const uint8_t* frame, size_t at) {
    EmuMac m;
    std::memcpy(m.data(), frame + at, 6);
    return m;
}

EmuKey key_at(const uint8_t* frame, size_t at) {
    EmuKey k;
    std::memcpy(k.data(), frame + at, 8);
    return k;
}

void answer(Request& r, std::vector<uint8_t> frame) {
    emu_deliver(r.adapter, std::move(frame));
    ++r.answers;
}

bool is_for(const Request& r, const EmuBridge& b) {
    return r.destination == EmuBroadcast || r.destination == b.address;
}

std::string counted(const Request& r, const std::string& what) {
    std::ostringstream out;
    out << emu_format_mac(r.source) << " -> " << emu_format_mac(r.destination) << " " << what
        << ": " << r.answers << (r.answers == 1 ? " answer" : " answers");
    return out.str();
}

// ---- Standard requests ---------------------------------------------------------------------

std::vector<uint8_t> probe_reply(const EmuBridge& from, const EmuMac& to) {
    std::vector<uint8_t> f = emu_frame(to, from.address, 1);
    f.push_back(StationProbeReply);
    f.push_back(0x00);
    return f;
}

std::string station_probe(Request& r) {
    EmuNetwork& n = *emu_network();
    if (is_for(r, r.local)) {
        answer(r, probe_reply(r.local, r.source));
    }
    for (const EmuBridge& s : n.bridges) {
        if (!s.silent && is_for(r, s) && emu_audible(r.local, s)) {
            answer(r, probe_reply(s, r.source));
        }
    }
    return counted(r, "StationProbe");
}

std::vector<uint8_t> bridge_report(const EmuBridge& local, const EmuMac& to) {
    std::vector<uint8_t> f = emu_frame(to, local.address, 1);
    f.push_back(BridgeReport);
    f.push_back(static_cast<uint8_t>(ReportLength - 17));
    f.push_back(static_cast<uint8_t>(local.kind & 0x7F));
    f.resize(ReportLength, 0);
    int k = 0;
    EmuNetwork& n = *emu_network();
    for (const EmuBridge& s : n.bridges) {
        if (k == ReportRecords || !emu_audible(local, s)) {
            continue;
        }
        uint8_t* record = f.data() + ReportFirstRecord + ReportRecordSize * k;
        std::memcpy(record, s.address.data(), 6);
        if (s.report_group_bit) {
            record[0] |= 0x01;
        }
        uint16_t rate;
        uint8_t rate_class;
        bool flag;
        emu_link_rate(local, s, &rate, &rate_class, &flag);
        record[6] = static_cast<uint8_t>(rate);
        record[7] = static_cast<uint8_t>(rate >> 8);
        ++k;
    }
    f[18] = static_cast<uint8_t>(k);  // not read by the program; the count of records
    return f;
}

std::string bridge_report_request(Request& r) {
    if ((r.frame[17] & 0x80) == 0) {
        return "";  // another bridge's answer
    }
    answer(r, bridge_report(r.local, r.source));
    return counted(r, "BridgeReport request");
}

std::vector<uint8_t> parameter_answer(const EmuBridge& b, const EmuMac& to, int kind) {
    std::vector<uint8_t> f = emu_frame(to, b.address, 1);
    f.push_back(ParameterBlock);
    f.push_back(static_cast<uint8_t>(1 + EMU_BLOCK_SIZE));
    f.push_back(static_cast<uint8_t>(kind));
    const EmuBlock& block = kind == 1 ? b.eeprom : b.ram;
    f.insert(f.end(), block.begin(), block.end());
    return f;
}

std::string parameter_request(Request& r) {
    if (r.frame[16] != 0x0F || r.length < 32) {
        return "";  // an answer, or not a request we know
    }
    uint8_t selector = r.frame[17];
    if (selector == 0x00) {
        if (!r.local.no_eeprom) {
            answer(r, parameter_answer(r.local, r.source, 1));
        }
        return counted(r, "ParameterBlock request (EEPROM)");
    }
    if (selector == 0x10) {
        answer(r, parameter_answer(r.local, r.source, 2));
        return counted(r, "ParameterBlock request (RAM)");
    }
    return "";
}

// A key under a selector: selector 0 is the key with which the bridge reaches remote devices,
// any other the network key. A transient change stays out of the EEPROM block, but the network
// key is always written to both, since the bridge cannot tell without key parameters.
void take_key(EmuBridge& b, uint8_t selector, const EmuKey& key, bool transient) {
    if (selector == 0) {
        b.selector0_key = key;
        std::copy(key.begin(), key.end(), b.ram.begin() + 6);
        if (!transient) {
            std::copy(key.begin(), key.end(), b.eeprom.begin() + 6);
        }
        return;
    }
    b.network_key = key;
    for (EmuBlock* block : {&b.eeprom, &b.ram}) {
        (*block)[14] = selector;
        std::copy(key.begin(), key.end(), block->begin() + 15);
    }
}

// The three key parameters; bit 0 of the second marks a transient change.
void take_key_parameters(EmuBridge& b, const uint8_t* p) {
    std::copy(p, p + 3, b.ram.begin() + 23);
    if ((p[1] & 0x01) == 0) {
        std::copy(p, p + 3, b.eeprom.begin() + 23);
    }
}

// The bridge applies a key request meant for it and passes it on to the remote devices that
// its key under selector 0 reaches.
template <typename Apply>
int apply_key_request(Request& r, Apply apply) {
    emu_note_hearing();
    int taken = 0;
    std::vector<EmuBridge*> remote;
    for (EmuBridge& s : emu_network()->bridges) {
        if (is_for(r, s) && emu_reachable_by_device_key(r.local, s)) {
            remote.push_back(&s);
        }
    }
    if (is_for(r, r.local)) {
        apply(r.local);
        ++taken;
    }
    for (EmuBridge* s : remote) {
        apply(*s);
        ++taken;
    }
    return taken;
}

std::string set_network_key(Request& r) {
    if (r.frame[16] != 0x09 || r.length < 26) {
        return "";
    }
    uint8_t selector = r.frame[17];
    EmuKey key = key_at(r.frame, 18);
    const uint8_t* parameters = nullptr;
    if (r.frame[14] == 2 && r.length >= 31 && r.frame[26] == KeyParameters && r.frame[27] == 0x03) {
        parameters = r.frame + 28;
    }
    bool transient = parameters != nullptr && (parameters[1] & 0x01) != 0;
    int taken = apply_key_request(r, [&](EmuBridge& b) {
        take_key(b, selector, key, transient);
        if (parameters != nullptr) {
            take_key_parameters(b, parameters);
        }
    });
    std::ostringstream what;
    what << "SetNetworkKey selector " << int(selector) << (parameters ? " with parameters" : "")
         << ", taken by " << taken;
    return counted(r, what.str());
}

std::string key_parameters(Request& r) {
    if (r.frame[16] != 0x03 || r.length < 20) {
        return "";
    }
    const uint8_t* parameters = r.frame + 17;
    int taken = apply_key_request(r, [&](EmuBridge& b) { take_key_parameters(b, parameters); });
    return counted(r, "KeyParameters, taken by " + std::to_string(taken));
}

// ---- Extended requests ---------------------------------------------------------------------

std::vector<uint8_t> extended_answer(const EmuBridge& from, const EmuMac& to, uint8_t command,
                                     const std::vector<uint8_t>& parameters) {
    std::vector<uint8_t> f = emu_frame(to, from.address, 1);
    f.push_back(ExtendedCommand);
    f.push_back(static_cast<uint8_t>(5 + parameters.size()));
    f.push_back(0x00);
    f.push_back(AnswerMarker);
    f.push_back(command);
    f.insert(f.end(), parameters.begin(), parameters.end());
    append_sum(f, 18);
    return f;
}

std::vector<uint8_t> station_record(const EmuBridge& local, const EmuBridge& s, int number,
                                    int64_t heard_at) {
    std::vector<uint8_t> record(ListRecordSize, 0);
    record[0] = static_cast<uint8_t>(ListRecordSize);
    record[1] = static_cast<uint8_t>(number);
    std::memcpy(record.data() + 2, s.address.data(), 6);
    uint16_t stamp = emu_station_clock(local, heard_at);
    record[8] = static_cast<uint8_t>(stamp);
    record[9] = static_cast<uint8_t>(stamp >> 8);
    uint16_t rate;
    uint8_t rate_class;
    bool flag;
    emu_link_rate(local, s, &rate, &rate_class, &flag);
    record[22] = static_cast<uint8_t>((flag ? 0x80 : 0x00) | ((rate_class & 0x03) << 4));
    record[23] = static_cast<uint8_t>((rate_class & 0x04) != 0 ? 0x80 : 0x00);
    return record;
}

// The stations the bridge has heard, one entry each; the first payload byte (the first
// record's length) doubles as the number of entries to unpack.
std::vector<uint8_t> station_list(const EmuBridge& local, const EmuMac& to) {
    emu_note_hearing();
    EmuNetwork& n = *emu_network();
    size_t l = static_cast<size_t>(&local - n.bridges.data());
    std::vector<uint8_t> f = emu_frame(to, local.address, 0);
    int count = 0;
    for (size_t s = 0; s < n.bridges.size() && count < ListRecords; ++s) {
        auto heard = n.heard_at.find({l, s});
        if (heard == n.heard_at.end()) {
            continue;
        }
        std::vector<uint8_t> entry =
            extended_answer(local, to, ExtendedStationList,
                            station_record(local, n.bridges[s], count + 1, heard->second));
        f.insert(f.end(), entry.begin() + 15, entry.end());
        ++count;
    }
    if (count == 0) {
        std::vector<uint8_t> entry = extended_answer(local, to, ExtendedStationList, {0x00});
        f.insert(f.end(), entry.begin() + 15, entry.end());
        count = 1;
    }
    f[14] = static_cast<uint8_t>(count);
    return f;
}

void take_extended_key(EmuBridge& b, const EmuKey& key) {
    take_key(b, 1, key, false);
}

std::string extended_command(Request& r) {
    if (r.local.family != EmuFamily::extended || r.length < 22 || r.frame[17] != 0x00 ||
        r.frame[18] != RequestMarker) {
        return "";
    }
    uint8_t command = r.frame[19];
    if (command == ExtendedIdentify && sum_holds(r, 18, 19, 20)) {
        answer(r, extended_answer(r.local, r.source, ExtendedIdentify, {}));
        return counted(r, "ExtendedIdentify");
    }
    if (command == ExtendedStationList && sum_holds(r, 18, 19, 20)) {
        answer(r, station_list(r.local, r.source));
        return counted(r, "ExtendedStationList request");
    }
    if (command != ExtendedSetKey || r.length < 32 || r.frame[21] != 0x01) {
        return "";
    }
    uint8_t mode = r.frame[20];
    if (mode == 0x01 && sum_holds(r, 18, 29, 30)) {
        emu_note_hearing();
        take_extended_key(r.local, key_at(r.frame, 22));
        answer(r, extended_answer(r.local, r.source, ExtendedSetKey, {0x01, 0x00}));
        return counted(r, "ExtendedSetKey (local bridge)");
    }
    if (mode == 0x02 && r.length >= 41 && sum_holds(r, 18, 38, 39)) {
        // Key B is the device key by which the bridge reaches the device; key A goes onto it.
        EmuKey network_key = key_at(r.frame, 22);
        EmuKey device_key = key_at(r.frame, 31);
        emu_note_hearing();
        for (EmuBridge& s : emu_network()->bridges) {
            if (&s == &r.local || !s.present || s.powerline != r.local.powerline ||
                s.device_key != device_key) {
                continue;
            }
            take_extended_key(s, network_key);
            if (s.family == EmuFamily::extended && !s.silent) {
                answer(r, extended_answer(s, r.source, ExtendedSetKey, {0x02, 0x00}));
            }
        }
        return counted(r, "ExtendedSetKey (remote device)");
    }
    return "";
}

uint8_t memory_byte(const EmuBridge& b, uint32_t location) {
    uint16_t clock = emu_station_clock(b, static_cast<int64_t>(clock_now()));
    if (location == ClockLocation) {
        return static_cast<uint8_t>(clock);
    }
    if (location == ClockLocation + 1) {
        return static_cast<uint8_t>(clock >> 8);
    }
    if (location == AgeLimitLocation) {
        return b.age_limit;
    }
    if (location >= DeviceInfoLocation && location < DeviceInfoLocation + EMU_DEVICE_INFO_SIZE) {
        return b.device_info[location - DeviceInfoLocation];
    }
    if (location >= FirmwareLocation && location < FirmwareLocation + EMU_FIRMWARE_SIZE) {
        return b.firmware[location - FirmwareLocation];
    }
    return 0;
}

uint32_t location_at(const uint8_t* frame, size_t at) {
    return (uint32_t{frame[at]} << 16) | (uint32_t{frame[at + 1]} << 8) | frame[at + 2];
}

std::string memory_read(Request& r) {
    if (r.local.family != EmuFamily::extended || r.length < 25 || r.frame[17] != 0x00 ||
        r.frame[18] != MemoryMarker || !sum_holds(r, 18, 22, 23)) {
        return "";
    }
    uint32_t location = location_at(r.frame, 19);
    uint8_t width = r.frame[22];
    if (width < 1 || width > 4) {
        return "";
    }
    std::vector<uint8_t> f = emu_frame(r.source, r.local.address, 1);
    f.push_back(MemoryReadReply);
    f.push_back(static_cast<uint8_t>(6 + width));
    f.push_back(0x00);
    f.push_back(MemoryMarker);
    f.insert(f.end(), r.frame + 19, r.frame + 23);  // location and width, echoed
    for (uint8_t i = 0; i < width; ++i) {
        f.push_back(memory_byte(r.local, location + i));  // little-endian, as memory holds it
    }
    answer(r, f);
    char what[48];
    std::snprintf(what, sizeof what, "MemoryRead 0x%06x width %d", location, width);
    return counted(r, what);
}

std::string block_read(Request& r) {
    if (r.local.family != EmuFamily::extended || r.length < 25 || r.frame[18] != 0x01 ||
        !sum_holds(r, 17, 22, 23)) {
        return "";
    }
    uint32_t location = location_at(r.frame, 19);
    uint8_t count = r.frame[22];
    std::vector<uint8_t> f = emu_frame(r.source, r.local.address, 1);
    f.push_back(BlockReadReply);
    f.push_back(static_cast<uint8_t>(std::min(255, 4 + count)));
    f.push_back(r.frame[17]);  // the tag
    f.push_back(0x01);
    f.push_back(0x01);
    f.push_back(count);
    for (uint32_t i = 0; i < count; ++i) {
        f.push_back(memory_byte(r.local, location + i));
    }
    answer(r, f);
    char what[48];
    std::snprintf(what, sizeof what, "BlockRead 0x%06x length %d", location, count);
    return counted(r, what);
}

}  // namespace

std::vector<uint8_t> emu_frame(const EmuMac& destination, const EmuMac& source, uint8_t entries) {
    std::vector<uint8_t> f(destination.begin(), destination.end());
    f.insert(f.end(), source.begin(), source.end());
    f.push_back(0x88);
    f.push_back(0x7B);
    f.push_back(entries);
    return f;
}

std::vector<uint8_t> emu_announcement(const EmuBridge& s) {
    switch (s.announce) {
        case EmuAnnounce::bridge_announce: {
            std::vector<uint8_t> f = emu_frame(EmuBroadcast, s.address, 1);
            f.push_back(BridgeAnnounce);
            f.push_back(0x01);
            f.push_back(static_cast<uint8_t>(s.kind & 0x7F));
            return f;
        }
        case EmuAnnounce::bridge_report:
            return bridge_report(s, EmuBroadcast);
        case EmuAnnounce::to_itself:
            return bridge_report(s, s.address);
        case EmuAnnounce::none:
            break;
    }
    return {};
}

std::string emu_bridge_take(size_t adapter, EmuBridge& bridge, const uint8_t* frame,
                            size_t length) {
    if (length < 18 || frame[12] != 0x88 || frame[13] != 0x7B || bridge.silent) {
        return "";
    }
    Request r{adapter, bridge, frame, length, mac_at(frame, 0), mac_at(frame, 6)};
    switch (frame[15]) {
        case StationProbe:
            return station_probe(r);
        case BridgeReport:
            return bridge_report_request(r);
        case ParameterBlock:
            return parameter_request(r);
        case SetNetworkKey:
            return set_network_key(r);
        case KeyParameters:
            return key_parameters(r);
        case ExtendedCommand:
            return extended_command(r);
        case MemoryRead:
            return memory_read(r);
        case BlockRead:
            return block_read(r);
        default:
            return "";
    }
}
