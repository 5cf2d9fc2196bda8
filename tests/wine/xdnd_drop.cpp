// xdnd_drop WINDOW X Y FILE: drops FILE onto the X window WINDOW (or the window inside it
// that takes drops) at root coordinates X, Y, as a file manager would, through the XDND
// protocol. Exits 0 once the target has taken the drop, 1 when it refused or did not answer
// within five seconds.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kDeadline = std::chrono::seconds(5);

struct Drop {
    Display* display;
    Window source;
    Window target;
    Atom selection, enter, position, status, drop, finished, copy, uri_list, aware;
};

bool IsAware(Drop& d, Window window) {
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    const bool aware = XGetWindowProperty(d.display, window, d.aware, 0, 1, False, AnyPropertyType,
                                          &type, &format, &count, &after, &data) == Success &&
                       count > 0;
    if (data != nullptr)
        XFree(data);
    return aware;
}

// The window itself or the first of its descendants that declares itself a drop target.
Window AwareWindow(Drop& d, Window window) {
    if (IsAware(d, window))
        return window;
    Window root, parent, *children = nullptr;
    unsigned int count = 0;
    Window found = None;
    if (XQueryTree(d.display, window, &root, &parent, &children, &count)) {
        for (unsigned int i = 0; i < count && found == None; ++i) {
            found = AwareWindow(d, children[i]);
        }
        if (children != nullptr)
            XFree(children);
    }
    return found;
}

void Send(Drop& d, Atom type, long l1, long l2, long l3, long l4) {
    XEvent event = {};
    event.xclient.type = ClientMessage;
    event.xclient.window = d.target;
    event.xclient.message_type = type;
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(d.source);
    event.xclient.data.l[1] = l1;
    event.xclient.data.l[2] = l2;
    event.xclient.data.l[3] = l3;
    event.xclient.data.l[4] = l4;
    XSendEvent(d.display, d.target, False, NoEventMask, &event);
    XFlush(d.display);
}

void AnswerSelection(Drop& d, const XSelectionRequestEvent& request, const std::string& uri) {
    XEvent reply = {};
    reply.xselection.type = SelectionNotify;
    reply.xselection.requestor = request.requestor;
    reply.xselection.selection = request.selection;
    reply.xselection.target = request.target;
    reply.xselection.time = request.time;
    reply.xselection.property = None;
    if (request.target == d.uri_list) {
        XChangeProperty(d.display, request.requestor, request.property, d.uri_list, 8,
                        PropModeReplace, reinterpret_cast<const unsigned char*>(uri.data()),
                        static_cast<int>(uri.size()));
        reply.xselection.property = request.property;
    }
    XSendEvent(d.display, request.requestor, False, NoEventMask, &reply);
    XFlush(d.display);
}

// Waits for the next client message of the type, answering selection requests meanwhile.
bool Await(Drop& d, Atom type, const std::string& uri, XClientMessageEvent& message) {
    const auto deadline = Clock::now() + kDeadline;
    while (Clock::now() < deadline) {
        while (XPending(d.display) > 0) {
            XEvent event;
            XNextEvent(d.display, &event);
            if (event.type == SelectionRequest) {
                AnswerSelection(d, event.xselectionrequest, uri);
            } else if (event.type == ClientMessage && event.xclient.message_type == type) {
                message = event.xclient;
                return true;
            }
        }
        struct timespec pause = {0, 10'000'000};
        nanosleep(&pause, nullptr);
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: xdnd_drop WINDOW X Y FILE\n");
        return 2;
    }
    Drop d = {};
    d.display = XOpenDisplay(nullptr);
    if (d.display == nullptr) {
        std::fprintf(stderr, "xdnd_drop: no display\n");
        return 1;
    }
    auto atom = [&](const char* name) { return XInternAtom(d.display, name, False); };
    d.selection = atom("XdndSelection");
    d.enter = atom("XdndEnter");
    d.position = atom("XdndPosition");
    d.status = atom("XdndStatus");
    d.drop = atom("XdndDrop");
    d.finished = atom("XdndFinished");
    d.copy = atom("XdndActionCopy");
    d.uri_list = atom("text/uri-list");
    d.aware = atom("XdndAware");
    d.source = XCreateSimpleWindow(d.display, DefaultRootWindow(d.display), 0, 0, 1, 1, 0, 0, 0);
    d.target = AwareWindow(d, static_cast<Window>(std::strtoul(argv[1], nullptr, 0)));
    if (d.target == None) {
        std::fprintf(stderr, "xdnd_drop: the window takes no drops\n");
        return 1;
    }
    const std::string uri = "file://" + std::filesystem::absolute(argv[4]).string() + "\r\n";
    const long x = std::atol(argv[2]);
    const long y = std::atol(argv[3]);
    XSetSelectionOwner(d.display, d.selection, d.source, CurrentTime);
    Send(d, d.enter, 5L << 24, static_cast<long>(d.uri_list), None, None);
    Send(d, d.position, 0, (x << 16) | y, CurrentTime, static_cast<long>(d.copy));
    XClientMessageEvent reply;
    if (!Await(d, d.status, uri, reply) || (reply.data.l[1] & 1) == 0) {
        std::fprintf(stderr, "xdnd_drop: the drop was not accepted\n");
        Send(d, atom("XdndLeave"), 0, 0, 0, 0);
        return 1;
    }
    Send(d, d.drop, 0, CurrentTime, 0, 0);
    if (!Await(d, d.finished, uri, reply)) {
        std::fprintf(stderr, "xdnd_drop: the drop never finished\n");
        return 1;
    }
    XCloseDisplay(d.display);
    return 0;
}
