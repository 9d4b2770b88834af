#!/usr/bin/python3
"""The screen font of the page: IPAGothic cut down to the characters the
programs' screen can hold (CP932: ASCII, half-width katakana, JIS X 0208 and
the NEC and IBM extensions), without its hinting, renamed as the IPA Font License asks of a font
derived from it, written as TrueType for woff2_compress.

usage: subset_font.py IPAG_TTF OUTPUT_TTF
"""
import sys

from fontTools import subset
from fontTools.ttLib import TTFont

FAMILY = "Tessel Gothic"


def cp932_code_points():
    points = set(range(0x20, 0x7F))
    for byte in range(0xA1, 0xE0):
        points.add(ord(bytes([byte]).decode("cp932")))
    for lead in list(range(0x81, 0xA0)) + list(range(0xE0, 0xFD)):
        for trail in list(range(0x40, 0x7F)) + list(range(0x80, 0xFD)):
            try:
                points.add(ord(bytes([lead, trail]).decode("cp932")))
            except UnicodeDecodeError:
                pass
    return points


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    font = TTFont(sys.argv[1])
    options = subset.Options()
    options.layout_features = ["*"]
    options.name_IDs = ["*"]
    options.name_languages = ["*"]
    options.notdef_outline = True
    # Without the TrueType instructions: half the size, and browsers draw
    # the outlines smoothly at the grid's sizes without them.
    options.hinting = False
    subsetter = subset.Subsetter(options)
    subsetter.populate(unicodes=cp932_code_points())
    subsetter.subset(font)
    # Family, full and PostScript names: a derived font may not carry the
    # original's (the licence text ships beside it and names it).
    for record in font["name"].names:
        if record.nameID in (1, 4, 16, 21):
            record.string = FAMILY
        elif record.nameID == 6:
            record.string = FAMILY.replace(" ", "")
        elif record.nameID == 3:
            record.string = FAMILY + " (subset of IPAGothic)"
    font.save(sys.argv[2])


if __name__ == "__main__":
    main()
