// Xlib apart from windows.h: the two headers declare the same names.
#include "xdnd_drop.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>

namespace {

constexpr long kXdndVersion = 5;

struct Atoms {
    Atom selection, enter, position, status, drop, finished, actionCopy, uriList;
};

Atoms InternAtoms(Display* display) {
    auto atom = [display](const char* name) { return XInternAtom(display, name, False); };
    return {atom("XdndSelection"),  atom("XdndEnter"),    atom("XdndPosition"),
            atom("XdndStatus"),     atom("XdndDrop"),     atom("XdndFinished"),
            atom("XdndActionCopy"), atom("text/uri-list")};
}

// "file://" and the path with every byte outside the unreserved set and "/"
// percent-encoded, then the list's line end.
std::string FileUri(const char* path) {
    std::string uri = "file://";
    for (const char* p = path; *p; ++p) {
        const auto c = static_cast<unsigned char>(*p);
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
            c == '-' || c == '_' || c == '.' || c == '~' || c == '/') {
            uri.push_back(static_cast<char>(c));
        } else {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", c);
            uri += escaped;
        }
    }
    return uri + "\r\n";
}

void SendXdndMessage(Display* display, Window target, Atom type, long l0, long l1, long l2, long l3,
                     long l4) {
    XEvent event = {};
    event.xclient.type = ClientMessage;
    event.xclient.display = display;
    event.xclient.window = target;
    event.xclient.message_type = type;
    event.xclient.format = 32;
    event.xclient.data.l[0] = l0;
    event.xclient.data.l[1] = l1;
    event.xclient.data.l[2] = l2;
    event.xclient.data.l[3] = l3;
    event.xclient.data.l[4] = l4;
    XSendEvent(display, target, False, NoEventMask, &event);
    XFlush(display);
}

// The target asks for the data with a selection request, when and as often
// as it likes: every request for the URI list is answered, others refused.
void AnswerRequest(Display* display, const XSelectionRequestEvent& request, const Atoms& atoms,
                   const std::string& uris) {
    XEvent answer = {};
    answer.xselection.type = SelectionNotify;
    answer.xselection.display = display;
    answer.xselection.requestor = request.requestor;
    answer.xselection.selection = request.selection;
    answer.xselection.target = request.target;
    answer.xselection.time = request.time;
    answer.xselection.property = None;
    if (request.target == atoms.uriList && request.property != None) {
        XChangeProperty(display, request.requestor, request.property, atoms.uriList, 8,
                        PropModeReplace, reinterpret_cast<const unsigned char*>(uris.data()),
                        static_cast<int>(uris.size()));
        answer.xselection.property = request.property;
    }
    XSendEvent(display, request.requestor, False, NoEventMask, &answer);
    XFlush(display);
}

// Serves selection requests until a client message of type awaited arrives
// (true, with its data in *message) or the time is up (false).
bool Await(Display* display, const Atoms& atoms, const std::string& uris, Atom awaited,
           int timeoutMs, XClientMessageEvent* message) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < end) {
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == SelectionRequest) {
                AnswerRequest(display, event.xselectionrequest, atoms, uris);
            } else if (event.type == ClientMessage && event.xclient.message_type == awaited) {
                *message = event.xclient;
                return true;
            }
        }
        usleep(5000);
    }
    return false;
}

} // namespace

bool XdndDropFile(unsigned long window, int x, int y, const char* path, int timeoutMs) {
    Display* display = XOpenDisplay(nullptr);
    if (!display) return false;
    const Atoms atoms = InternAtoms(display);
    const Window source =
        XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
    XSetSelectionOwner(display, atoms.selection, source, CurrentTime);
    const std::string uris = FileUri(path);

    XClientMessageEvent reply = {};
    SendXdndMessage(display, window, atoms.enter, static_cast<long>(source), kXdndVersion << 24,
                    static_cast<long>(atoms.uriList), None, None);
    SendXdndMessage(display, window, atoms.position, static_cast<long>(source), 0,
                    (static_cast<long>(x) << 16) | (y & 0xFFFF), CurrentTime,
                    static_cast<long>(atoms.actionCopy));
    const bool accepted =
        Await(display, atoms, uris, atoms.status, timeoutMs, &reply) && (reply.data.l[1] & 1);
    bool finished = false;
    if (accepted) {
        SendXdndMessage(display, window, atoms.drop, static_cast<long>(source), 0, CurrentTime, 0,
                        0);
        finished = Await(display, atoms, uris, atoms.finished, timeoutMs, &reply);
    }
    XDestroyWindow(display, source);
    XCloseDisplay(display);
    return accepted && finished;
}

bool XMovePointer(int x, int y) {
    Display* display = XOpenDisplay(nullptr);
    if (!display) return false;
    XWarpPointer(display, None, DefaultRootWindow(display), 0, 0, 0, 0, x, y);
    XSync(display, False);
    XCloseDisplay(display);
    return true;
}
