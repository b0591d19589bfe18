// init_framebuf and the copies of platform.h for X11: an XImage whose data are
// the frame buffer's pixels, in a MIT-SHM segment when the display can attach
// it (XShmPutImage), otherwise in our memory (XPutImage). On a TrueColor visual
// of another format (16-bit 5-6-5, 30-bit 10-10-10, 32-bit ARGB) the image is
// in the window's format and each copy converts the part it shows.
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/mman.h>
#include <sys/shm.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>

#include "platform/display/display.h"
#include "platform/x11/x11_platform.h"

x11_target x11;

// What lies behind a frame buffer here.
struct plat_bitmap_tag {
    XImage *image;
    bool shared;
    XShmSegmentInfo segment;
    XRectangle *clip;  // room for the tiles' rectangles as the GC's clip takes them
    uint32_t *pixels;  // the frame's own, where the image is in another format; else null
};

static int g_trapping;
static int g_trapped;

static int on_x_error(Display *, XErrorEvent *e) {
    if (g_trapping) {
        if (!g_trapped) g_trapped = e->error_code;
    } else if ((e->error_code == BadWindow || e->error_code == BadDrawable) &&
               e->resourceid == x11.window) {
        x11.window_gone = true;
    } else if (!x11.other_error) {
        x11.other_error = e->error_code;
        x11.other_request = e->request_code;
    }
    return 0;
}

void x11_trap_errors() {
    XSync(x11.display, False);  // earlier requests' errors are not ours to catch
    g_trapping = 1;
    g_trapped = 0;
}

int x11_untrap_errors() {
    XSync(x11.display, False);
    g_trapping = 0;
    return g_trapped;
}

static bool host_is_lsb_first() {
    const uint32_t probe = 1;
    return *reinterpret_cast<const unsigned char *>(&probe) == 1;
}

// Whether pictures in our pixel format go to windows of this visual and depth
// unchanged: red 0xff0000, green 0xff00, blue 0xff, 32 bits a pixel in images.
static bool format_fits(Display *display, const Visual *visual, int depth) {
    if (visual->red_mask != 0xff0000 || visual->green_mask != 0xff00 || visual->blue_mask != 0xff)
        return false;
    int n = 0;
    XPixmapFormatValues *formats = XListPixmapFormats(display, &n);
    bool fits = false;
    for (int i = 0; i < n; i++)
        if (formats[i].depth == depth) fits = formats[i].bits_per_pixel == 32;
    XFree(formats);
    return fits;
}

// The bits of the depth outside the three channels: an ARGB visual's alpha,
// which a compositing manager blends with. Our pixels leave them 0, which would
// make the picture transparent; set, it is opaque, as on any other visual.
static uint32_t alpha_bits(const Visual *visual, int depth) {
    const unsigned long all = depth >= 32 ? 0xffffffffUL : (1UL << depth) - 1;
    return uint32_t(all & ~(visual->red_mask | visual->green_mask | visual->blue_mask));
}

// One channel of a mask: its lowest bit and its number of bits.
static void channel(unsigned long mask, int *shift, int *bits) {
    *shift = *bits = 0;
    while (mask && !(mask & 1)) mask >>= 1, ++*shift;
    while (mask & 1) mask >>= 1, ++*bits;
}

// Our 8 bits of a channel in the visual's n bits, and back, each to the
// nearest value (as the server maps a colour asked for in 16 bits a channel).
static uint32_t widen(uint32_t c, int bits) {
    const uint32_t most = (1U << bits) - 1;
    return (c * most + 127) / 255;
}

static uint32_t narrow(unsigned long v, int bits) {
    const unsigned long most = (1UL << bits) - 1;
    return uint32_t((v * 255 + most / 2) / most);
}

static void make_tables(const Visual *visual) {
    const unsigned long masks[3] = {visual->red_mask, visual->green_mask, visual->blue_mask};
    for (int k = 0; k < 3; k++) {
        channel(masks[k], &x11.shift[k], &x11.bits[k]);
        for (uint32_t c = 0; c < 256; c++)
            x11.to_visual[k][c] = widen(c, x11.bits[k]) << x11.shift[k];
    }
}

uint32_t x11_pixel_to_rgb(unsigned long pixel) {
    uint32_t rgb = 0;
    for (int k = 0; k < 3; k++) {
        const int bits = x11.bits[k];
        rgb = rgb << 8 | (bits ? narrow((pixel >> x11.shift[k]) & ((1UL << bits) - 1), bits) : 0);
    }
    return rgb;
}

plat_dc x11_bind(Window window, Visual *visual, int depth) {
    Display *display = x11.display;
    x11.window = window;
    x11.visual = visual;
    x11.depth = depth;
    x11.opaque = alpha_bits(visual, depth);
    const bool fits = format_fits(display, visual, depth);
    x11.converts = x11.opaque || !fits;
    x11.only_alpha = x11.opaque && fits;
    make_tables(visual);
    x11.gc = XCreateGC(display, window, 0, nullptr);
    // Asked by name first: Xlib's own query complains on stderr when it is missing.
    int opcode, event, error;
    x11.try_shm =
        XQueryExtension(display, "MIT-SHM", &opcode, &event, &error) && XShmQueryExtension(display);
    return reinterpret_cast<plat_dc>(&x11);
}

void x11_unbind() {
    if (x11.gc) XFreeGC(x11.display, x11.gc);
    x11.gc = nullptr;
}

// Every page of the segment mapped into our tables at once. Otherwise the dots
// reach a page first now and then for a minute of frames, and each first store
// is a fault of its own (10 us and more in a virtual machine).
static void map_every_page(char *data, size_t size) {
#ifdef MADV_POPULATE_WRITE
    if (madvise(data, size, MADV_POPULATE_WRITE) == 0) return;
#endif
    // Older kernels: one store a page. The segment is all zeros, so it stays so.
    const size_t page = size_t(sysconf(_SC_PAGESIZE));
    for (size_t i = 0; i < size; i += page) static_cast<volatile char *>(data)[i] = 0;
}

// The picture in a shared segment, or null (nothing left behind) when the
// display will not attach one.
static XImage *shared_image(plat_bitmap_tag *b, int32_t width, int32_t height) {
    XImage *image = XShmCreateImage(x11.display, x11.visual, unsigned(x11.depth), ZPixmap, nullptr,
                                    &b->segment, unsigned(width), unsigned(height));
    if (!image) return nullptr;
    // Our pixels (or converted ones) are host-order words; a server of the other
    // byte order, or a padded row of ours, would show them garbled.
    const bool fits =
        (x11.converts || (image->bits_per_pixel == 32 && image->bytes_per_line == width * 4)) &&
        (image->byte_order == LSBFirst) == host_is_lsb_first();
    b->segment.shmid =
        fits ? shmget(IPC_PRIVATE, size_t(image->bytes_per_line) * size_t(height), IPC_CREAT | 0600)
             : -1;
    if (b->segment.shmid < 0) {
        XDestroyImage(image);
        return nullptr;
    }
    void *const address = shmat(b->segment.shmid, nullptr, 0);
    const bool mapped = reinterpret_cast<intptr_t>(address) != -1;  // shmat's failure value
    b->segment.shmaddr = static_cast<char *>(address);
    b->segment.readOnly = False;
    bool attached = false;
    if (mapped) {
        x11_trap_errors();
        XShmAttach(x11.display, &b->segment);
        attached = x11_untrap_errors() == 0;  // a remote display cannot see our memory
    }
    // From here the segment goes away with its last user, even after a crash.
    shmctl(b->segment.shmid, IPC_RMID, nullptr);
    if (!attached) {
        if (mapped) shmdt(address);
        XDestroyImage(image);
        x11.try_shm = false;
        return nullptr;
    }
    image->data = b->segment.shmaddr;
    map_every_page(image->data, size_t(image->bytes_per_line) * size_t(height));
    return image;
}

// The picture in our memory, sent in the requests themselves.
static XImage *plain_image(int32_t width, int32_t height) {
    XImage *image =
        XCreateImage(x11.display, x11.visual, unsigned(x11.depth), ZPixmap, 0, nullptr,
                     unsigned(width), unsigned(height), 32, x11.converts ? 0 : width * 4);
    if (!image) return nullptr;
    image->data = static_cast<char *>(calloc(size_t(image->bytes_per_line), size_t(height)));
    if (!image->data) {
        XDestroyImage(image);
        return nullptr;
    }
    // Xlib converts to the server's byte order on the way.
    image->byte_order = host_is_lsb_first() ? LSBFirst : MSBFirst;
    return image;
}

static void x11_deinit_framebuf(frame_buffer *fb);

static int x11_init_framebuf(frame_buffer *fb, int32_t width, int32_t height) {
    fb->pixels = nullptr;
    fb->width = fb->height = 0;
    fb->bitmap = nullptr;
    if (!x11.display || width < 1 || height < 1) return 1;
    auto *b = static_cast<plat_bitmap_tag *>(calloc(1, sizeof(plat_bitmap_tag)));
    if (!b) return 1;
    if (init_present_tiles(fb, width, height) != 0 ||
        !(b->clip = static_cast<XRectangle *>(
              calloc(size_t(fb->tiles.rect_capacity), sizeof(XRectangle))))) {
        deinit_present_tiles(fb);
        free(b);
        return 1;
    }
    b->image = x11.try_shm ? shared_image(b, width, height) : nullptr;
    b->shared = b->image != nullptr;
    if (!b->image) b->image = plain_image(width, height);
    if (b->image && x11.converts)
        b->pixels = static_cast<uint32_t *>(calloc(size_t(width) * size_t(height), 4));
    if (!b->image || (x11.converts && !b->pixels)) {
        fb->bitmap = b;
        x11_deinit_framebuf(fb);
        return 1;
    }
    // A new segment is zero-filled, as calloc's memory is: black, in every format.
    fb->pixels = x11.converts ? b->pixels : reinterpret_cast<uint32_t *>(b->image->data);
    fb->width = width;
    fb->height = height;
    fb->bitmap = b;
    return 0;
}

static void x11_deinit_framebuf(frame_buffer *fb) {
    plat_bitmap_tag *b = fb->bitmap;
    fb->pixels = nullptr;
    fb->width = fb->height = 0;
    fb->bitmap = nullptr;
    deinit_present_tiles(fb);
    if (!b) return;
    free(b->clip);
    free(b->pixels);
    if (!b->image) {
        free(b);
        return;
    }
    if (b->shared) {
        XShmDetach(x11.display, &b->segment);
        XSync(x11.display, False);  // the server lets go before we do
        shmdt(b->segment.shmaddr);
        b->image->data = nullptr;  // not XDestroyImage's to free
    }
    XDestroyImage(b->image);
    free(b);
}

bool x11_framebuf_shared(const frame_buffer *fb) { return fb->bitmap && fb->bitmap->shared; }

// The rectangle of fb's pixels in the image's format.
static void convert(const frame_buffer *fb, int32_t x, int32_t y, int32_t w, int32_t h) {
    XImage *image = fb->bitmap->image;
    const uint32_t(*to)[256] = x11.to_visual;
    const uint32_t opaque = x11.opaque;
    for (int32_t row = y; row < y + h; row++) {
        const uint32_t *from = fb->pixels + size_t(row) * size_t(fb->width) + x;
        char *line = image->data + size_t(row) * size_t(image->bytes_per_line);
        if (x11.only_alpha) {  // a quarter of the table lookups' time
            for (int32_t i = 0; i < w; i++)
                reinterpret_cast<uint32_t *>(line)[x + i] = from[i] | opaque;
            continue;
        }
        for (int32_t i = 0; i < w; i++) {
            const uint32_t p = from[i];
            const uint32_t v =
                to[0][(p >> 16) & 0xff] | to[1][(p >> 8) & 0xff] | to[2][p & 0xff] | opaque;
            if (image->bits_per_pixel == 32)
                reinterpret_cast<uint32_t *>(line)[x + i] = v;
            else if (image->bits_per_pixel == 16)
                reinterpret_cast<uint16_t *>(line)[x + i] = uint16_t(v);
            else
                XPutPixel(image, x + i, row, v);
        }
    }
}

static void put_image(const x11_target *t, const frame_buffer *fb, int32_t x, int32_t y, int32_t w,
                      int32_t h) {
    XImage *image = fb->bitmap->image;
    if (fb->bitmap->shared)
        XShmPutImage(t->display, t->window, t->gc, image, x, y, x, y, unsigned(w), unsigned(h),
                     False);
    else
        XPutImage(t->display, t->window, t->gc, image, x, y, x, y, unsigned(w), unsigned(h));
}

static void x11_copy_rect(plat_dc target, const frame_buffer *fb, int32_t x, int32_t y, int32_t w,
                          int32_t h) {
    if (fb->bitmap->pixels) convert(fb, x, y, w, h);
    put_image(reinterpret_cast<const x11_target *>(target), fb, x, y, w, h);
}

// The rectangles as the GC's clip for one image request of their bounds. (X
// coordinates are 16 bits: no window is larger.)
static void x11_copy_rects(plat_dc target, const frame_buffer *fb, const pixel_rect *rects,
                           int32_t count, const pixel_rect &bounds) {
    const x11_target *t = reinterpret_cast<const x11_target *>(target);
    XRectangle *const clip = fb->bitmap->clip;
    for (int32_t k = 0; k < count; k++) {
        const pixel_rect &r = rects[k];
        clip[k] = {short(r.left), short(r.top), static_cast<unsigned short>(r.right - r.left),
                   static_cast<unsigned short>(r.bottom - r.top)};
    }
    if (fb->bitmap->pixels)
        for (int32_t k = 0; k < count; k++) {
            const pixel_rect &r = rects[k];
            convert(fb, r.left, r.top, r.right - r.left, r.bottom - r.top);
        }
    XSetClipRectangles(t->display, t->gc, 0, 0, clip, count, Unsorted);
    put_image(t, fb, bounds.left, bounds.top, bounds.right - bounds.left,
              bounds.bottom - bounds.top);
    XSetClipMask(t->display, t->gc, None);
}

// Measured on Xvfb, the program's processor time and the server's together
// (BENCHMARKS.md, "The three ways of copying").
static present_costs x11_present_costs() { return {1270, 1380, 0.19, 930, 52, 0.17, 0.19}; }

static void x11_copy_pixel(plat_dc target, const frame_buffer *fb, int32_t x, int32_t y) {
    x11_copy_rect(target, fb, x, y, 1, 1);
}

// Here "the screen" is the bound window: (x, y) are its coordinates. The desktop
// picture XScreenSaver saved for the window comes first; a window that cannot be
// read (unmapped, partly off the screen) leaves the picture as it is.
static void x11_capture_screen(frame_buffer *fb, int32_t x, int32_t y) {
    if (!fb->pixels || x11_capture_saved_screen(fb)) return;
    x11_trap_errors();
    XImage *shot = XGetImage(x11.display, x11.window, x, y, unsigned(fb->width),
                             unsigned(fb->height), AllPlanes, ZPixmap);
    const int error = x11_untrap_errors();
    if (!shot && !error) x11.out_of_memory = true;
    if (!shot) return;
    if (!error) x11_fill_from_image(fb, shot);
    XDestroyImage(shot);
}

static const framebuf_services x11_services = {
    x11_init_framebuf, x11_deinit_framebuf, x11_copy_pixel,     x11_copy_rect,
    x11_copy_rects,    x11_present_costs,   x11_capture_screen,
};

void x11_open(Display *display) {
    x11.display = display;
    XSetErrorHandler(on_x_error);
    use_framebuf_services(x11_services);
}
