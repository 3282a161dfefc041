#include "hookprompt/prompt_window.h"

#include "platform/win/win_main.h"

const char PromptCaption[] = "PLC Configuration Utility - Connect Hardware";

// The banner, the separator frame, the prompt and OK, in creation order; OK is the only one
// that takes the focus.
const PromptControl PromptControls[PromptControlCount] = {
    {WC_STATICA, "", 0, 0, 7545, 960, SS_BITMAP | WS_BORDER, IDC_STATIC, 0},
    {WC_BUTTONA, "", 240, 2040, 7215, 135, BS_GROUPBOX | BS_FLAT, IDC_STATIC, 0},
    {WC_STATICA,
     "To complete the installation of your PLC Bridge, plug it into an Ethernet port on your PC "
     "now.   Press the OK button below when finished.",
     720, 1200, 5895, 555, SS_LEFT, IDC_STATIC, 1},
    {WC_BUTTONA, "OK", 6120, 2400, 1300, 320, BS_DEFPUSHBUTTON | WS_TABSTOP, IDOK, 0},
};

namespace {

const char ClassName[] = "HookPromptWindow";
HFONT RegularFont;
HFONT BoldFont;

// Tahoma 8.25 points at 96 dots per inch: 11 pixels high.
HFONT make_font(int weight) {
    return CreateFontA(-11, 0, 0, 0, weight, 0, 0, 0, 0, 0, 0, 0, 0, "Tahoma");
}

int create_controls(HWND window, HINSTANCE instance) {
    for (const PromptControl& c : PromptControls) {
        HWND control = CreateWindowExA(
            0, c.class_name, c.text, WS_CHILD | WS_VISIBLE | c.style, twips_to_pixels(c.left),
            twips_to_pixels(c.top), twips_to_pixels(c.width), twips_to_pixels(c.height), window,
            reinterpret_cast<HMENU>(static_cast<intptr_t>(c.id)), instance, nullptr);
        if (control == nullptr) {
            return 0;
        }
        SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(c.bold ? BoldFont : RegularFont),
                     TRUE);
        if ((c.style & SS_BITMAP) == SS_BITMAP && c.class_name == WC_STATICA) {
            SendMessageA(
                control, STM_SETIMAGE, IMAGE_BITMAP,
                reinterpret_cast<LPARAM>(LoadBitmapA(instance, MAKEINTRESOURCEA(BannerBitmap))));
        }
        if (c.id == IDOK) {
            SetFocus(control);
        }
    }
    return 1;
}

}  // namespace

int twips_to_pixels(int twips) {
    return (twips + TwipsPerPixel / 2) / TwipsPerPixel;
}

LRESULT CALLBACK prompt_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_COMMAND:
            if (LOWORD(wparam) == IDOK) {
                DestroyWindow(window);  // the program ends with its only window
            }
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcA(window, message, wparam, lparam);
    }
}

HWND create_prompt_window(HINSTANCE instance) {
    if (ArtworkLinked == 0) {
        return nullptr;
    }
    WNDCLASSA wc{};
    wc.lpfnWndProc = prompt_window_proc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(WindowIconLarge));
    wc.lpszClassName = ClassName;
    RegisterClassA(&wc);
    RegularFont = make_font(FW_NORMAL);
    BoldFont = make_font(FW_BOLD);

    DWORD style = WS_OVERLAPPEDWINDOW;
    RECT r{0, 0, twips_to_pixels(ClientWidthTwips), twips_to_pixels(ClientHeightTwips)};
    AdjustWindowRectEx(&r, style, FALSE, 0);
    int width = r.right - r.left;
    int height = r.bottom - r.top;
    int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    HWND window = CreateWindowExA(0, ClassName, PromptCaption, style, x, y, width, height, nullptr,
                                  nullptr, instance, nullptr);
    if (window == nullptr) {
        return nullptr;
    }
    SendMessageA(window, WM_SETICON, ICON_SMALL,
                 reinterpret_cast<LPARAM>(LoadIconA(instance, MAKEINTRESOURCEA(WindowIconSmall))));
    if (!create_controls(window, instance)) {
        DestroyWindow(window);
        return nullptr;
    }
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    return window;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    if (create_prompt_window(instance) == nullptr) {
        return 0;
    }
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    DeleteObject(RegularFont);
    DeleteObject(BoldFont);
    return 0;
}
