// Arbitrary frames arriving on an adapter, through the real transport and the monitor: the
// recognition rules of every taken frame, then the monitor's dispatch to the station table,
// the rate estimates and the parameter handler (which may write "plc.log").
//
// Input: frames, each a 2-byte little-endian length followed by that many bytes (cut to what is
// left). They land on the test wire, past the filter, as a driver would hand them over.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/state.h"
#include "platform/framegate/test_wire.h"
#include "platform/win/clock.h"
#include "protocol/monitor.h"
#include "transport/adapters.h"

namespace {

bool set_up() {
    // plc.log goes to a directory of the fuzzer's own.
    std::string dir = "/tmp/lw-fuzz-frames-" + std::to_string(getpid());
    mkdir(dir.c_str(), 0700);
    if (chdir(dir.c_str()) != 0) {
        std::abort();
    }
    clock_use_virtual();
    test_wire_install({TestWireAdapter{"eth0", {0x02, 0, 0, 0, 0, 0x01}}});
    if (open_all_adapters() != 1) {
        std::abort();
    }
    CurrentAdapter = 0;
    std::atexit([] { close_all_adapters(); });
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool ready = set_up();
    (void)ready;
    std::memset(AdapterSettings[0].stations, 0, sizeof AdapterSettings[0].stations);
    ExtendedProtocol[0] = size > 0 && (data[0] & 0x80) != 0 ? 1 : 0;
    size_t at = 0;
    while (at + 2 <= size) {
        size_t length = data[at] | (data[at + 1] << 8);
        at += 2;
        length = length < size - at ? length : size - at;
        test_wire_land(0, clock_now(), std::vector<uint8_t>(data + at, data + at + length));
        at += length;
    }
    clock_run_due();
    BusyGate = 0;
    monitor_tick(nullptr, 0, 0, 0);
    test_wire_clear_sent();
    return 0;
}
