# Read by cpack once for each generator: the installer is Plix-<version>-setup.exe,
# beside the zip Plix-<version>-win32.zip.
if(CPACK_GENERATOR STREQUAL "NSIS")
  set(CPACK_PACKAGE_FILE_NAME "${CPACK_PACKAGE_NAME}-${CPACK_PACKAGE_VERSION}-setup")
endif()
