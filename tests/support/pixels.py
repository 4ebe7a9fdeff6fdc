# Pixel measurements for the tray tests: how well a mark shows on its bar.
import subprocess


def luminance(rgb):
    def linear(c):
        c /= 255
        return c / 12.92 if c <= 0.04045 else ((c + 0.055) / 1.055) ** 2.4
    r, g, b = (linear(c) for c in rgb)
    return 0.2126 * r + 0.7152 * g + 0.0722 * b


def contrast(a, b):
    la, lb = sorted((luminance(a), luminance(b)))
    return (lb + 0.05) / (la + 0.05)


def over(rgba, background):
    """An RGBA pixel composited over an opaque background."""
    alpha = rgba[3] / 255
    return tuple(round(c * alpha + b * (1 - alpha)) for c, b in zip(rgba[:3], background))


def shows(pixels, background):
    """Whether a mark is visible: a stray pixel is not, twenty at 3:1 are."""
    ratios = sorted((contrast(p, background) for p in pixels), reverse=True) + [1.0] * 20
    return ratios[19] >= 3, f"{ratios[0]:.2f}:1 at best, {sum(r >= 3 for r in ratios[:-20])} pixels at 3:1"


def screen_pixels(x, y, width, height):
    """Pixels of an X screen area, row by row."""
    ppm = subprocess.run(["import", "-window", "root", "-crop", f"{width}x{height}+{x}+{y}", "-depth", "8", "ppm:-"],
                         check=True, capture_output=True).stdout
    data = ppm.split(b"\n", 3)[3]
    return [tuple(data[i:i + 3]) for i in range(0, len(data) - 2, 3)]
