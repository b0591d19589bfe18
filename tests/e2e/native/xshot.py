# xshot.py OUT.ppm: the root window as 8 bits a channel, each channel of the
# visual scaled to the nearest 8-bit value. ImageMagick's import misreads
# 30-bit (10-10-10) screens; this reads any TrueColor one through Xlib itself.
import ctypes
import sys

x = ctypes.CDLL("libX11.so.6")
x.XOpenDisplay.restype = ctypes.c_void_p
x.XDefaultRootWindow.restype = ctypes.c_ulong
x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
x.XDisplayWidth.argtypes = x.XDisplayHeight.argtypes = [ctypes.c_void_p, ctypes.c_int]
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
w, h = x.XDisplayWidth(d, 0), x.XDisplayHeight(d, 0)
im = ctypes.cast(x.XGetImage(d, x.XDefaultRootWindow(d), 0, 0, w, h, 0xFFFFFFFF, 2),
                 ctypes.POINTER(XImage)).contents
step, line = im.bits_per_pixel // 8, im.bytes_per_line
raw = ctypes.string_at(im.data, line * h)
order = "little" if im.byte_order == 0 else "big"
channels = []
for mask in (im.red_mask, im.green_mask, im.blue_mask):
    shift = (mask & -mask).bit_length() - 1
    most = mask >> shift
    channels.append((shift, most, [(v * 255 + most // 2) // most for v in range(most + 1)]))
out = bytearray()
for r in range(h):
    row = raw[r * line:(r + 1) * line]
    for c in range(w):
        p = int.from_bytes(row[c * step:(c + 1) * step], order)
        out += bytes(table[(p >> shift) & most] for shift, most, table in channels)
with open(sys.argv[1], "wb") as f:
    f.write(b"P6 %d %d 255\n" % (w, h) + bytes(out))
