#include "terminal/X11WindowActivator.h"

#include <QtGlobal>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <poll.h>
#include <xcb/xcb.h>

namespace {
using namespace std::chrono;

template <typename T> using Reply = std::unique_ptr<T, decltype(&std::free)>;

class Connection final {
public:
    Connection() {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            return;
        int screenNumber = 0;
        m_connection = xcb_connect(nullptr, &screenNumber);
        if (xcb_connection_has_error(m_connection))
            return;
        auto screens = xcb_setup_roots_iterator(xcb_get_setup(m_connection));
        for (int i = 0; i < screenNumber && screens.rem > 0; ++i)
            xcb_screen_next(&screens);
        if (screens.rem > 0)
            m_root = screens.data->root;
    }
    ~Connection() {
        if (m_connection != nullptr)
            xcb_disconnect(m_connection);
    }
    Q_DISABLE_COPY_MOVE(Connection)

    bool ok() const { return m_root != XCB_NONE; }
    xcb_connection_t* get() const { return m_connection; }
    xcb_window_t root() const { return m_root; }

    xcb_atom_t atom(const char* name) const {
        Reply<xcb_intern_atom_reply_t> reply(
            xcb_intern_atom_reply(m_connection,
                                  xcb_intern_atom(m_connection, 0, static_cast<uint16_t>(std::strlen(name)), name),
                                  nullptr),
            &std::free);
        return reply ? reply->atom : XCB_NONE;
    }

    // A 32-bit property as a list of values; empty when absent or of another form.
    std::vector<uint32_t> values(xcb_window_t window, xcb_atom_t property, xcb_atom_t type, uint32_t most) const {
        return values(xcb_get_property(m_connection, 0, window, property, type, 0, most), type);
    }
    std::vector<uint32_t> values(xcb_get_property_cookie_t cookie, xcb_atom_t type) const {
        Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(m_connection, cookie, nullptr), &std::free);
        if (!reply || reply->type != type || reply->format != 32)
            return {};
        const auto* data = static_cast<const uint32_t*>(xcb_get_property_value(reply.get()));
        return {data, data + xcb_get_property_value_length(reply.get()) / 4};
    }

    // Waits for an event the predicate accepts, up to the deadline.
    template <typename Accept> xcb_generic_event_t* waitFor(steady_clock::time_point deadline, Accept accept) const {
        for (;;) {
            while (xcb_generic_event_t* event = xcb_poll_for_event(m_connection)) {
                if (accept(event))
                    return event;
                std::free(event);
            }
            const auto left = duration_cast<milliseconds>(deadline - steady_clock::now()).count();
            if (left <= 0 || xcb_connection_has_error(m_connection))
                return nullptr;
            pollfd fd{xcb_get_file_descriptor(m_connection), POLLIN, 0};
            ::poll(&fd, 1, static_cast<int>(left));
        }
    }

private:
    xcb_connection_t* m_connection = nullptr;
    xcb_window_t m_root = XCB_NONE;
};

constexpr uint32_t mostWindows = 65536;

std::optional<pid_t> pidOf(const Connection& x, xcb_window_t window, xcb_atom_t wmPid, xcb_atom_t cardinal) {
    const auto value = x.values(window, wmPid, cardinal, 1);
    if (value.empty())
        return std::nullopt;
    return static_cast<pid_t>(value.front());
}

// The server's current time: the stamp of a property change on a window of our own.
xcb_timestamp_t serverTime(const Connection& x) {
    const xcb_window_t window = xcb_generate_id(x.get());
    const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(x.get(), XCB_COPY_FROM_PARENT, window, x.root(), -1, -1, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                      XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &mask);
    xcb_change_property(x.get(), XCB_PROP_MODE_APPEND, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8, 0, nullptr);
    xcb_flush(x.get());
    xcb_timestamp_t time = XCB_CURRENT_TIME;
    if (auto* event = x.waitFor(steady_clock::now() + 500ms, [&](xcb_generic_event_t* e) {
            return (e->response_type & 0x7f) == XCB_PROPERTY_NOTIFY &&
                   reinterpret_cast<xcb_property_notify_event_t*>(e)->window == window;
        })) {
        time = reinterpret_cast<xcb_property_notify_event_t*>(event)->time;
        std::free(event);
    }
    xcb_destroy_window(x.get(), window);
    return time;
}
} // namespace

bool X11WindowActivator::activate(const std::vector<pid_t>& lineage) {
    if (lineage.empty())
        return false;
    const Connection x;
    if (!x.ok())
        return false;
    const xcb_atom_t clientList = x.atom("_NET_CLIENT_LIST");
    const xcb_atom_t wmPid = x.atom("_NET_WM_PID");
    const xcb_atom_t active = x.atom("_NET_ACTIVE_WINDOW");
    const xcb_atom_t cardinal = XCB_ATOM_CARDINAL;

    // Ask for every managed window's process at once: one round trip, not one per window.
    const auto windows = x.values(x.root(), clientList, XCB_ATOM_WINDOW, mostWindows);
    std::vector<xcb_get_property_cookie_t> cookies;
    cookies.reserve(windows.size());
    for (const xcb_window_t window : windows)
        cookies.push_back(xcb_get_property(x.get(), 0, window, wmPid, cardinal, 0, 1));
    std::map<pid_t, std::vector<xcb_window_t>> owned;
    for (std::size_t i = 0; i < windows.size(); ++i) {
        const auto pid = x.values(cookies[i], cardinal);
        if (!pid.empty())
            owned[static_cast<pid_t>(pid.front())].push_back(windows[i]);
    }
    xcb_window_t target = XCB_NONE;
    for (const pid_t pid : lineage) {
        const auto found = owned.find(pid);
        if (found == owned.end())
            continue;
        if (found->second.size() != 1)
            return false;
        target = found->second.front();
        break;
    }
    if (target == XCB_NONE)
        return false;

    // Listen on the root before asking, so the manager's answer cannot slip past.
    const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(x.get(), x.root(), XCB_CW_EVENT_MASK, &mask);
    const xcb_timestamp_t time = serverTime(x);
    const auto isActive = [&] {
        const auto now = x.values(x.root(), active, XCB_ATOM_WINDOW, 1);
        return !now.empty() && now.front() == target;
    };

    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = target;
    message.type = active;
    message.data.data32[0] = 2; // the request comes from a pager-like tool acting for the person
    message.data.data32[1] = time;
    xcb_send_event(x.get(), 0, x.root(), XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&message));
    xcb_flush(x.get());
    if (isActive())
        return true;
    const auto deadline = steady_clock::now() + 1s;
    while (auto* event = x.waitFor(deadline, [&](xcb_generic_event_t* e) {
        const auto* change = reinterpret_cast<xcb_property_notify_event_t*>(e);
        return (e->response_type & 0x7f) == XCB_PROPERTY_NOTIFY && change->window == x.root() && change->atom == active;
    })) {
        std::free(event);
        if (isActive())
            return true;
    }
    return false;
}

std::optional<pid_t> X11WindowActivator::activeProcess() {
    const Connection x;
    if (!x.ok())
        return std::nullopt;
    const auto active = x.values(x.root(), x.atom("_NET_ACTIVE_WINDOW"), XCB_ATOM_WINDOW, 1);
    if (active.empty() || active.front() == XCB_NONE)
        return std::nullopt;
    return pidOf(x, active.front(), x.atom("_NET_WM_PID"), XCB_ATOM_CARDINAL);
}
