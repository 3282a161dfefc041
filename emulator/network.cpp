// The network's life: loading a scenario, attaching adapters, who hears whom, and the way
// frames travel to the adapters through the faults of the line.
#include "emulator/network.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <sstream>

namespace {

std::unique_ptr<EmuNetwork>& the_network() {
    static std::unique_ptr<EmuNetwork> network;
    return network;
}

bool chance(EmuNetwork& n, double p) {
    if (p <= 0.0) {
        return false;
    }
    return std::uniform_real_distribution<double>(0.0, 1.0)(n.random) < p;
}

uint32_t uniform(EmuNetwork& n, uint32_t low, uint32_t high) {
    return std::uniform_int_distribution<uint32_t>(low, high)(n.random);
}

void cancel_tasks(EmuAdapterState& a) {
    for (ClockTaskId id : a.tasks) {
        clock_cancel(id);
    }
    a.tasks.clear();
}

// The line's faults on one frame: corruption flips bytes after the Ethernet header, truncation
// cuts the frame somewhere after its type.
void damage(EmuNetwork& n, std::vector<uint8_t>& frame) {
    if (frame.size() > 15 && chance(n, n.faults.corrupt)) {
        // One to four distinct bytes, each changed for certain.
        uint32_t flips = uniform(n, 1, 4);
        std::set<size_t> positions;
        while (positions.size() < flips) {
            positions.insert(uniform(n, 14, static_cast<uint32_t>(frame.size() - 1)));
        }
        for (size_t at : positions) {
            frame[at] ^= static_cast<uint8_t>(uniform(n, 1, 255));
        }
    }
    if (frame.size() > 15 && chance(n, n.faults.truncate)) {
        frame.resize(uniform(n, 15, static_cast<uint32_t>(frame.size() - 1)));
    }
}

// Entry types that no program takes as an answer, for floods that only load the line.
constexpr uint8_t JunkTypes[] = {0x00, 0x01, 0x05, 0x0C, 0x20, 0x31, 0x44, 0x7F, 0xA0, 0xFE};

std::vector<uint8_t> flood_frame(EmuNetwork& n, size_t adapter) {
    EmuMac source = {0x02, 0xF1, 0x00, 0x00, 0x00, 0x00};
    for (size_t i = 2; i < 6; ++i) {
        source[i] = static_cast<uint8_t>(uniform(n, 0, 255));
    }
    EmuMac destination = uniform(n, 0, 1) == 0 ? EmuBroadcast : n.adapters[adapter].spec.address;
    std::vector<uint8_t> frame = emu_frame(destination, source, 1);
    uint8_t type = n.faults.flood_entry_type >= 0 ? static_cast<uint8_t>(n.faults.flood_entry_type)
                                                  : JunkTypes[uniform(n, 0, sizeof JunkTypes - 1)];
    size_t length = uniform(n, 60, 200);
    frame.push_back(type);
    frame.push_back(static_cast<uint8_t>(length - 17));
    while (frame.size() < length) {
        frame.push_back(static_cast<uint8_t>(uniform(n, 0, 255)));
    }
    return frame;
}

// Does a station's announcement reach the adapter: it is plugged into it, or a bridge plugged
// into it hears the station.
bool announcement_reaches(const EmuNetwork& n, const EmuBridge& station, size_t adapter) {
    if (!station.present) {
        return false;
    }
    if (station.adapter_index == static_cast<int>(adapter)) {
        return true;
    }
    for (const EmuBridge& local : n.bridges) {
        if (local.adapter_index == static_cast<int>(adapter) && emu_audible(local, station)) {
            return true;
        }
    }
    return false;
}

void flood_tick(size_t adapter, uint64_t epoch) {
    EmuNetwork& n = *emu_network();
    if (n.faults.flood_per_second == 0 || n.adapters[adapter].periodic_epoch != epoch) {
        return;
    }
    uint64_t period = std::max<uint64_t>(1, 1000 / n.faults.flood_per_second);
    emu_deliver(adapter, flood_frame(n, adapter));
    emu_schedule(adapter, period, [adapter, epoch] { flood_tick(adapter, epoch); });
}

void announce_tick(size_t adapter, size_t station, uint64_t epoch) {
    EmuNetwork& n = *emu_network();
    if (n.adapters[adapter].periodic_epoch != epoch) {
        return;
    }
    const EmuBridge& s = n.bridges[station];
    if (announcement_reaches(n, s, adapter)) {
        emu_deliver(adapter, emu_announcement(s));
    }
    emu_schedule(adapter, s.announce_every_ms,
                 [adapter, station, epoch] { announce_tick(adapter, station, epoch); });
}

std::function<void(const std::string&)>& the_logger() {
    static std::function<void(const std::string&)> logger;
    return logger;
}

void run_event(const std::string& command) {
    std::string reply;
    bool ok = emulator_command(command, &reply);
    emu_log(std::string("event: ") + command + (ok ? "" : " (failed: " + reply + ")"));
}

bool install(const EmuScenario& scenario) {
    emulator_unload();
    auto n = std::make_unique<EmuNetwork>();
    static uint64_t generations = 0;
    n->generation = ++generations;
    n->scenario = scenario;
    n->faults = scenario.faults;
    n->latency_ms = scenario.latency_ms;
    n->random.seed(scenario.seed);
    n->loaded_at = clock_now();
    for (const EmuAdapterSpec& a : scenario.adapters) {
        EmuAdapterState state;
        state.spec = a;
        n->adapters.push_back(state);
    }
    for (const EmuBridgeSpec& spec : scenario.bridges) {
        EmuBridge b;
        static_cast<EmuBridgeSpec&>(b) = spec;
        std::copy(spec.ram.begin() + 6, spec.ram.begin() + 14, b.selector0_key.begin());
        for (size_t i = 0; i < scenario.adapters.size(); ++i) {
            if (scenario.adapters[i].name == spec.adapter) {
                b.adapter_index = static_cast<int>(i);
            }
        }
        n->bridges.push_back(b);
    }
    the_network() = std::move(n);
    EmuNetwork& net = *emu_network();
    // What the local bridges heard before the load: stations that left a while ago.
    for (size_t l = 0; l < net.bridges.size(); ++l) {
        const EmuBridge& local = net.bridges[l];
        if (local.adapter_index < 0) {
            continue;
        }
        for (size_t s = 0; s < net.bridges.size(); ++s) {
            const EmuBridge& station = net.bridges[s];
            if (s != l && station.heard_ago >= 0 && station.powerline == local.powerline) {
                net.heard_at[{l, s}] =
                    static_cast<int64_t>(net.loaded_at) -
                    station.heard_ago * static_cast<int64_t>(local.clock_unit_ms);
            }
        }
    }
    emu_note_hearing();
    for (const EmuEventSpec& e : scenario.events) {
        std::string command = e.command;
        net.event_tasks.push_back(
            clock_post_at(net.loaded_at + e.at_ms, [command] { run_event(command); }));
    }
    return true;
}

}  // namespace

EmuNetwork* emu_network() {
    return the_network().get();
}

// ---- Loading -----------------------------------------------------------------------------

bool emulator_load_text(const std::string& text, const std::string& name, std::string* error) {
    EmuScenario scenario;
    std::string problem;
    if (!emu_parse_scenario(text, name, &scenario, &problem)) {
        if (error != nullptr) {
            *error = problem;
        }
        return false;
    }
    return install(scenario);
}

bool emulator_load_file(const std::string& path, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (error != nullptr) {
            *error = path + ":0: cannot be read: " + std::strerror(errno);
        }
        return false;
    }
    std::stringstream text;
    text << in.rdbuf();
    return emulator_load_text(text.str(), path, error);
}

void emulator_unload() {
    EmuNetwork* n = emu_network();
    if (n == nullptr) {
        return;
    }
    for (EmuAdapterState& a : n->adapters) {
        cancel_tasks(a);
    }
    for (ClockTaskId id : n->event_tasks) {
        clock_cancel(id);
    }
    the_network().reset();
}

bool emulator_loaded() {
    return emu_network() != nullptr;
}

// ---- Adapters ----------------------------------------------------------------------------

size_t emulator_adapter_count() {
    EmuNetwork* n = emu_network();
    return n == nullptr ? 0 : n->adapters.size();
}

std::string emulator_adapter_name(size_t adapter) {
    EmuNetwork* n = emu_network();
    return n == nullptr || adapter >= n->adapters.size() ? "" : n->adapters[adapter].spec.name;
}

EmuMac emulator_adapter_address(size_t adapter) {
    EmuNetwork* n = emu_network();
    return n == nullptr || adapter >= n->adapters.size() ? EmuMac{}
                                                         : n->adapters[adapter].spec.address;
}

int emulator_find_adapter(const std::string& name) {
    for (size_t i = 0; i < emulator_adapter_count(); ++i) {
        if (emulator_adapter_name(i) == name) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void emulator_attach(size_t adapter, EmulatorOutlet outlet) {
    EmuNetwork* n = emu_network();
    if (n == nullptr || adapter >= n->adapters.size()) {
        return;
    }
    EmuAdapterState& a = n->adapters[adapter];
    cancel_tasks(a);
    a.outlet = std::move(outlet);
    a.attached = true;
    emu_start_periodic(adapter);
}

void emulator_detach(size_t adapter) {
    EmuNetwork* n = emu_network();
    if (n == nullptr || adapter >= n->adapters.size()) {
        return;
    }
    EmuAdapterState& a = n->adapters[adapter];
    cancel_tasks(a);
    a.attached = false;
    a.outlet = nullptr;
}

void emulator_from_adapter(size_t adapter, const uint8_t* frame, size_t length) {
    EmuNetwork* n = emu_network();
    if (n == nullptr || adapter >= n->adapters.size() || frame == nullptr) {
        return;
    }
    for (EmuBridge& b : n->bridges) {
        if (b.adapter_index == static_cast<int>(adapter) && b.present) {
            std::string what = emu_bridge_take(adapter, b, frame, length);
            if (!what.empty()) {
                emu_log(n->adapters[adapter].spec.name + ": " + what);
            }
        }
    }
}

// ---- Who hears whom ----------------------------------------------------------------------

bool emu_audible(const EmuBridge& a, const EmuBridge& b) {
    return &a != &b && a.present && b.present && a.powerline == b.powerline &&
           a.network_key == b.network_key;
}

bool emu_reachable_by_device_key(const EmuBridge& local, const EmuBridge& remote) {
    return &local != &remote && local.present && remote.present &&
           local.powerline == remote.powerline && remote.device_key == local.selector0_key;
}

void emu_note_hearing() {
    EmuNetwork* n = emu_network();
    if (n == nullptr) {
        return;
    }
    int64_t now = static_cast<int64_t>(clock_now());
    for (size_t l = 0; l < n->bridges.size(); ++l) {
        if (n->bridges[l].adapter_index < 0) {
            continue;
        }
        for (size_t s = 0; s < n->bridges.size(); ++s) {
            if (emu_audible(n->bridges[l], n->bridges[s])) {
                n->heard_at[{l, s}] = now;
            }
        }
    }
}

uint16_t emu_station_clock(const EmuBridge& b, int64_t t) {
    EmuNetwork* n = emu_network();
    int64_t since = t - static_cast<int64_t>(n == nullptr ? 0 : n->loaded_at);
    int64_t unit = b.clock_unit_ms;
    // Counts since the load, rounded towards minus infinity for times before it.
    int64_t counts = since >= 0 ? since / unit : -((-since + unit - 1) / unit);
    return static_cast<uint16_t>((static_cast<int64_t>(b.clock_start) + counts) & 0xFFFF);
}

void emu_link_rate(const EmuBridge& a, const EmuBridge& b, uint16_t* rate, uint8_t* rate_class,
                   bool* rate_flag) {
    *rate = b.rate;
    *rate_class = b.rate_class;
    *rate_flag = b.rate_flag;
    EmuNetwork* n = emu_network();
    for (const EmuLinkSpec& link : n->scenario.links) {
        if ((link.a == a.address && link.b == b.address) ||
            (link.a == b.address && link.b == a.address)) {
            *rate = link.rate;
            *rate_class = link.rate_class;
            *rate_flag = link.rate_flag;
        }
    }
}

EmuBridge* emu_find_bridge(const EmuMac& address) {
    EmuNetwork* n = emu_network();
    if (n == nullptr) {
        return nullptr;
    }
    for (EmuBridge& b : n->bridges) {
        if (b.address == address) {
            return &b;
        }
    }
    return nullptr;
}

// ---- Towards the adapters ----------------------------------------------------------------

void emu_schedule(size_t adapter, uint64_t delay_ms, std::function<void()> task) {
    EmuNetwork* n = emu_network();
    if (n == nullptr || adapter >= n->adapters.size() || !n->adapters[adapter].attached) {
        return;
    }
    auto id = std::make_shared<ClockTaskId>(0);
    uint64_t generation = n->generation;
    *id = clock_post_after(delay_ms, [adapter, id, generation, task = std::move(task)] {
        EmuNetwork* now = emu_network();
        // Detaching and unloading cancel these tasks; the checks only make sure of it.
        if (now == nullptr || now->generation != generation || !now->adapters[adapter].attached) {
            return;
        }
        now->adapters[adapter].tasks.erase(*id);
        task();
    });
    n->adapters[adapter].tasks.insert(*id);
}

void emu_deliver(size_t adapter, std::vector<uint8_t> frame) {
    EmuNetwork* n = emu_network();
    if (n == nullptr || adapter >= n->adapters.size() || !n->adapters[adapter].attached) {
        return;
    }
    if (frame.size() < 60) {
        frame.resize(60, 0);
    }
    if (chance(*n, n->faults.loss)) {
        return;
    }
    uint64_t delay = n->latency_ms + n->faults.delay_ms;
    if (n->faults.jitter_ms > 0) {
        delay += uniform(*n, 0, n->faults.jitter_ms);
    }
    damage(*n, frame);
    int copies = chance(*n, n->faults.duplicate) ? 2 : 1;
    for (int copy = 0; copy < copies; ++copy) {
        emu_schedule(adapter, delay + static_cast<uint64_t>(copy), [adapter, frame] {
            EmuNetwork* now = emu_network();
            EmulatorOutlet outlet = now->adapters[adapter].outlet;
            if (outlet) {
                outlet(frame.data(), frame.size());
            }
        });
    }
}

void emu_start_periodic(size_t adapter) {
    EmuNetwork* n = emu_network();
    uint64_t epoch = ++n->adapters[adapter].periodic_epoch;
    if (n->faults.flood_per_second > 0) {
        flood_tick(adapter, epoch);
    }
    for (size_t s = 0; s < n->bridges.size(); ++s) {
        const EmuBridge& b = n->bridges[s];
        if (b.announce != EmuAnnounce::none) {
            emu_schedule(adapter, b.announce_every_ms,
                         [adapter, s, epoch] { announce_tick(adapter, s, epoch); });
        }
    }
}

void emu_restart_periodic() {
    EmuNetwork* n = emu_network();
    for (size_t a = 0; a < n->adapters.size(); ++a) {
        // Answers in flight go on; the periodic tasks of the old epoch end at their next turn.
        if (n->adapters[a].attached) {
            emu_start_periodic(a);
        }
    }
}

void emu_log(const std::string& line) {
    if (the_logger()) {
        the_logger()(line);
    }
}

// ---- Run-time control and inspection -----------------------------------------------------

EmulatorFaults emulator_faults() {
    EmuNetwork* n = emu_network();
    return n == nullptr ? EmulatorFaults{} : n->faults;
}

void emulator_set_faults(const EmulatorFaults& faults) {
    EmuNetwork* n = emu_network();
    if (n == nullptr) {
        return;
    }
    bool flood_changed = faults.flood_per_second != n->faults.flood_per_second;
    n->faults = faults;
    if (flood_changed) {
        emu_restart_periodic();
    }
}

void emulator_set_logger(std::function<void(const std::string&)> logger) {
    the_logger() = std::move(logger);
}

bool emulator_bridge_keys(const EmuMac& bridge, EmuKey* network_key, EmuKey* device_key) {
    EmuBridge* b = emu_find_bridge(bridge);
    if (b == nullptr) {
        return false;
    }
    if (network_key != nullptr) {
        *network_key = b->network_key;
    }
    if (device_key != nullptr) {
        *device_key = b->device_key;
    }
    return true;
}

bool emulator_bridge_block(const EmuMac& bridge, int kind, std::array<uint8_t, 50>* block) {
    EmuBridge* b = emu_find_bridge(bridge);
    if (b == nullptr || (kind != 1 && kind != 2)) {
        return false;
    }
    *block = kind == 1 ? b->eeprom : b->ram;
    return true;
}

uint16_t emulator_bridge_clock(const EmuMac& bridge) {
    EmuBridge* b = emu_find_bridge(bridge);
    return b == nullptr ? 0 : emu_station_clock(*b, static_cast<int64_t>(clock_now()));
}
