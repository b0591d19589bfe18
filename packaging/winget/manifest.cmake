# Run by cpack after each package it makes (CPACK_POST_BUILD_SCRIPTS): after the
# installer, the release's three-file winget manifest beside it, in
# Plix-<version>-winget/, from the templates here, with the installer's SHA-256.
if(NOT CPACK_GENERATOR STREQUAL "NSIS")
  return()
endif()
set(installer "")
foreach(file IN LISTS CPACK_PACKAGE_FILES)
  if(file MATCHES "-setup\\.exe$")
    set(installer ${file})
  endif()
endforeach()
if(NOT EXISTS "${installer}")
  message(FATAL_ERROR "winget manifest: no installer among '${CPACK_PACKAGE_FILES}'")
endif()
get_filename_component(name ${installer} NAME)
file(SHA256 ${installer} PLIX_INSTALLER_SHA256)
string(TOUPPER ${PLIX_INSTALLER_SHA256} PLIX_INSTALLER_SHA256)
string(REPLACE "<version>" "${CPACK_PACKAGE_VERSION}" PLIX_INSTALLER_URL
               "${CPACK_PLIX_RELEASE_URL}/${name}")
set(PLIX_WINGET_ID ${CPACK_PLIX_WINGET_ID})

set(out ${CPACK_PACKAGE_DIRECTORY}/Plix-${CPACK_PACKAGE_VERSION}-winget)
file(REMOVE_RECURSE ${out})
# winget's own names: ID.yaml, ID.installer.yaml, ID.locale.<locale>.yaml.
configure_file(${CPACK_PLIX_WINGET_TEMPLATES}/version.yaml.in ${out}/${PLIX_WINGET_ID}.yaml @ONLY)
foreach(part installer locale.en-US)
  configure_file(${CPACK_PLIX_WINGET_TEMPLATES}/${part}.yaml.in
                 ${out}/${PLIX_WINGET_ID}.${part}.yaml @ONLY)
endforeach()
message(STATUS "winget manifest for ${name} in ${out}")
