// The station table: probe replies, aging, bridge-report rates and the extended station list.
#include "protocol/stations.h"

#include <algorithm>
#include <cstring>

#include "app/state.h"
#include "protocol/frames.h"
#include "transport/adapters.h"

uint8_t ExtendedStationRecords[EXTENDED_RECORDS_SIZE];

namespace {

// Rate estimate of a bridge report's rate value n: n * RATE_SCALE_1 * RATE_SCALE_2 - RATE_OFFSET,
// in exactly this order. Each literal is the exact double; this file is built without
// floating-point contraction so that no fused multiply-add changes the last bit.
constexpr double RATE_SCALE_1 = 0.023809523809523808;  // nearest to 1/42
constexpr double RATE_SCALE_2 = 1.1434511434511434;    // nearest to 550/481
constexpr double RATE_OFFSET = 0.12978912978912938;

constexpr size_t REPORT_RATE = 6;         // within a report record: the rate value
constexpr size_t REPORT_RECORD_USED = 8;  // address and rate; the rest is not read

// Station-list answer: the entries' records follow the marker and the command byte.
constexpr size_t STATION_LIST_COUNT = 20;     // first payload byte: entries to unpack
constexpr size_t ENTRY_RECORD_START = 5;      // type, length, 0x00, marker, command
constexpr size_t EMPTY_ENTRY_STRIDE = 7;      // where the walk goes on after a short entry
constexpr uint8_t SHORTEST_RECORD_ENTRY = 5;  // an entry this long or shorter adds nothing

int received_length() {
    return std::clamp(ReceivedFrameLength, 0, RECEIVE_FRAME_SIZE);
}

StationEntry* current_table() {
    if (CurrentAdapter < 0 || CurrentAdapter >= MAX_ADAPTERS) {
        return nullptr;
    }
    return AdapterSettings[CurrentAdapter].stations;
}

void empty_entry(StationEntry& entry) {
    entry.in_use = 0;
    entry.rate_mbps = 0.0;
}

// The report record of the station at `address`: an exact match first, else one that differs
// only by bit 0 of its first byte being set. Only records wholly inside the frame count.
const uint8_t* find_report_record(const uint8_t* frame, int length, const uint8_t* address) {
    int records = 0;
    while (records < REPORT_RECORDS &&
           REPORT_FIRST_RECORD + REPORT_RECORD_SIZE * records + REPORT_RECORD_USED <=
               static_cast<size_t>(length)) {
        ++records;
    }
    for (int k = 0; k < records; ++k) {
        const uint8_t* record = frame + REPORT_FIRST_RECORD + REPORT_RECORD_SIZE * k;
        if (std::memcmp(record, address, 6) == 0) {
            return record;
        }
    }
    for (int k = 0; k < records; ++k) {
        const uint8_t* record = frame + REPORT_FIRST_RECORD + REPORT_RECORD_SIZE * k;
        if (record[0] == (address[0] | 0x01) && std::memcmp(record + 1, address + 1, 5) == 0) {
            return record;
        }
    }
    return nullptr;
}

double rate_of_report_value(uint16_t n) {
    double rate = n * RATE_SCALE_1;
    rate = rate * RATE_SCALE_2;
    return rate - RATE_OFFSET;
}

void apply_extended_record(const uint8_t* record, StationEntry& entry) {
    std::memcpy(entry.address, record + EXTENDED_RECORD_ADDRESS, 6);
    int stamp = record[EXTENDED_RECORD_STAMP] | (record[EXTENDED_RECORD_STAMP + 1] << 8);
    int age = DeviceClock >= stamp ? DeviceClock - stamp : DeviceClock - stamp + 65536;
    if (age > AgeLimit) {
        entry.in_use = 0;
        entry.heard = 0;
        return;
    }
    uint8_t a = record[EXTENDED_RECORD_RATE_A];
    uint8_t b = record[EXTENDED_RECORD_RATE_B];
    int rate_class = (b >> 7) * 4 + ((a >> 4) & 0x03);
    entry.in_use = 1;
    entry.heard += 1;
    entry.rate_mbps = rate_class_mbps(rate_class, a >> 7);
}

int match_station_list(const uint8_t* frame, void* unpacked) {
    return unpack_extended_station_list(frame, received_length(), static_cast<int*>(unpacked));
}

}  // namespace

void record_station_reply(const uint8_t* frame) {
    StationEntry* table = current_table();
    if (table == nullptr || received_length() < static_cast<int>(FRAME_SOURCE + 6)) {
        return;
    }
    const uint8_t* source = frame + FRAME_SOURCE;
    if (std::memcmp(source, AdapterRecord[CurrentAdapter].bridge_address, 6) == 0) {
        return;  // the local bridge itself is no station of the list
    }
    for (int i = 0; i < STATION_COUNT; ++i) {
        if (table[i].in_use != 0 && std::memcmp(table[i].address, source, 6) == 0) {
            table[i].heard += 1;
            return;
        }
    }
    for (int i = 0; i < STATION_COUNT; ++i) {
        if (table[i].in_use == 0) {
            // heard and rate_mbps keep what the entry held before.
            std::memcpy(table[i].address, source, 6);
            table[i].in_use = 1;
            return;
        }
    }
}

void age_stations() {
    StationEntry* table = current_table();
    if (table == nullptr) {
        return;
    }
    for (int i = 0; i < STATION_COUNT && table[i].in_use != 0; ++i) {
        if (table[i].heard == 0) {
            empty_entry(table[i]);
        } else {
            table[i].heard = 0;
        }
    }
}

void estimate_station_rates(const uint8_t* frame) {
    StationEntry* table = current_table();
    if (table == nullptr) {
        return;
    }
    int length = received_length();
    for (int i = 0; i < STATION_COUNT && table[i].in_use != 0; ++i) {
        const uint8_t* record = find_report_record(frame, length, table[i].address);
        if (record != nullptr) {
            uint16_t n = record[REPORT_RATE] | (record[REPORT_RATE + 1] << 8);
            table[i].rate_mbps = rate_of_report_value(n);
        }
    }
}

int unpack_extended_station_list(const uint8_t* frame, int length, int* unpacked) {
    if (length <= static_cast<int>(STATION_LIST_COUNT) || !is_management_frame(frame) ||
        !first_entry_is(frame, ManagementEntryType::ExtendedCommand) ||
        frame[18] != EXTENDED_ANSWER_MARKER ||
        frame[19] != static_cast<uint8_t>(ExtendedCommand::ExtendedStationList)) {
        return 0;
    }
    int count = frame[STATION_LIST_COUNT];
    if (count <= *unpacked) {
        return 1;  // taken, but it brings nothing new
    }
    int entries = count - *unpacked;
    *unpacked = count;
    size_t end_of_frame = static_cast<size_t>(length);
    size_t written = 0;
    size_t p = FIRST_ENTRY_TYPE;
    for (int e = 0; e < entries && written < EXTENDED_RECORDS_SIZE; ++e) {
        if (p + 1 >= end_of_frame) {
            break;
        }
        uint8_t entry_length = frame[p + 1];
        if (entry_length <= SHORTEST_RECORD_ENTRY) {
            p += EMPTY_ENTRY_STRIDE;
            continue;
        }
        // The record runs from p + 5 up to the two check-sum bytes at p + L.
        size_t first = p + ENTRY_RECORD_START;
        size_t end = p + entry_length;
        if (end > end_of_frame) {
            break;  // a cut-off entry is not taken, nor anything after it
        }
        size_t take = std::min(end - first, EXTENDED_RECORDS_SIZE - written);
        std::memcpy(ExtendedStationRecords + written, frame + first, take);
        written += take;
        p = end + 2;
    }
    return 1;
}

int receive_extended_station_list() {
    int unpacked = 0;
    return listen_three_windows(match_station_list, &unpacked);
}

void fill_stations_from_extended_list(int adapter) {
    if (adapter < 0 || adapter >= MAX_ADAPTERS) {
        return;
    }
    StationEntry* table = AdapterSettings[adapter].stations;
    size_t offset = 0;
    for (int i = 0; i < STATION_COUNT; ++i) {
        if (offset + EXTENDED_RECORD_MIN_SIZE > EXTENDED_RECORDS_SIZE) {
            break;
        }
        const uint8_t* record = ExtendedStationRecords + offset;
        if (record[0] == 0) {
            break;
        }
        apply_extended_record(record, table[i]);
        offset += record[0];
    }
}

double rate_class_mbps(int rate_class, int flag) {
    static const double rates[8][2] = {
        {1.1, 1.1},   {4.5, 4.5},   {9.0, 13.6}, {0.0, 0.0},
        {21.0, 31.4}, {47.1, 47.1}, {0.0, 0.0},  {0.0, 0.0},
    };
    if (rate_class < 0 || rate_class > 7) {
        return 0.0;
    }
    return rates[rate_class][flag != 0 ? 1 : 0];
}
