// The one Win32 call our own settings-file writer needs in Windows builds
// (plix-sim.exe, plix-ini.exe): replacing the old file by the finished new one.
#include <windows.h>

#include "inifile/inifile.h"

int ini_file_replace(const char *from, const char *to) {
    return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) ? 1 : 0;
}
