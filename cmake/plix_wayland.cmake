# The Wayland platform (src/platform/wayland/), where libwayland-client, the
# wayland-scanner and the descriptions of xdg-shell and xdg-output are at hand: the protocols' glue
# is generated here at build time. Without them plix is built for X11 alone.
find_package(PkgConfig QUIET)
if(PkgConfig_FOUND)
  pkg_check_modules(WAYLAND_CLIENT QUIET IMPORTED_TARGET wayland-client)
  pkg_get_variable(WAYLAND_PROTOCOLS_DIR wayland-protocols pkgdatadir)
  pkg_get_variable(WAYLAND_SCANNER wayland-scanner wayland_scanner)
endif()
if(NOT WAYLAND_CLIENT_FOUND OR NOT WAYLAND_PROTOCOLS_DIR OR NOT WAYLAND_SCANNER)
  message(STATUS "libwayland-dev, wayland-protocols or the wayland-scanner not found: plix is built for X11 only")
  return()
endif()

enable_language(C)
set(protocol_dir ${CMAKE_CURRENT_BINARY_DIR}/generated/wayland)
file(MAKE_DIRECTORY ${protocol_dir})
set(protocol_sources "")
foreach(xml
    ${WAYLAND_PROTOCOLS_DIR}/stable/xdg-shell/xdg-shell.xml
    ${WAYLAND_PROTOCOLS_DIR}/unstable/xdg-output/xdg-output-unstable-v1.xml
    ${PROJECT_SOURCE_DIR}/src/platform/wayland/protocols/wlr-layer-shell-unstable-v1.xml)
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
  src/platform/memory/picture_memory.cpp
  ${protocol_sources}
)
target_include_directories(plix_wayland_platform PRIVATE ${protocol_dir})
target_link_libraries(plix_wayland_platform PUBLIC plix_display_platform PkgConfig::WAYLAND_CLIENT)
