#include "updater/RunningViewer.h"

#include "common/ViewerLock.h"

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace updater {

namespace {

template <typename T>
using XcbReply = std::unique_ptr<T, decltype(&std::free)>;

template <typename T>
XcbReply<T> own(T* reply) {
    return XcbReply<T>(reply, &std::free);
}

xcb_atom_t internAtom(xcb_connection_t* c, const char* name) {
    auto reply = own(xcb_intern_atom_reply(c, xcb_intern_atom(c, 1, uint16_t(strlen(name)), name), nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

struct Atoms {
    xcb_atom_t netWmName = XCB_ATOM_NONE;
    xcb_atom_t utf8String = XCB_ATOM_NONE;
    xcb_atom_t compoundText = XCB_ATOM_NONE;
    xcb_atom_t netClientList = XCB_ATOM_NONE;
};

// Titles are short; anything longer than this cannot be the one we want.
constexpr uint32_t kMaxTitleLongs = 1024;

// Whether the window's title is exactly the wanted one.
bool titleMatches(xcb_connection_t* c, const Atoms& atoms, xcb_window_t w, const QByteArray& utf8,
                  const QByteArray& latin1, bool titleIsLatin1) {
    if (atoms.netWmName != XCB_ATOM_NONE) {
        auto reply = own(xcb_get_property_reply(
            c, xcb_get_property(c, 0, w, atoms.netWmName, atoms.utf8String, 0, kMaxTitleLongs), nullptr));
        if (reply && reply->type != XCB_ATOM_NONE) {
            // The window has a _NET_WM_NAME: it alone decides.
            if (reply->type != atoms.utf8String || reply->format != 8) return false;
            const int n = xcb_get_property_value_length(reply.get());
            return QByteArray(static_cast<const char*>(xcb_get_property_value(reply.get())), n) == utf8;
        }
    }
    auto reply = own(xcb_get_property_reply(
        c, xcb_get_property(c, 0, w, XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY, 0, kMaxTitleLongs), nullptr));
    if (!reply || reply->type == XCB_ATOM_NONE || reply->format != 8) return false;
    const QByteArray bytes(static_cast<const char*>(xcb_get_property_value(reply.get())),
                           xcb_get_property_value_length(reply.get()));
    if (reply->type == atoms.utf8String) return bytes == utf8;
    if (reply->type == XCB_ATOM_STRING) return titleIsLatin1 && bytes == latin1;
    // COMPOUND_TEXT without escape sequences is plain Latin-1; with them it
    // holds other character sets, which a Latin-1 title cannot match.
    if (reply->type == atoms.compoundText) return titleIsLatin1 && !bytes.contains('\x1b') && bytes == latin1;
    return false;
}

std::vector<xcb_window_t> children(xcb_connection_t* c, xcb_window_t w) {
    auto reply = own(xcb_query_tree_reply(c, xcb_query_tree(c, w), nullptr));
    if (!reply) return {};
    const xcb_window_t* kids = xcb_query_tree_children(reply.get());
    return std::vector<xcb_window_t>(kids, kids + xcb_query_tree_children_length(reply.get()));
}

std::vector<xcb_window_t> clientList(xcb_connection_t* c, const Atoms& atoms, xcb_window_t root) {
    if (atoms.netClientList == XCB_ATOM_NONE) return {};
    auto reply = own(xcb_get_property_reply(
        c, xcb_get_property(c, 0, root, atoms.netClientList, XCB_ATOM_WINDOW, 0, 65536), nullptr));
    if (!reply || reply->type != XCB_ATOM_WINDOW || reply->format != 32) return {};
    const auto* ids = static_cast<const xcb_window_t*>(xcb_get_property_value(reply.get()));
    return std::vector<xcb_window_t>(ids, ids + xcb_get_property_value_length(reply.get()) / 4);
}

}  // namespace

X11Answer FindX11TopLevelWindow(const QString& title, const QByteArray& display, std::uint32_t* window) {
    xcb_connection_t* c = xcb_connect(display.isEmpty() ? nullptr : display.constData(), nullptr);
    std::unique_ptr<xcb_connection_t, decltype(&xcb_disconnect)> connection(c, &xcb_disconnect);
    if (!c || xcb_connection_has_error(c)) return X11Answer::Unreachable;

    Atoms atoms;
    atoms.netWmName = internAtom(c, "_NET_WM_NAME");
    atoms.utf8String = internAtom(c, "UTF8_STRING");
    atoms.compoundText = internAtom(c, "COMPOUND_TEXT");
    atoms.netClientList = internAtom(c, "_NET_CLIENT_LIST");

    const QByteArray utf8 = title.toUtf8();
    bool latin1Ok = true;
    for (QChar ch : title) latin1Ok = latin1Ok && ch.unicode() < 256;
    const QByteArray latin1 = title.toLatin1();

    auto check = [&](xcb_window_t w) {
        if (!titleMatches(c, atoms, w, utf8, latin1, latin1Ok)) return false;
        if (window) *window = w;
        return true;
    };

    for (xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c)); it.rem; xcb_screen_next(&it)) {
        const xcb_window_t root = it.data->root;
        for (xcb_window_t w : clientList(c, atoms, root))
            if (check(w)) return X11Answer::Found;
        std::vector<xcb_window_t> level = children(c, root);
        for (int depth = 1; depth <= 3 && !level.empty(); ++depth) {
            std::vector<xcb_window_t> next;
            for (xcb_window_t w : level) {
                if (check(w)) return X11Answer::Found;
                if (depth < 3) {
                    const std::vector<xcb_window_t> kids = children(c, w);
                    next.insert(next.end(), kids.begin(), kids.end());
                }
            }
            level.swap(next);
        }
    }
    return X11Answer::NotFound;
}

bool IsViewerRunning(const QString& programDirectory) {
    if (FindX11TopLevelWindow(ViewerWindowTitle()) == X11Answer::Found) return true;
    return ViewerLock::IsHeld(programDirectory);
}

}  // namespace updater
