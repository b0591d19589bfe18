// The frame-buffer services of platform.h over Xlib: the picture is an XImage
// (in MIT-SHM shared memory where the display allows, else in our memory and
// sent with XPutImage), copied to the window the front end binds here.
#pragma once
#include <X11/Xlib.h>

#include <cstdint>

#include "platform/platform.h"

// The one window frames go to, and what went wrong with the display meanwhile.
struct x11_target {
    Display *display;
    Window window;
    GC gc;
    Visual *visual;
    int depth;
    bool converts;               // the visual's pixel format is not ours: copies convert
    bool only_alpha;             // ... only by setting the alpha (ARGB, our channels)
    uint32_t to_visual[3][256];  // red, green and blue bytes as parts of the visual's pixel
    uint32_t opaque;             // bits set in every converted pixel: an ARGB visual's alpha
    int shift[3], bits[3];       // where red, green and blue are in it
    bool try_shm;                // MIT-SHM offered; cleared when an attach fails (a remote display)
    bool window_gone;            // an error said the window no longer exists
    bool out_of_memory;          // a picture of the screen could not be had for want of memory
    int other_error;             // the first X error code nobody expected, 0 if none
    int other_request;           // and the request that caused it
};
extern x11_target x11;


// A pixel of the bound window's visual as our 0xRRGGBB.
uint32_t x11_pixel_to_rgb(unsigned long pixel);

// Takes the display, installs the error handler that fills in x11's error
// fields and makes this platform's frame-buffer services the ones in use
// (platform/display/display.h). Once, after XOpenDisplay.
void x11_open(Display *display);

// Binds the window frames go to (before init_framebuf), of a TrueColor visual
// of any depth. Returns the drawing target for plat_copy_*.
plat_dc x11_bind(Window window, Visual *visual, int depth);

// Releases what x11_bind made (the GC); the frame buffer goes first.
void x11_unbind();

// Whether fb's picture lives in shared memory.
bool x11_framebuf_shared(const frame_buffer *fb);

// Runs the requests made between the two calls to the end and returns the code
// of the first error they caused (0 if none) instead of reporting it.
void x11_trap_errors();
int x11_untrap_errors();

// Fills fb from image, scaled to fb's size (nearest pixel) where the sizes differ.
void x11_fill_from_image(frame_buffer *fb, XImage *image);

// Fills fb with the part of the desktop picture XScreenSaver saved for the
// bound window that lies behind it, if it left one there; false (fb untouched)
// otherwise, with out_of_memory set when the picture could not be read for that.
bool x11_capture_saved_screen(frame_buffer *fb);
