#include "compositor.h"

#include <QGuiApplication>

#ifdef PEMBY_HAVE_XCB
#include <QByteArray>

#include <cstdlib>
#include <memory>

#include <xcb/xcb.h>
#endif

namespace {

#ifdef PEMBY_HAVE_XCB
bool x11HasCompositor()
{
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return false;
    // The screen the connection was opened on, as xcb_connect read it from DISPLAY.
    int screen = 0;
    const QByteArray display = qgetenv("DISPLAY");
    char* host = nullptr;
    int number = 0;
    if (display.isEmpty() || !xcb_parse_display(display.constData(), &host, &number, &screen))
        screen = 0;
    std::free(host);
    const QByteArray name = "_NET_WM_CM_S" + QByteArray::number(screen);
    const xcb_intern_atom_cookie_t atomCookie = xcb_intern_atom(connection, 1, uint16_t(name.size()), name.constData());
    const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> atom(
        xcb_intern_atom_reply(connection, atomCookie, nullptr), &std::free);
    if (!atom || atom->atom == XCB_ATOM_NONE)
        return false;
    const std::unique_ptr<xcb_get_selection_owner_reply_t, decltype(&std::free)> owner(
        xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, atom->atom), nullptr),
        &std::free);
    return owner && owner->owner != XCB_WINDOW_NONE;
}
#endif

} // namespace

namespace Compositor {

bool isActive()
{
    if (!qGuiApp)
        return false;
    const QString platform = QGuiApplication::platformName();
    if (platform.startsWith(QStringLiteral("wayland")))
        return true;
    if (platform == QStringLiteral("xcb")) {
#ifdef PEMBY_HAVE_XCB
        return x11HasCompositor();
#else
        return false;
#endif
    }
    return platform == QStringLiteral("cocoa") || platform == QStringLiteral("windows");
}

} // namespace Compositor
