// vxdrive: drives a running Win32 program from outside, under the same
// wineserver, for the viewer's tests. Each run performs one step and prints
// what it found on stdout (UTF-8):
//
//   vxdrive [--timeout SECONDS] STEP ARGS...
//
// Windows are named by a selector: a handle (0x1234), or class=NAME,
// title=TEXT (exact) and title~=GLOB (* and ?), joined by commas; a
// control=ID or control=A/B part then names a control of the window found
// (B inside A), for the steps that act on one window. Only
// top-level windows are searched (message boxes and popup menus are
// top-level too), and only visible ones unless a step says otherwise.
//
//   list SEL                 every visible match, topmost first
//   count SEL                number of matches, hidden ones included
//   wait SEL                 waits until a visible match exists; prints it
//   wait-gone SEL            waits until no visible match is left
//   title SEL                the window text
//   enabled SEL              1 when the window (or control) takes input, else 0
//   visible SEL              1 when the window (or control) is shown, else 0
//   wait-title SEL GLOB      waits until the title matches; prints it
//   rect SEL                 "X Y W H CX CY CW CH": window and client area on
//                            the screen
//   children SEL             one line per descendant: handle, id, class, text
//   post SEL ID [LPARAM]     posts WM_COMMAND ID
//   post-rounds SEL ROUNDS PAUSE ID...  posts the commands ID... in turn,
//                            ROUNDS times, pausing PAUSE ms after each
//   press SEL ID             posts WM_COMMAND (ID, BN_CLICKED) with the control
//   message SEL MSG [WPARAM [LPARAM]]  posts any message
//   send SEL MSG [WPARAM [LPARAM]]  sends a message whose parameters hold no
//                            pointers; prints the answer
//   set-text SEL ID TEXT     sets the text of the window's control ID
//   get-text SEL ID          the text of the window's control ID (WM_GETTEXT,
//                            which reads an edit's contents)
//   (for set-text and get-text, ID may be a path A/B: control B inside
//   control A, as the edit inside a spin field)
//   items SEL                one line per item of a list box: its item data,
//                            a blank and its text; then "selected N"
//   copy-data SEL TAG TEXT   sends WM_COPYDATA (dwData TAG) with TEXT's UTF-16
//                            units and no terminator; prints the answer
//   key SEL VK               posts WM_KEYDOWN and WM_KEYUP of a virtual key
//   hover SEL X Y            moves the X pointer to the client point (X, Y)
//   activate SEL             makes the window the foreground window
//   drop SEL PATH            drops the file (a Unix path) on the middle of the
//                            window's client area through X (XDND)
//   clip-text                waits for a Unicode text on the clipboard; prints it
//   clip-set-text TEXT       puts a Unicode text on the clipboard
//   clip-dib FILE            waits for a CF_DIB on the clipboard; writes it as a
//                            .bmp file
//   clip-set-dib FILE        puts the file's bytes on the clipboard as a CF_DIB,
//                            checked by nothing (a malformed bitmap stays one)
//   clip-empty               empties the clipboard
//
// Exit status: 0 done, 1 not found or timed out, 2 bad usage. Every wait
// polls every 20 ms until its timeout (default 30 s): dialogs take hundreds
// of milliseconds to come and go, and fixed sleeps would either waste time
// or race.
//
// wchar_t is 2 bytes under wineg++ and glibc's wide functions expect 4: the
// text work here uses WCHAR with Win32 calls and converts to UTF-8 to print.
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "xdnd_drop.h"

namespace {

// char16_t strings, never std::basic_string<WCHAR>: libstdc++ was built for a
// 4-byte wchar_t, and its wide string code corrupts the 2-byte one.
using WString = std::u16string;

const WCHAR* W(const WString& text) {
    return reinterpret_cast<const WCHAR*>(text.c_str());
}

constexpr DWORD kPollMs = 20;
// Polls end as soon as their condition holds; the limit only matters when a
// loaded machine starts Wine slowly, where 30 s was seen to run out.
DWORD g_timeoutMs = 60000;

enum Status { kDone = 0, kNotFound = 1, kUsage = 2 };

WString FromWide(const WCHAR* text, size_t length) {
    return WString(reinterpret_cast<const char16_t*>(text), length);
}

std::string ToUtf8(const WString& text) {
    if (text.empty()) return {};
    const int length = static_cast<int>(text.size());
    const int n = WideCharToMultiByte(CP_UTF8, 0, W(text), length, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return {};
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, W(text), length, out.data(), n, nullptr, nullptr);
    return out;
}

bool StartsWith(const WString& text, std::u16string_view prefix) {
    return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

// Parses decimal or 0x-prefixed hexadecimal; false for anything else.
bool ParseNumber(const WString& text, long long* value) {
    const std::string narrow = ToUtf8(text);
    if (narrow.empty()) return false;
    char* end = nullptr;
    *value = std::strtoll(narrow.c_str(), &end, 0);
    return end && *end == 0;
}

// Glob over UTF-16 units: * any run, ? any one unit.
bool GlobMatch(const char16_t* pattern, const char16_t* text) {
    const char16_t* star = nullptr;
    const char16_t* resume = nullptr;
    while (*text) {
        if (*pattern == u'*') {
            star = pattern++;
            resume = text;
        } else if (*pattern == u'?' || *pattern == *text) {
            ++pattern;
            ++text;
        } else if (star) {
            pattern = star + 1;
            text = ++resume;
        } else {
            return false;
        }
    }
    while (*pattern == u'*')
        ++pattern;
    return *pattern == 0;
}

// For a window of another process GetWindowTextW reads the text the system
// keeps for it, without calling into that process: a busy program cannot
// block the driver.
WString WindowText(HWND window) {
    const int length = GetWindowTextLengthW(window);
    std::vector<WCHAR> buffer(static_cast<size_t>(length) + 2, 0);
    const int n = GetWindowTextW(window, buffer.data(), length + 1);
    return FromWide(buffer.data(), static_cast<size_t>(n > 0 ? n : 0));
}

WString ClassName(HWND window) {
    WCHAR name[256] = {};
    const int n = GetClassNameW(window, name, 256);
    return FromWide(name, static_cast<size_t>(n > 0 ? n : 0));
}

struct Selector {
    HWND handle = nullptr; // an explicit handle; the other fields are unused
    bool hasClass = false;
    WString className;
    bool hasTitle = false;
    WString title;
    bool titleIsGlob = false;
    WString controlPath; // control=A/B: a control inside the window found
};

bool ParseSelector(const WString& text, Selector* sel) {
    long long number = 0;
    if (ParseNumber(text, &number)) {
        sel->handle = reinterpret_cast<HWND>(static_cast<INT_PTR>(number));
        return true;
    }
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(u',', start);
        if (end == WString::npos) end = text.size();
        const WString part = text.substr(start, end - start);
        if (StartsWith(part, u"class=")) {
            sel->hasClass = true;
            sel->className = part.substr(6);
        } else if (StartsWith(part, u"title~=")) {
            sel->hasTitle = true;
            sel->titleIsGlob = true;
            sel->title = part.substr(7);
        } else if (StartsWith(part, u"title=")) {
            sel->hasTitle = true;
            sel->title = part.substr(6);
        } else if (StartsWith(part, u"control=")) {
            sel->controlPath = part.substr(8);
        } else {
            return false;
        }
        start = end + 1;
    }
    return sel->hasClass || sel->hasTitle;
}

bool Matches(HWND window, const Selector& sel) {
    if (sel.hasClass && ClassName(window) != sel.className) return false;
    if (sel.hasTitle) {
        const WString title = WindowText(window);
        if (sel.titleIsGlob ? !GlobMatch(sel.title.c_str(), title.c_str()) : title != sel.title)
            return false;
    }
    return true;
}

struct Search {
    const Selector* sel;
    bool visibleOnly;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectMatch(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    if (search->visibleOnly && !IsWindowVisible(window)) return TRUE;
    if (Matches(window, *search->sel)) search->found.push_back(window);
    return TRUE;
}

std::vector<HWND> FindAll(const Selector& sel, bool visibleOnly) {
    if (sel.handle) {
        if (IsWindow(sel.handle) && (!visibleOnly || IsWindowVisible(sel.handle)))
            return {sel.handle};
        return {};
    }
    Search search{&sel, visibleOnly, {}};
    EnumWindows(CollectMatch, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND FindFirst(const Selector& sel) {
    const std::vector<HWND> all = FindAll(sel, true);
    return all.empty() ? nullptr : all.front();
}

// Polls a condition until it holds or the timeout passes.
template <typename Condition>
bool WaitFor(Condition condition) {
    const DWORD start = GetTickCount();
    for (;;) {
        if (condition()) return true;
        if (GetTickCount() - start >= g_timeoutMs) return false;
        Sleep(kPollMs);
    }
}

void PrintHandle(HWND window) {
    std::printf("0x%llx\n", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(window)));
}

std::string Describe(const Selector& sel) {
    if (sel.handle) {
        char text[32];
        std::snprintf(text, sizeof text, "0x%llx",
                      static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(sel.handle)));
        return text;
    }
    std::string out;
    if (sel.hasClass) out += "class " + ToUtf8(sel.className) + " ";
    if (sel.hasTitle) out += "title " + ToUtf8(sel.title) + " ";
    return out + "(no window)";
}

// A message the window was found for but could not be posted: say why, so
// that a case failing here under load is not a silent status 1.
int PostFailed() {
    std::fprintf(stderr, "vxdrive: PostMessage failed (error %lu)\n",
                 static_cast<unsigned long>(GetLastError()));
    return kNotFound;
}

// Steps that need one existing window resolve it here, waiting for it.
HWND Resolve(const Selector& sel) {
    HWND window = nullptr;
    if (!WaitFor([&] { return (window = FindFirst(sel)) != nullptr; })) {
        std::fprintf(stderr, "vxdrive: %s\n", Describe(sel).c_str());
        return nullptr;
    }
    return window;
}

BOOL CALLBACK CollectChild(HWND window, LPARAM param) {
    reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
    return TRUE;
}

// Writes a packed DIB as a .bmp file: the file header, then the DIB as is.
bool WriteBitmapFile(const WCHAR* path, const BYTE* dib, SIZE_T size) {
    if (size < sizeof(BITMAPINFOHEADER)) return false;
    const auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(dib);
    DWORD colors = header->biClrUsed;
    if (colors == 0 && header->biBitCount <= 8) colors = 1u << header->biBitCount;
    DWORD masks = header->biCompression == BI_BITFIELDS ? 12 : 0;
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42; // "BM"
    file.bfOffBits = static_cast<DWORD>(sizeof file + header->biSize + masks + colors * 4);
    file.bfSize = static_cast<DWORD>(sizeof file + size);
    const HANDLE out =
        CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = WriteFile(out, &file, sizeof file, &written, nullptr) && written == sizeof file;
    ok = ok && WriteFile(out, dib, static_cast<DWORD>(size), &written, nullptr) && written == size;
    CloseHandle(out);
    return ok;
}

// Puts a copy of the bytes on the open clipboard.
bool SetClipboardBytes(UINT format, const void* bytes, SIZE_T size) {
    const HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size ? size : 1);
    void* target = memory ? GlobalLock(memory) : nullptr;
    if (target) {
        std::memcpy(target, bytes, size);
        GlobalUnlock(memory);
    }
    EmptyClipboard();
    if (target && SetClipboardData(format, memory)) return true;
    if (memory) GlobalFree(memory);
    return false;
}

bool ReadWholeFile(const WCHAR* path, std::vector<BYTE>& bytes) {
    const HANDLE in =
        CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (in == INVALID_HANDLE_VALUE) return false;
    const DWORD size = GetFileSize(in, nullptr);
    bytes.resize(size);
    DWORD read = 0;
    const bool ok = size == INVALID_FILE_SIZE
                        ? false
                        : ReadFile(in, bytes.data(), size, &read, nullptr) && read == size;
    CloseHandle(in);
    return ok;
}

// The clipboard belongs to whoever opened it last: retry while another
// process holds it.
bool OpenClipboardPatiently() {
    return WaitFor([] { return OpenClipboard(nullptr) != FALSE; });
}

int StepClipboard(const WString& step, const std::vector<WString>& args) {
    // A reader waits for its format: the program under test fills the
    // clipboard when it gets round to the posted command.
    const UINT wanted = step == u"clip-text" ? CF_UNICODETEXT : step == u"clip-dib" ? CF_DIB : 0;
    if (wanted && !WaitFor([&] { return IsClipboardFormatAvailable(wanted) != FALSE; })) {
        std::fprintf(stderr, "vxdrive: no clipboard format %u\n", wanted);
        return kNotFound;
    }
    if (!OpenClipboardPatiently()) {
        std::fprintf(stderr, "vxdrive: the clipboard stays locked\n");
        return kNotFound;
    }
    int status = kDone;
    if (step == u"clip-text") {
        const HANDLE data = GetClipboardData(CF_UNICODETEXT);
        const auto* text = data ? static_cast<const WCHAR*>(GlobalLock(data)) : nullptr;
        if (text) {
            std::printf("%s\n",
                        ToUtf8(FromWide(text, static_cast<size_t>(lstrlenW(text)))).c_str());
            GlobalUnlock(data);
        } else {
            status = kNotFound;
        }
    } else if (step == u"clip-set-text" && args.size() == 1) {
        if (!SetClipboardBytes(CF_UNICODETEXT, W(args[0]), (args[0].size() + 1) * sizeof(WCHAR)))
            status = kNotFound;
    } else if (step == u"clip-set-dib" && args.size() == 1) {
        std::vector<BYTE> bytes;
        if (!ReadWholeFile(W(args[0]), bytes) ||
            !SetClipboardBytes(CF_DIB, bytes.data(), bytes.size()))
            status = kNotFound;
    } else if (step == u"clip-dib" && args.size() == 1) {
        const HANDLE data = GetClipboardData(CF_DIB);
        const auto* dib = data ? static_cast<const BYTE*>(GlobalLock(data)) : nullptr;
        if (dib) {
            if (!WriteBitmapFile(W(args[0]), dib, GlobalSize(data))) status = kNotFound;
            GlobalUnlock(data);
        } else {
            status = kNotFound;
        }
    } else if (step == u"clip-empty") {
        EmptyClipboard();
    } else {
        status = kUsage;
    }
    CloseClipboard();
    return status;
}

bool ParseArg(const WString& text, long long* value) {
    if (ParseNumber(text, value)) return true;
    std::fprintf(stderr, "vxdrive: not a number: %s\n", ToUtf8(text).c_str());
    return false;
}

// A control by id, or by a path of ids "A/B" down through nested controls;
// false for a malformed path. A missing control leaves *control null.
bool FindControl(HWND window, const WString& path, HWND* control) {
    *control = window;
    size_t start = 0;
    while (start <= path.size()) {
        const size_t slash = std::min(path.find(u'/', start), path.size());
        long long id = 0;
        if (!ParseArg(path.substr(start, slash - start), &id)) return false;
        *control = *control ? GetDlgItem(*control, static_cast<int>(id)) : nullptr;
        start = slash + 1;
    }
    return true;
}

int RunStep(const WString& step, const std::vector<WString>& args) {
    if (StartsWith(step, u"clip-")) return StepClipboard(step, args);
    if (args.empty()) return kUsage;
    Selector sel;
    if (!ParseSelector(args[0], &sel)) {
        std::fprintf(stderr, "vxdrive: bad selector %s\n", ToUtf8(args[0]).c_str());
        return kUsage;
    }
    const size_t extra = args.size() - 1;

    if (step == u"count" && extra == 0) {
        std::printf("%zu\n", FindAll(sel, false).size());
        return kDone;
    }
    if (step == u"wait-gone" && extra == 0) {
        if (WaitFor([&] { return FindAll(sel, true).empty(); })) return kDone;
        std::fprintf(stderr, "vxdrive: still there: %s\n", Describe(sel).c_str());
        return kNotFound;
    }
    if (step == u"list" && extra == 0) {
        for (HWND window : FindAll(sel, true))
            PrintHandle(window);
        return kDone;
    }

    HWND window = Resolve(sel);
    if (window && !sel.controlPath.empty()) {
        if (!FindControl(window, sel.controlPath, &window)) return kUsage;
        if (!window)
            std::fprintf(stderr, "vxdrive: no control %s\n", ToUtf8(sel.controlPath).c_str());
    }
    if (!window) return kNotFound;
    long long a = 0, b = 0, c = 0;

    if (step == u"wait" && extra == 0) {
        PrintHandle(window);
    } else if (step == u"enabled" && extra == 0) {
        std::printf("%d\n", IsWindowEnabled(window) ? 1 : 0);
    } else if (step == u"visible" && extra == 0) {
        std::printf("%d\n", IsWindowVisible(window) ? 1 : 0);
    } else if (step == u"title" && extra == 0) {
        std::printf("%s\n", ToUtf8(WindowText(window)).c_str());
    } else if (step == u"wait-title" && extra == 1) {
        WString title;
        const bool ok = WaitFor([&] {
            title = WindowText(window);
            return GlobMatch(args[1].c_str(), title.c_str());
        });
        std::printf("%s\n", ToUtf8(title).c_str());
        return ok ? kDone : kNotFound;
    } else if (step == u"rect" && extra == 0) {
        RECT outer = {}, client = {};
        GetWindowRect(window, &outer);
        GetClientRect(window, &client);
        POINT origin = {0, 0};
        ClientToScreen(window, &origin);
        std::printf("%d %d %d %d %d %d %d %d\n", static_cast<int>(outer.left),
                    static_cast<int>(outer.top), static_cast<int>(outer.right - outer.left),
                    static_cast<int>(outer.bottom - outer.top), static_cast<int>(origin.x),
                    static_cast<int>(origin.y), static_cast<int>(client.right),
                    static_cast<int>(client.bottom));
    } else if (step == u"children" && extra == 0) {
        std::vector<HWND> children;
        EnumChildWindows(window, CollectChild, reinterpret_cast<LPARAM>(&children));
        for (HWND child : children) {
            std::printf("0x%llx %d %s %s\n",
                        static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(child)),
                        GetDlgCtrlID(child), ToUtf8(ClassName(child)).c_str(),
                        ToUtf8(WindowText(child)).c_str());
        }
    } else if (step == u"post" && (extra == 1 || extra == 2)) {
        if (!ParseArg(args[1], &a) || (extra == 2 && !ParseArg(args[2], &b))) return kUsage;
        if (!PostMessageW(window, WM_COMMAND, static_cast<WPARAM>(a), static_cast<LPARAM>(b)))
            return PostFailed();
    } else if (step == u"post-rounds" && extra >= 3) {
        // Rounds of commands with a pause after each, in one driver run.
        long long pause = 0;
        if (!ParseArg(args[1], &a) || !ParseArg(args[2], &pause)) return kUsage;
        for (long long round = 0; round < a; ++round)
            for (size_t i = 3; i < args.size(); ++i) {
                if (!ParseArg(args[i], &b)) return kUsage;
                if (!PostMessageW(window, WM_COMMAND, static_cast<WPARAM>(b), 0)) return PostFailed();
                Sleep(static_cast<DWORD>(pause));
            }
    } else if (step == u"press" && extra == 1) {
        if (!ParseArg(args[1], &a)) return kUsage;
        const HWND control = GetDlgItem(window, static_cast<int>(a));
        if (!PostMessageW(window, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(a), BN_CLICKED),
                          reinterpret_cast<LPARAM>(control)))
            return PostFailed();
    } else if (step == u"message" && extra >= 1 && extra <= 3) {
        if (!ParseArg(args[1], &a) || (extra >= 2 && !ParseArg(args[2], &b)) ||
            (extra == 3 && !ParseArg(args[3], &c)))
            return kUsage;
        if (!PostMessageW(window, static_cast<UINT>(a), static_cast<WPARAM>(b),
                          static_cast<LPARAM>(c)))
            return PostFailed();
    } else if (step == u"send" && extra >= 1 && extra <= 3) {
        if (!ParseArg(args[1], &a) || (extra >= 2 && !ParseArg(args[2], &b)) ||
            (extra == 3 && !ParseArg(args[3], &c)))
            return kUsage;
        DWORD_PTR answer = 0;
        if (!SendMessageTimeoutW(window, static_cast<UINT>(a), static_cast<WPARAM>(b),
                                 static_cast<LPARAM>(c), SMTO_NORMAL, g_timeoutMs, &answer))
            return kNotFound;
        std::printf("%lld\n", static_cast<long long>(static_cast<LONG_PTR>(answer)));
    } else if (step == u"set-text" && extra == 2) {
        HWND control = nullptr;
        if (!FindControl(window, args[1], &control)) return kUsage;
        // Sent, not posted: the text is copied across to the other process
        // while the driver waits.
        DWORD_PTR answer = 0;
        if (!control ||
            !SendMessageTimeoutW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(W(args[2])),
                                 SMTO_NORMAL, g_timeoutMs, &answer)) {
            std::fprintf(stderr, "vxdrive: cannot set the text of control %s\n",
                         ToUtf8(args[1]).c_str());
            return kNotFound;
        }
    } else if (step == u"get-text" && extra == 1) {
        HWND control = nullptr;
        if (!FindControl(window, args[1], &control)) return kUsage;
        WCHAR text[1024] = {};
        DWORD_PTR units = 0;
        if (!control ||
            !SendMessageTimeoutW(control, WM_GETTEXT, ARRAYSIZE(text),
                                 reinterpret_cast<LPARAM>(text), SMTO_NORMAL, g_timeoutMs, &units))
            return kNotFound;
        std::printf("%s\n", ToUtf8(FromWide(text, units < ARRAYSIZE(text) ? units : 0)).c_str());
    } else if (step == u"items" && extra == 0) {
        // Sent: the list box answers from its own process; the texts are
        // copied across by the system.
        DWORD_PTR count = 0, data = 0, selected = 0, units = 0;
        if (!SendMessageTimeoutW(window, LB_GETCOUNT, 0, 0, SMTO_NORMAL, g_timeoutMs, &count))
            return kNotFound;
        for (DWORD_PTR i = 0; i < count; ++i) {
            WCHAR text[256] = {};
            if (!SendMessageTimeoutW(window, LB_GETTEXTLEN, i, 0, SMTO_NORMAL, g_timeoutMs,
                                     &units) ||
                units >= ARRAYSIZE(text) ||
                !SendMessageTimeoutW(window, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text),
                                     SMTO_NORMAL, g_timeoutMs, &units) ||
                !SendMessageTimeoutW(window, LB_GETITEMDATA, i, 0, SMTO_NORMAL, g_timeoutMs,
                                     &data))
                return kNotFound;
            std::printf("%llu %s\n", static_cast<unsigned long long>(data),
                        ToUtf8(FromWide(text, static_cast<size_t>(lstrlenW(text)))).c_str());
        }
        SendMessageTimeoutW(window, LB_GETCURSEL, 0, 0, SMTO_NORMAL, g_timeoutMs, &selected);
        std::printf("selected %d\n", static_cast<int>(static_cast<LRESULT>(selected)));
    } else if (step == u"copy-data" && extra == 2) {
        if (!ParseArg(args[1], &a)) return kUsage;
        // No terminator, so that the receiver's own checks are what stops
        // an over-long or unterminated text.
        COPYDATASTRUCT data = {};
        data.dwData = static_cast<ULONG_PTR>(a);
        data.cbData = static_cast<DWORD>(args[2].size() * sizeof(WCHAR));
        data.lpData = const_cast<WCHAR*>(W(args[2]));
        DWORD_PTR answer = 0;
        if (!SendMessageTimeoutW(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data),
                                 SMTO_NORMAL, g_timeoutMs, &answer))
            return kNotFound;
        std::printf("%llu\n", static_cast<unsigned long long>(answer));
    } else if (step == u"drop" && extra == 1) {
        // Wine names the X window of a top-level window in this property.
        const auto xWindow =
            reinterpret_cast<UINT_PTR>(GetPropW(window, L"__wine_x11_whole_window"));
        RECT client = {};
        GetClientRect(window, &client);
        POINT middle = {client.right / 2, client.bottom / 2};
        ClientToScreen(window, &middle);
        if (!xWindow || !XdndDropFile(xWindow, middle.x, middle.y, ToUtf8(args[1]).c_str(),
                                      static_cast<int>(g_timeoutMs))) {
            std::fprintf(stderr, "vxdrive: the window took no drop\n");
            return kNotFound;
        }
    } else if (step == u"hover" && extra == 2) {
        if (!ParseArg(args[1], &a) || !ParseArg(args[2], &b)) return kUsage;
        POINT at = {static_cast<LONG>(a), static_cast<LONG>(b)};
        ClientToScreen(window, &at);
        if (!XMovePointer(at.x, at.y)) return kNotFound;
    } else if (step == u"activate" && extra == 0) {
        if (!SetForegroundWindow(window)) return kNotFound;
        if (!WaitFor([&] { return GetForegroundWindow() == window; })) return kNotFound;
    } else if (step == u"key" && extra == 1) {
        if (!ParseArg(args[1], &a)) return kUsage;
        const UINT scan = MapVirtualKeyW(static_cast<UINT>(a), MAPVK_VK_TO_VSC);
        PostMessageW(window, WM_KEYDOWN, static_cast<WPARAM>(a), 1 | (scan << 16));
        PostMessageW(window, WM_KEYUP, static_cast<WPARAM>(a), 1 | (scan << 16) | 0xC0000000u);
    } else {
        return kUsage;
    }
    return kDone;
}

} // namespace

int main() {
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv) return kUsage;
    std::vector<WString> args;
    for (int i = 1; i < argc; ++i)
        args.push_back(FromWide(argv[i], static_cast<size_t>(lstrlenW(argv[i]))));
    LocalFree(argv);

    if (args.size() >= 2 && args[0] == u"--timeout") {
        long long seconds = 0;
        if (!ParseNumber(args[1], &seconds) || seconds < 0) return kUsage;
        g_timeoutMs = static_cast<DWORD>(seconds * 1000);
        args.erase(args.begin(), args.begin() + 2);
    }
    int status = kUsage;
    if (!args.empty()) {
        const WString step = args.front();
        args.erase(args.begin());
        status = RunStep(step, args);
    }
    if (status == kUsage)
        std::fprintf(stderr, "vxdrive: bad usage (see the comment at the top of vxdrive.cpp)\n");
    std::fflush(stdout);
    return status;
}
