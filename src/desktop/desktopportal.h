#pragma once

// The bus name and object that every desktop portal interface shares.
namespace DesktopPortal {

constexpr auto service = "org.freedesktop.portal.Desktop";
constexpr auto path = "/org/freedesktop/portal/desktop";

} // namespace DesktopPortal
