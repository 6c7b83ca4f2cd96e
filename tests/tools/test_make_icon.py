#!/usr/bin/env python3
"""Checks the icon written by tools/make_icon.py against the .ico layout."""
import os
import struct
import subprocess
import sys
import tempfile
import unittest

SCRIPT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "make_icon.py")

# width, height, bits per pixel, ICONDIRENTRY colour count
EXPECTED = [(16, 16, 4, 16), (16, 16, 8, 0), (32, 32, 4, 16), (32, 32, 8, 0)]


def run_script(*args):
    return subprocess.run([sys.executable, SCRIPT, *args], capture_output=True)


def stride(bits_per_row):
    return (bits_per_row + 31) // 32 * 4


class Image:
    """One decoded icon image: header fields, palette and per-pixel data (rows top-down)."""

    def __init__(self, data):
        (self.header_size, self.width, self.height2, self.planes, self.bpp,
         self.compression, self.size_image) = struct.unpack_from("<IiiHHII", data)
        palette_end = self.header_size + 4 * (1 << self.bpp)
        self.palette = [tuple(data[i:i + 3][::-1]) for i in range(self.header_size, palette_end, 4)]
        xor_stride, and_stride = stride(self.width * self.bpp), stride(self.width)
        xor_end = palette_end + xor_stride * self.width
        self.expected_length = xor_end + and_stride * self.width
        self.index = [[self._bits(data, palette_end + r * xor_stride, x, self.bpp)
                       for x in range(self.width)] for r in reversed(range(self.width))]
        self.transparent = [[self._bits(data, xor_end + r * and_stride, x, 1)
                             for x in range(self.width)] for r in reversed(range(self.width))]

    @staticmethod
    def _bits(data, row_start, x, bpp):
        bit = x * bpp
        byte = data[row_start + bit // 8]
        return (byte >> (8 - bpp - bit % 8)) & ((1 << bpp) - 1)

    def colour(self, x, y):
        return self.palette[self.index[y][x]]


class MakeIconTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        path = os.path.join(cls.tmp.name, "app.ico")
        result = run_script(path)
        assert result.returncode == 0, result.stderr
        with open(path, "rb") as f:
            cls.data = f.read()
        reserved, kind, count = struct.unpack_from("<HHH", cls.data)
        cls.directory = (reserved, kind, count)
        cls.entries = [struct.unpack_from("<BBBBHHII", cls.data, 6 + 16 * i) for i in range(count)]
        cls.images = [Image(cls.data[e[7]:e[7] + e[6]]) for e in cls.entries]

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def test_directory_lists_the_four_images(self):
        self.assertEqual(self.directory, (0, 1, 4))
        listed = [(w, h, bpp, colours) for w, h, colours, _, _, bpp, _, _ in self.entries]
        self.assertEqual(listed, EXPECTED)
        for entry in self.entries:
            self.assertEqual(entry[3:5], (0, 1), "reserved byte and planes")

    def test_image_blocks_are_contiguous_and_fill_the_file(self):
        offset = 6 + 16 * len(self.entries)
        for entry in self.entries:
            self.assertEqual(entry[7], offset)
            offset += entry[6]
        self.assertEqual(offset, len(self.data))

    def test_bitmap_headers_match_directory(self):
        for (width, _, bpp, _), image, entry in zip(EXPECTED, self.images, self.entries):
            with self.subTest(size=width, bpp=bpp):
                self.assertEqual((image.header_size, image.width, image.height2, image.planes,
                                  image.bpp, image.compression), (40, width, 2 * width, 1, bpp, 0))
                self.assertEqual(image.expected_length, entry[6], "padded XOR + AND rows")
                self.assertEqual(image.size_image, entry[6] - 40 - 4 * (1 << bpp))

    def test_mask_clears_corners_and_keeps_centre(self):
        for image in self.images:
            last = image.width - 1
            with self.subTest(size=image.width, bpp=image.bpp):
                for x, y in [(0, 0), (last, 0), (0, last), (last, last)]:
                    self.assertEqual(image.transparent[y][x], 1, (x, y))
                self.assertEqual(image.transparent[image.width // 2][image.width // 2], 0)

    def test_transparent_pixels_are_black_in_colour_bitmap(self):
        for image in self.images:
            with self.subTest(size=image.width, bpp=image.bpp):
                for y in range(image.width):
                    for x in range(image.width):
                        if image.transparent[y][x]:
                            self.assertEqual(image.colour(x, y), (0, 0, 0), (x, y))

    def test_depths_share_shape_and_stroke(self):
        by_size = {}
        for image in self.images:
            white = [[image.colour(x, y) == (255, 255, 255) for x in range(image.width)]
                     for y in range(image.width)]
            by_size.setdefault(image.width, []).append((image.transparent, white))
        for size, variants in by_size.items():
            with self.subTest(size=size):
                self.assertEqual(variants[0], variants[1])
                self.assertTrue(any(map(any, variants[0][1])), "white stroke drawn")

    def test_picture_is_upright(self):
        # Rows are stored bottom-up: the check's long arm must end top right and
        # the background must lighten towards the top.
        for image in self.images:
            size = image.width
            with self.subTest(size=size, bpp=image.bpp):
                tip = [image.colour(x, y) for y in range(size // 2) for x in range(size // 2, size)]
                self.assertIn((255, 255, 255), tip)
                top, bottom = image.colour(size // 2, size // 8), image.colour(size // 2, size - 1 - size // 8)
                self.assertGreater(sum(top), sum(bottom))

    def test_output_is_deterministic(self):
        path = os.path.join(self.tmp.name, "again.ico")
        self.assertEqual(run_script(path).returncode, 0)
        with open(path, "rb") as f:
            self.assertEqual(f.read(), self.data)

    def test_rejects_missing_output_path(self):
        result = run_script()
        self.assertEqual(result.returncode, 2)
        self.assertIn(b"usage", result.stderr)


if __name__ == "__main__":
    unittest.main()
