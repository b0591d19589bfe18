# Read by cpack once for each generator: the installer is Plix-<version>-setup.exe
# (-setup-x64.exe in the 64-bit build), beside the zip Plix-<version>-win32.zip
# (-win64.zip).
if(CPACK_GENERATOR STREQUAL "NSIS")
  set(CPACK_PACKAGE_FILE_NAME "${CPACK_PLIX_SETUP_NAME}")
endif()
