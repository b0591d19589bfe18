// The Win32 objects behind the frame buffer (only for *_win32.cpp files).
#pragma once
#include <windows.h>

extern HBITMAP ourbitmap;  // owns the pixels framebuf points to
extern HDC pDC;            // memory context holding ourbitmap: the copy source
extern HGDIOBJ old;        // what pDC held before, put back on release
