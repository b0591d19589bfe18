# The Wayland platform (src/platform/wayland/), where libwayland-client, the
# wayland-scanner, the descriptions of xdg-shell, xdg-output and the two idle
# protocols (ext-idle-notify in wayland-protocols, KDE's in plasma-wayland-protocols)
# and libdbus-1 (the desktop's inhibitions, asked when idle comes) are at hand:
# the protocols' glue is generated here at build time. Without them plix is
# built for X11 alone.
find_package(PkgConfig QUIET)
if(PkgConfig_FOUND)
  pkg_check_modules(WAYLAND_CLIENT QUIET IMPORTED_TARGET wayland-client)
  pkg_check_modules(DBUS QUIET IMPORTED_TARGET dbus-1)
  pkg_get_variable(WAYLAND_PROTOCOLS_DIR wayland-protocols pkgdatadir)
  pkg_get_variable(WAYLAND_SCANNER wayland-scanner wayland_scanner)
endif()
find_path(PLASMA_WAYLAND_PROTOCOLS_DIR idle.xml PATHS /usr/share/plasma-wayland-protocols
          PATH_SUFFIXES plasma-wayland-protocols)
if(NOT WAYLAND_CLIENT_FOUND OR NOT WAYLAND_PROTOCOLS_DIR OR NOT WAYLAND_SCANNER OR NOT DBUS_FOUND
   OR NOT PLASMA_WAYLAND_PROTOCOLS_DIR
   OR NOT EXISTS ${WAYLAND_PROTOCOLS_DIR}/staging/ext-idle-notify/ext-idle-notify-v1.xml)
  message(STATUS "libwayland-dev, wayland-protocols (1.27 or later), plasma-wayland-protocols, "
                 "libdbus-1-dev or the wayland-scanner not found: plix is built for X11 only")
  return()
endif()

enable_language(C)
set(protocol_dir ${CMAKE_CURRENT_BINARY_DIR}/generated/wayland)
file(MAKE_DIRECTORY ${protocol_dir})
set(protocol_sources "")
foreach(xml
    ${WAYLAND_PROTOCOLS_DIR}/stable/xdg-shell/xdg-shell.xml
    ${WAYLAND_PROTOCOLS_DIR}/unstable/xdg-output/xdg-output-unstable-v1.xml
    ${PROJECT_SOURCE_DIR}/src/platform/wayland/protocols/wlr-layer-shell-unstable-v1.xml
    ${WAYLAND_PROTOCOLS_DIR}/staging/ext-idle-notify/ext-idle-notify-v1.xml
    ${PLASMA_WAYLAND_PROTOCOLS_DIR}/idle.xml
    # Only for the test program that holds an idle inhibitor.
    ${WAYLAND_PROTOCOLS_DIR}/unstable/idle-inhibit/idle-inhibit-unstable-v1.xml)
  get_filename_component(name ${xml} NAME_WE)
  add_custom_command(
    OUTPUT ${protocol_dir}/${name}-client-protocol.h ${protocol_dir}/${name}-protocol.c
    COMMAND ${WAYLAND_SCANNER} client-header ${xml} ${protocol_dir}/${name}-client-protocol.h
    COMMAND ${WAYLAND_SCANNER} private-code ${xml} ${protocol_dir}/${name}-protocol.c
    DEPENDS ${xml}
    COMMENT "wayland-scanner: ${name}")
  list(APPEND protocol_sources ${protocol_dir}/${name}-client-protocol.h ${protocol_dir}/${name}-protocol.c)
endforeach()

add_custom_target(plix_wayland_protocols DEPENDS ${protocol_sources})
add_library(plix_wayland_platform STATIC
  src/platform/wayland/display_wayland.cpp
  src/platform/wayland/framebuf_wayland.cpp
  src/platform/wayland/idle_wayland.cpp
  src/platform/dbus/inhibit_dbus.cpp
  src/platform/memory/picture_memory.cpp
  ${protocol_sources}
)
target_include_directories(plix_wayland_platform PRIVATE ${protocol_dir})
target_link_libraries(plix_wayland_platform PUBLIC plix_display_platform PkgConfig::WAYLAND_CLIENT
                      PRIVATE PkgConfig::DBUS)
