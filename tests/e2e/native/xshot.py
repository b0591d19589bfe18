# xshot.py OUT.ppm [WINDOW]: the root window (or WINDOW, read itself, as the
# root would lose its alpha) as 8 bits a channel, each channel of the visual
# scaled to the nearest 8-bit value. ImageMagick's import misreads 30-bit
# (10-10-10) screens; this reads any TrueColor one through Xlib itself. Bits of
# the window's depth beyond its channels (an ARGB visual's) are written too:
# OUT is then a PAM with them as its alpha.
import ctypes
import sys

x = ctypes.CDLL("libX11.so.6")
x.XOpenDisplay.restype = ctypes.c_void_p
x.XDefaultRootWindow.restype = ctypes.c_ulong
x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
x.XGetGeometry.argtypes = [ctypes.c_void_p, ctypes.c_ulong] + [ctypes.c_void_p] * 7
x.XGetImage.restype = ctypes.c_void_p
x.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                        ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]


class XImage(ctypes.Structure):
    _fields_ = [(n, ctypes.c_int) for n in ("width", "height", "xoffset", "format")] + [
        ("data", ctypes.POINTER(ctypes.c_ubyte))] + [
        (n, ctypes.c_int) for n in ("byte_order", "bitmap_unit", "bitmap_bit_order", "bitmap_pad",
                                    "depth", "bytes_per_line", "bits_per_pixel")] + [
        (n, ctypes.c_ulong) for n in ("red_mask", "green_mask", "blue_mask")]


d = x.XOpenDisplay(None)
if not d:
    sys.exit("xshot: no display")
window = int(sys.argv[2], 0) if len(sys.argv) > 2 else x.XDefaultRootWindow(d)
g = [ctypes.c_ulong(), ctypes.c_int(), ctypes.c_int()] + [ctypes.c_uint() for _ in range(4)]
if not x.XGetGeometry(d, window, *map(ctypes.byref, g)):
    sys.exit(f"xshot: no window {window:#x}")
w, h = g[3].value, g[4].value
im = ctypes.cast(x.XGetImage(d, window, 0, 0, w, h, 0xFFFFFFFF, 2),
                 ctypes.POINTER(XImage)).contents
step, line = im.bits_per_pixel // 8, im.bytes_per_line
raw = ctypes.string_at(im.data, line * h)
order = "little" if im.byte_order == 0 else "big"


def channel(mask):
    """A mask's shift, its largest value, and each value scaled to 8 bits."""
    shift = (mask & -mask).bit_length() - 1
    most = mask >> shift
    return shift, most, [(v * 255 + most // 2) // most for v in range(most + 1)]


alpha = ((1 << im.depth) - 1) & ~(im.red_mask | im.green_mask | im.blue_mask)
masks = (im.red_mask, im.green_mask, im.blue_mask) + ((alpha,) if alpha else ())
channels = [channel(m) for m in masks]
out = bytearray()
for r in range(h):
    row = raw[r * line:(r + 1) * line]
    for c in range(w):
        p = int.from_bytes(row[c * step:(c + 1) * step], order)
        out += bytes(table[(p >> shift) & most] for shift, most, table in channels)
with open(sys.argv[1], "wb") as f:
    if alpha:
        f.write(b"P7\nWIDTH %d\nHEIGHT %d\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n" % (w, h))
    else:
        f.write(b"P6 %d %d 255\n" % (w, h))
    f.write(bytes(out))
