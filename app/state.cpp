// The global tables and flags of linkwarden. All zero at program start.
#include "app/state.h"

AdapterRecordEntry AdapterRecord[MAX_ADAPTERS];
int AdapterCount;
int CurrentAdapter;
int BusyGate;
int AdaptersOpen;
int ExtendedProtocol[MAX_ADAPTERS];
uint8_t DeviceInfo[MAX_ADAPTERS][DEVICE_INFO_SIZE];
AdapterSettingsBlock AdapterSettings[MAX_ADAPTERS];
