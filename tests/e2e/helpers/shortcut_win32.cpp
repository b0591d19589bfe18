// Prints what a shell shortcut (.lnk) starts, read through the shell's own
// IShellLink, for the installer's case.
// Usage: plix-shortcut.exe FILE.lnk
// Prints "target PATH", "arguments ARGS" and "folder DIR"; status 1 when the
// file cannot be read as a shortcut.
#include <windows.h>
#include <shlobj.h>

#include <cstdio>

int main(int argc, char **argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: plix-shortcut FILE.lnk\n");
        return 2;
    }
    wchar_t file[MAX_PATH];
    if (!MultiByteToWideChar(CP_ACP, 0, argv[1], -1, file, MAX_PATH)) return 1;
    CoInitialize(nullptr);
    IShellLinkA *link = nullptr;
    IPersistFile *persist = nullptr;
    char target[MAX_PATH] = "", arguments[1024] = "", folder[MAX_PATH] = "";
    bool read =
        SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   reinterpret_cast<void **>(&link))) &&
        SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void **>(&persist))) &&
        SUCCEEDED(persist->Load(file, STGM_READ)) &&
        SUCCEEDED(link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH)) &&
        SUCCEEDED(link->GetArguments(arguments, sizeof arguments)) &&
        SUCCEEDED(link->GetWorkingDirectory(folder, MAX_PATH));
    if (read) printf("target %s\narguments %s\nfolder %s\n", target, arguments, folder);
    if (persist) persist->Release();
    if (link) link->Release();
    CoUninitialize();
    if (!read) fprintf(stderr, "plix-shortcut: cannot read %s\n", argv[1]);
    return read ? 0 : 1;
}
