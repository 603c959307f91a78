#!/usr/bin/env python3
"""Every dump format through rawsnap's PNG and BMP, against PIL's and
ImageMagick's own reading of the same raw bytes.

Usage: oracle_test.py RAWSNAP. Exits 77 (skipped) when PIL or ImageMagick is
missing outside CI, 1 on the first format whose pixels differ.
"""
import os
import random
import subprocess
import sys
import tempfile

try:
    from PIL import Image
except ImportError:
    Image = None

WIDTH, HEIGHT = 37, 23  # odd width: BMP rows of every layout get padding
SLACK_PIXELS = 3        # pitch slack, in pixels, so ImageMagick can be given it as width
OFFSET = 11             # header bytes before the first line

# format: bytes per pixel, PIL mode and raw mode, ImageMagick raw format (8-bit formats only),
# bits of each channel of the output (R, G, B[, A]), and the channel order PIL's raw mode yields.
FORMATS = {
    "RGB888": (3, "RGB", "BGR", "bgr", (8, 8, 8), None),
    "BGR888": (3, "RGB", "RGB", "rgb", (8, 8, 8), None),
    "XRGB8888": (4, "RGB", "BGRX", "bgro", (8, 8, 8), None),
    "ARGB8888": (4, "RGBA", "BGRA", "bgra", (8, 8, 8, 8), None),
    "RGB565": (2, "RGB", "BGR;16", None, (5, 6, 5), None),
    "BGR565": (2, "RGB", "RGB;16", None, (5, 6, 5), None),
    "RGB565_SWAPPED": (2, "RGB", "BGR;16", None, (5, 6, 5), "swap"),
    "ARGB1555": (2, "RGBA", "BGRA;15", None, (5, 5, 5, 1), None),
    "ARGB4444": (2, "RGBA", "RGBA;4B", None, (4, 4, 4, 4), (2, 1, 0, 3)),  # PIL's RGBA;4B is ABGR4444
    "ARGB8565": (3, "RGBA", "BGR;16", None, (5, 6, 5, 8), "8565"),  # PIL reads the RGB565 words, alpha apart
}


def widen(value, bits):
    """The documented widening: `bits` bits replicated into 8."""
    out, filled = 0, 0
    while filled < 8:
        out = (out << bits) | value
        filled += bits
    return out >> (filled - 8)


def narrow(value, bits):
    """The `bits`-bit field an 8-bit reading came from, whatever scaling the reader used."""
    return round(value * ((1 << bits) - 1) / 255)


def widened(pixels, bits):
    return [tuple(widen(narrow(c, b), b) for c, b in zip(p, bits)) for p in pixels]


def narrowed(pixels, bits):
    return [tuple(narrow(c, b) for c, b in zip(p, bits)) for p in pixels]


def pil_argb8565(lines, pitch):
    """ARGB8565: PIL reads the RGB565 word of each pixel; the alpha byte follows it."""
    rows = [lines[y * pitch:y * pitch + WIDTH * 3] for y in range(HEIGHT)]
    words = b"".join(bytes(b for i in range(0, len(row), 3) for b in row[i:i + 2]) for row in rows)
    colours = list(Image.frombytes("RGB", (WIDTH, HEIGHT), words, "raw", "BGR;16").getdata())
    alphas = [row[i + 2] for row in rows for i in range(0, len(row), 3)]
    return [colour + (alpha,) for colour, alpha in zip(colours, alphas)]


def pil_raw(dump, size, pitch, mode, rawmode, order):
    lines = dump[OFFSET:]
    if order == "8565":
        return pil_argb8565(lines, pitch)
    if order == "swap":  # RGB565 with its bytes exchanged: exchange them back
        lines = bytes(b for i in range(0, len(lines), 2) for b in (lines[i + 1], lines[i]))
        order = None
    image = Image.frombytes(mode, (WIDTH, HEIGHT), lines, "raw", rawmode, pitch, 1)
    pixels = list(image.getdata())
    if order:
        pixels = [tuple(p[i] for i in order) for p in pixels]
    return pixels


def magick_raw(folder, dump, bytes_per_pixel, pitch, coder, channels):
    # ImageMagick reads whole lines of pitch / bytes per pixel pixels: give the last one its slack.
    path = os.path.join(folder, "magick.raw")
    with open(path, "wb") as f:
        f.write(dump + bytes(SLACK_PIXELS * bytes_per_pixel))
    size = "%dx%d+%d" % (pitch // bytes_per_pixel, HEIGHT, OFFSET)
    raw = subprocess.run(["convert", "-size", size, "-depth", "8", "%s:%s" % (coder, path), "-crop",
                          "%dx%d+0+0" % (WIDTH, HEIGHT), "+repage", "-depth", "8",
                          ("rgba:-" if channels == 4 else "rgb:-")], check=True, capture_output=True).stdout
    return [tuple(raw[i:i + channels]) for i in range(0, len(raw), channels)]


def magick_file(path, channels):
    raw = subprocess.run(["convert", path, "-depth", "8", ("rgba:-" if channels == 4 else "rgb:-")],
                         check=True, capture_output=True).stdout
    return [tuple(raw[i:i + channels]) for i in range(0, len(raw), channels)]


def run(rawsnap, dump_path, name, pitch, output):
    result = subprocess.run([rawsnap, "--fb", dump_path, "--width", str(WIDTH), "--pitch", str(pitch),
                             "--offset", str(OFFSET), "--format", name, "--output", output],
                            capture_output=True, text=True)
    if result.returncode != 0:
        raise AssertionError("%s: rawsnap failed: %s" % (name, result.stdout))


def compare(what, seen, expected):
    if seen != expected:
        first = next(i for i, (a, b) in enumerate(zip(seen, expected)) if a != b) if len(seen) == len(
            expected) else None
        raise AssertionError("%s: %d pixels, expected %d; first difference at %s: %s, expected %s" % (
            what, len(seen), len(expected), first, seen[first] if first is not None else "-",
            expected[first] if first is not None else "-"))


def check_format(rawsnap, folder, name, generator):
    bytes_per_pixel, mode, rawmode, coder, bits, order = FORMATS[name]
    channels = len(bits)
    pitch = (WIDTH + SLACK_PIXELS) * bytes_per_pixel
    # No trailing slack: the height is inferred from a dump that ends after the last line's pixels.
    dump = bytes(generator.getrandbits(8) for _ in range(OFFSET + (HEIGHT - 1) * pitch + WIDTH * bytes_per_pixel))
    dump_path = os.path.join(folder, name + ".raw")
    with open(dump_path, "wb") as f:
        f.write(dump)
    png, bmp = os.path.join(folder, name + ".png"), os.path.join(folder, name + ".bmp")
    run(rawsnap, dump_path, name, pitch, png)
    run(rawsnap, dump_path, name, pitch, bmp)

    oracle = pil_raw(dump, (WIDTH, HEIGHT), pitch, mode, rawmode, order)
    expected = widened(oracle, bits)
    if coder:
        seen = magick_raw(folder, dump, bytes_per_pixel, pitch, coder, channels)
        if coder == "bgro":  # XRGB8888: ImageMagick keeps the X byte as opacity; compare the colours
            seen = [p[:3] for p in seen]
        compare(name + ": ImageMagick's reading against PIL's", widened(seen, bits), expected)

    with Image.open(png) as image:
        if image.mode != mode:
            raise AssertionError("%s: PNG of mode %s, expected %s" % (name, image.mode, mode))
        compare(name + ": PNG", list(image.getdata()), expected)
    # BMP readers widen 16-bit fields their own way: compare the fields.
    with Image.open(bmp) as image:
        compare(name + ": BMP read by PIL", narrowed(list(image.convert(mode).getdata()), bits),
                narrowed(expected, bits))
    compare(name + ": BMP read by ImageMagick", narrowed(magick_file(bmp, channels), bits), narrowed(expected, bits))


def main():
    if Image is None or subprocess.run(["sh", "-c", "command -v convert"], capture_output=True).returncode != 0:
        print("PIL (python3-pil) or ImageMagick is not installed")
        return 1 if os.environ.get("CI") == "true" else 77
    generator = random.Random(23)
    with tempfile.TemporaryDirectory() as folder:
        failures = 0
        for name in FORMATS:
            try:
                check_format(sys.argv[1], folder, name, generator)
                print("ok", name)
            except (AssertionError, subprocess.CalledProcessError) as error:
                print("FAIL", error)
                failures += 1
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
