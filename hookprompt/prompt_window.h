// The hook-up prompt: one window that asks the user to plug the bridge into an Ethernet port
// of the PC, and ends the program when OK is pressed or the window is closed.
#pragma once

#include "platform/win/window.h"

// Resource ids of the artwork (artwork.cpp, from the files in art/).
constexpr int BannerBitmap = 101;
constexpr int WindowIconLarge = 102;  // 32 x 32
constexpr int WindowIconSmall = 103;  // 16 x 16

// Set by artwork.cpp; reading it keeps that file, and so the artwork, in the program.
extern int ArtworkLinked;

// Positions and sizes of the window's controls are in twips, 15 to a pixel.
constexpr int TwipsPerPixel = 15;

struct PromptControl {
    const char* class_name;
    const char* text;
    int left;  // twips, in the client area
    int top;
    int width;
    int height;
    DWORD style;
    int id;
    int bold;  // 1: the bold font
};

constexpr int PromptControlCount = 4;
extern const PromptControl PromptControls[PromptControlCount];

extern const char PromptCaption[];
constexpr int ClientWidthTwips = 7515;
constexpr int ClientHeightTwips = 2940;

int twips_to_pixels(int twips);
LRESULT CALLBACK prompt_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
// Registers the class, creates the window with its controls, centred on the screen, and shows
// it with the focus on OK. Returns the window, or null.
HWND create_prompt_window(HINSTANCE instance);
