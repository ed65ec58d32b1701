// uiskin.dll: restyles the process's buttons, static texts and progress bars with the colours of a
// skin file, and puts everything back on detach. Built freestanding (no C runtime, no static
// constructors, no TLS) because the updater maps it from memory without the system loader.
//
// How: the direct parent of every button and static control is subclassed to answer
// WM_CTLCOLORSTATIC/WM_CTLCOLORBTN; push buttons, whose colours the system fixes, are subclassed and
// painted here, and so are progress bars: PBM_SETBARCOLOR is ignored once a visual style (or Wine's
// theme) draws the bar, while painting ourselves looks the same everywhere.
// A WH_CBT hook on the attaching thread catches controls created later, as each is created. (A hook
// that sees every message, such as WH_CALLWNDPROCRET, would tax every message the thread's windows
// get: under Wine that doubled the cost of each progress update.)
//
// Subclassing is by SetWindowLongPtrA, chained through a table. On detach a window whose procedure is
// still ours gets its previous one back; one that someone subclassed after us keeps our procedure in its
// chain, inert (passing every message through), because pulling it out would drop the later subclass.
// It leaves the table at WM_NCDESTROY.

#include "skin/skin_format.h"

#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

namespace {

enum class Kind : unsigned char { free, parent, push_button, progress };

struct Entry {
    HWND window;
    DWORD thread;
    WNDPROC previous;
    Kind kind;
    bool skinned; // false: inert, every message passes straight through
};

constexpr int max_windows = 128;

// Shared between the attaching thread, the threads owning the windows, and a detaching worker thread.
// The table is guarded by table_lock; `attached` is read without it and switched off first on detach,
// so that every procedure passes messages through from that moment on.
Entry entries[max_windows];
CRITICAL_SECTION table_lock;
volatile LONG attached;
skin_format::Skin skin;
HBRUSH static_brush;
HBRUSH button_brush;
HHOOK create_hook;
UINT restore_message;

LRESULT CALLBACK skin_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

struct Locked {
    Locked() { EnterCriticalSection(&table_lock); }
    ~Locked() { LeaveCriticalSection(&table_lock); }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;
};

Entry* find_locked(HWND window)
{
    for (Entry& e : entries)
        if (e.kind != Kind::free && e.window == window)
            return &e;
    return nullptr;
}

bool lookup(HWND window, Entry& out)
{
    Locked lock;
    if (Entry* e = find_locked(window)) {
        out = *e;
        return true;
    }
    return false;
}

void forget(HWND window)
{
    Locked lock;
    if (Entry* e = find_locked(window))
        e->kind = Kind::free;
}

bool class_is(HWND window, const char* name)
{
    char buffer[64];
    return GetClassNameA(window, buffer, sizeof buffer) > 0 && lstrcmpiA(buffer, name) == 0;
}

bool is_push_button(HWND window)
{
    const LONG type = GetWindowLongA(window, GWL_STYLE) & BS_TYPEMASK;
    return class_is(window, "Button") && (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON);
}

// Puts `window` under skin_procedure, or re-activates an inert entry; false when the table is full.
bool subclass(HWND window, Kind kind)
{
    if (window == nullptr)
        return false;
    bool fresh = false;
    {
        Locked lock;
        Entry* e = find_locked(window);
        if (e != nullptr && e->skinned)
            return true;
        if (e == nullptr) {
            for (Entry& candidate : entries)
                if (candidate.kind == Kind::free) {
                    e = &candidate;
                    break;
                }
            if (e == nullptr)
                return false;
            // The previous procedure is in place before ours is, so no message can find it missing.
            *e = {window, GetWindowThreadProcessId(window, nullptr),
                  reinterpret_cast<WNDPROC>(GetWindowLongPtrA(window, GWLP_WNDPROC)), kind, true};
            fresh = true;
        }
        e->skinned = true;
    }
    if (fresh) {
        const LONG_PTR previous =
            SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&skin_procedure));
        if (previous == 0) {
            forget(window);
            return false;
        }
        Locked lock;
        if (Entry* e = find_locked(window))
            e->previous = reinterpret_cast<WNDPROC>(previous);
    }
    InvalidateRect(window, nullptr, TRUE);
    return true;
}

// The controls a skin restyles, by window class. A button that is no push button is drawn by the system
// with the parent's WM_CTLCOLOR answer, like a static text.
enum class Styling : unsigned char { parent_colours, progress_colours };
struct ControlClass {
    const char* name;
    Styling styling;
};
const ControlClass control_classes[] = {
    {"Button", Styling::parent_colours},
    {"Static", Styling::parent_colours},
    {PROGRESS_CLASSA, Styling::progress_colours},
};

// Styles one control; anything that is not a button, static or progress bar is left alone.
void style_control(HWND control)
{
    if ((GetWindowLongA(control, GWL_STYLE) & WS_CHILD) == 0)
        return;
    for (const ControlClass& c : control_classes) {
        if (!class_is(control, c.name))
            continue;
        if (c.styling == Styling::progress_colours) {
            subclass(control, Kind::progress);
        } else {
            subclass(GetParent(control), Kind::parent);
            if (is_push_button(control))
                subclass(control, Kind::push_button);
            else
                InvalidateRect(control, nullptr, TRUE);
        }
        return;
    }
}

// Runs on the window's own thread: procedure back (or inert), repaint.
void restore_window(HWND window)
{
    Entry e;
    if (!lookup(window, e))
        return;
    const bool on_top =
        GetWindowLongPtrA(window, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&skin_procedure);
    {
        Locked lock;
        if (Entry* current = find_locked(window)) {
            if (on_top)
                current->kind = Kind::free;
            else
                current->skinned = false;
        }
    }
    if (on_top)
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(e.previous));
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void fill(HDC dc, const RECT& rect, COLORREF colour)
{
    HBRUSH brush = CreateSolidBrush(colour);
    FillRect(dc, &rect, brush);
    DeleteObject(brush);
}

COLORREF mix(COLORREF a, COLORREF b)
{
    return RGB((3 * GetRValue(a) + GetRValue(b)) / 4, (3 * GetGValue(a) + GetGValue(b)) / 4,
               (3 * GetBValue(a) + GetBValue(b)) / 4);
}

void paint_push_button(HWND window)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    if (dc == nullptr)
        return;
    RECT rect;
    GetClientRect(window, &rect);
    const LRESULT state = SendMessageA(window, BM_GETSTATE, 0, 0);
    const bool pressed = (state & BST_PUSHED) != 0;
    const COLORREF border = skin.colours[skin_format::button_border];
    const COLORREF face = skin.colours[skin_format::button_face];

    fill(dc, rect, pressed ? mix(face, border) : face);
    HBRUSH frame = CreateSolidBrush(border);
    FrameRect(dc, &rect, frame);
    DeleteObject(frame);

    char text[256];
    const int length = GetWindowTextA(window, text, sizeof text);
    HGDIOBJ font = reinterpret_cast<HGDIOBJ>(SendMessageA(window, WM_GETFONT, 0, 0));
    HGDIOBJ old_font = font ? SelectObject(dc, font) : nullptr;
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, IsWindowEnabled(window) ? skin.colours[skin_format::button_text]
                                             : GetSysColor(COLOR_GRAYTEXT));
    RECT text_rect = rect;
    if (pressed)
        OffsetRect(&text_rect, 1, 1);
    DrawTextA(dc, text, length, &text_rect, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    if (old_font)
        SelectObject(dc, old_font);
    if (GetFocus() == window) {
        RECT focus = rect;
        InflateRect(&focus, -3, -3);
        DrawFocusRect(dc, &focus);
    }
    EndPaint(window, &ps);
}

void paint_progress(HWND window)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    if (dc == nullptr)
        return;
    RECT rect;
    GetClientRect(window, &rect);
    PBRANGE range{};
    SendMessageA(window, PBM_GETRANGE, TRUE, reinterpret_cast<LPARAM>(&range));
    const int position = static_cast<int>(SendMessageA(window, PBM_GETPOS, 0, 0));
    fill(dc, rect, skin.colours[skin_format::progress_background]);
    if (range.iHigh > range.iLow && position > range.iLow) {
        const bool vertical = (GetWindowLongA(window, GWL_STYLE) & PBS_VERTICAL) != 0;
        const int extent = vertical ? rect.bottom - rect.top : rect.right - rect.left;
        int done = MulDiv(position - range.iLow, extent, range.iHigh - range.iLow);
        if (done > extent)
            done = extent;
        RECT bar = rect;
        if (vertical)
            bar.top = bar.bottom - done;
        else
            bar.right = bar.left + done;
        fill(dc, bar, skin.colours[skin_format::progress_bar]);
    }
    EndPaint(window, &ps);
}

// Messages after which the system's button paints itself directly, bypassing WM_PAINT.
bool button_repaints_directly(UINT message)
{
    switch (message) {
    case BM_SETSTATE:
    case BM_SETCHECK:
    case BM_SETSTYLE:
    case WM_SETTEXT:
    case WM_ENABLE:
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_MOUSEMOVE:
    case WM_CAPTURECHANGED:
    case WM_UPDATEUISTATE:
    case WM_SETFONT:
        return true;
    default:
        return false;
    }
}

LRESULT CALLBACK skin_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    Entry e;
    if (!lookup(window, e))
        return DefWindowProcA(window, message, wparam, lparam);
    if (message == WM_NCDESTROY) {
        forget(window);
        return CallWindowProcA(e.previous, window, message, wparam, lparam);
    }
    if (restore_message != 0 && message == restore_message) {
        restore_window(window);
        return 1;
    }
    if (e.skinned && attached) {
        if (e.kind == Kind::parent && (message == WM_CTLCOLORSTATIC || message == WM_CTLCOLORBTN)) {
            HWND control = reinterpret_cast<HWND>(lparam);
            HDC dc = reinterpret_cast<HDC>(wparam);
            const bool ours =
                GetParent(control) == window && (class_is(control, "Static") || class_is(control, "Button"));
            if (ours && message == WM_CTLCOLORSTATIC && static_brush) {
                SetTextColor(dc, skin.colours[skin_format::window_text]);
                SetBkColor(dc, skin.colours[skin_format::static_background]);
                return reinterpret_cast<LRESULT>(static_brush);
            }
            if (ours && message == WM_CTLCOLORBTN && button_brush) {
                SetTextColor(dc, skin.colours[skin_format::button_text]);
                SetBkColor(dc, skin.colours[skin_format::button_face]);
                return reinterpret_cast<LRESULT>(button_brush);
            }
        } else if (e.kind == Kind::progress) {
            if (message == WM_PAINT) {
                paint_progress(window);
                return 0;
            }
            if (message == WM_ERASEBKGND)
                return 1;
        } else if (e.kind == Kind::push_button) {
            if (message == WM_PAINT) {
                paint_push_button(window);
                return 0;
            }
            if (message == WM_ERASEBKGND)
                return 1;
            if (button_repaints_directly(message)) {
                const LRESULT result = CallWindowProcA(e.previous, window, message, wparam, lparam);
                InvalidateRect(window, nullptr, FALSE);
                return result;
            }
        }
    }
    return CallWindowProcA(e.previous, window, message, wparam, lparam);
}

// Called as a window is being created, before its first message: its class, style and parent are
// known, and a control subclassed now sees all of its messages through the skin.
LRESULT CALLBACK created_hook(int code, WPARAM wparam, LPARAM lparam)
{
    if (code == HCBT_CREATEWND && attached)
        style_control(reinterpret_cast<HWND>(wparam));
    return CallNextHookEx(nullptr, code, wparam, lparam);
}

BOOL CALLBACK style_child(HWND child, LPARAM)
{
    style_control(child);
    return TRUE;
}

BOOL CALLBACK style_top_level(HWND window, LPARAM)
{
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId())
        EnumChildWindows(window, style_child, 0);
    return TRUE;
}

void ensure_restore_message()
{
    if (restore_message == 0)
        restore_message = RegisterWindowMessageA("uiskin.restore");
}

bool detach_all()
{
    if (InterlockedExchange(&attached, 0) == 0)
        return false;
    if (create_hook) {
        UnhookWindowsHookEx(create_hook);
        create_hook = nullptr;
    }
    const DWORD self = GetCurrentThreadId();
    bool all_done = true;
    for (int i = 0; i < max_windows; ++i) {
        HWND window;
        DWORD thread;
        {
            Locked lock;
            if (entries[i].kind == Kind::free || !entries[i].skinned)
                continue;
            window = entries[i].window;
            thread = entries[i].thread;
        }
        if (thread == self) {
            restore_window(window);
        } else {
            // Window procedures are swapped only on the window's own thread; a hung owner leaves the
            // entry inert, which `attached` already guarantees.
            DWORD_PTR result = 0;
            if (!SendMessageTimeoutA(window, restore_message, 0, 0, SMTO_NORMAL | SMTO_ABORTIFHUNG, 5000,
                                     &result))
                all_done = false;
        }
    }
    // A colour message still in flight on a thread that did not answer may yet select these brushes.
    if (all_done) {
        DeleteObject(static_brush);
        DeleteObject(button_brush);
        static_brush = button_brush = nullptr;
    }
    return true;
}

} // namespace

extern "C" int WINAPI SkinAttach(const void* data, int length)
{
    skin_format::Skin parsed;
    if (!skin_format::parse(static_cast<const unsigned char*>(data), length, parsed))
        return 0;
    ensure_restore_message();
    detach_all();
    skin = parsed;
    static_brush = CreateSolidBrush(skin.colours[skin_format::static_background]);
    button_brush = CreateSolidBrush(skin.colours[skin_format::button_face]);
    InterlockedExchange(&attached, 1);
    create_hook = SetWindowsHookExA(WH_CBT, created_hook, nullptr, GetCurrentThreadId());
    EnumWindows(style_top_level, 0);
    return 1;
}

extern "C" int WINAPI SkinDetach()
{
    ensure_restore_message();
    return detach_all() ? 1 : 0;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
        InitializeCriticalSection(&table_lock);
    else if (reason == DLL_PROCESS_DETACH)
        detach_all(); // the code goes away with the block: no window may keep pointing into it
    return TRUE;
}
