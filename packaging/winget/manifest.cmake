# The release's three-file winget manifest, once cpack has made the installer in
# every Windows build directory: one installer entry per build (x86, x64), each
# with its own address and SHA-256. Each build's packages are copied beside the
# manifest, in OUT: the folder to upload to the release address.
# usage: cmake -DBUILDS="build-win32;build-win64" -DOUT=DIR -P packaging/winget/manifest.cmake
if(NOT BUILDS OR NOT OUT)
  message(FATAL_ERROR "usage: cmake -DBUILDS=\"DIR;DIR\" -DOUT=DIR -P ${CMAKE_CURRENT_LIST_FILE}")
endif()
set(installers "")
set(copies "")
set(package "")
foreach(build IN LISTS BUILDS)
  get_filename_component(build ${build} ABSOLUTE)
  if(NOT EXISTS ${build}/CPackConfig.cmake)
    message(FATAL_ERROR "winget manifest: ${build} is no configured Windows build")
  endif()
  include(${build}/CPackConfig.cmake)
  # Every build must be the same package: the same version, names and address.
  set(this "${CPACK_PACKAGE_VERSION}|${CPACK_PLIX_WINGET_ID}|${CPACK_NSIS_DISPLAY_NAME}|${CPACK_PACKAGE_VENDOR}|${CPACK_PLIX_RELEASE_URL}")
  if(package AND NOT this STREQUAL package)
    message(FATAL_ERROR "winget manifest: ${build} is not the package the others are (${this} / ${package})")
  endif()
  set(package "${this}")
  set(setup ${build}/${CPACK_PLIX_SETUP_NAME}.exe)
  set(zip ${build}/${CPACK_PACKAGE_FILE_NAME}.zip)
  foreach(file ${setup} ${zip})
    if(NOT EXISTS ${file})
      message(FATAL_ERROR "winget manifest: no ${file} (run cpack in ${build})")
    endif()
  endforeach()
  file(SHA256 ${setup} sha)
  string(TOUPPER ${sha} sha)
  string(REPLACE "<version>" "${CPACK_PACKAGE_VERSION}" url
                 "${CPACK_PLIX_RELEASE_URL}/${CPACK_PLIX_SETUP_NAME}.exe")
  string(APPEND installers "  - Architecture: ${CPACK_PLIX_WINGET_ARCH}\n"
                           "    InstallerUrl: ${url}\n"
                           "    InstallerSha256: ${sha}\n")
  list(APPEND copies ${setup} ${zip})
endforeach()
string(REGEX REPLACE "\n$" "" PLIX_INSTALLERS "${installers}")
set(PLIX_WINGET_ID ${CPACK_PLIX_WINGET_ID})

file(MAKE_DIRECTORY ${OUT})
file(COPY ${copies} DESTINATION ${OUT})
set(out ${OUT}/Plix-${CPACK_PACKAGE_VERSION}-winget)
file(REMOVE_RECURSE ${out})
# winget's own names: ID.yaml, ID.installer.yaml, ID.locale.<locale>.yaml.
configure_file(${CPACK_PLIX_WINGET_TEMPLATES}/version.yaml.in ${out}/${PLIX_WINGET_ID}.yaml @ONLY)
foreach(part installer locale.en-US)
  configure_file(${CPACK_PLIX_WINGET_TEMPLATES}/${part}.yaml.in
                 ${out}/${PLIX_WINGET_ID}.${part}.yaml @ONLY)
endforeach()
message(STATUS "the release in ${OUT}: winget manifest in ${out}")
