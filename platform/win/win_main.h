// The entry of a Windows program: the program defines WinMain, and main() of the win_main
// library calls it with the module instance; its result is the exit code. The command line
// is not passed on: the programs take no arguments.
#pragma once

#include "platform/win/window.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command_line, int show);
