// load_settings: the settings image, then the adapters and their bridges.
#include "app/state.h"
#include "protocol/monitor.h"
#include "transport/adapters.h"
#include "transport/discovery.h"

int load_settings() {
    read_settings_file();
    for (AdapterRecordEntry& record : AdapterRecord) {
        record.bridge_present = 0;
    }
    if (discover_bridges() == 0) {
        close_all_adapters();
        return 0;
    }
    AdaptersOpen = 1;
    // Stations never survive a load: the table is rebuilt from what answers now.
    for (AdapterSettingsBlock& block : AdapterSettings) {
        for (StationEntry& station : block.stations) {
            station.in_use = 0;
            station.rate_mbps = 0.0;
        }
    }
    TickCounter = 0;
    StepCounter = 0;
    return 1;
}
