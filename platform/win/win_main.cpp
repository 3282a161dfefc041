#include "platform/win/win_main.h"

int main() {
    static char empty[] = "";
    return WinMain(GetModuleHandleA(nullptr), nullptr, empty, SW_SHOWDEFAULT);
}
