#!/usr/bin/python3
"""Makes ZindraMono.ttf, the font of the window's panes, from GNU FreeMono.

The panes draw Windows-1252 text and, for the control bytes, the control
pictures U+2400-U+241F and U+2421, which the usual monospaced fonts lack.
FreeMono has them all.  This keeps only the characters a pane can draw, so
the program carries the same font on every platform:

    /usr/bin/python3 src/app/fonts/make_pane_font.py \\
        /usr/share/fonts/truetype/freefont/FreeMono.ttf src/app/fonts/ZindraMono.ttf

(Debian: fonts-freefont-ttf, python3-fonttools.)  The five bytes Windows-1252
leaves unassigned (0x81, 0x8D, 0x8F, 0x90, 0x9D) keep their C1 code points in
the panes; here they are drawn as U+2426, a reversed question mark.
"""
import sys

from fontTools import subset
from fontTools.ttLib import TTFont

CP1252_HIGH = [0x20AC, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152,
               0x017D, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A,
               0x0153, 0x017E, 0x0178]
UNASSIGNED = [0x81, 0x8D, 0x8F, 0x90, 0x9D]
SUBSTITUTE = 0x2426
FAMILY = "Zindra Mono"


def main(source, target):
    codes = list(range(0x20, 0x7F)) + list(range(0xA0, 0x100)) + CP1252_HIGH
    codes += list(range(0x2400, 0x2420)) + [0x2421, SUBSTITUTE]
    font = TTFont(source)
    options = subset.Options()
    options.name_IDs = ["*"]
    options.notdef_outline = True
    options.layout_features = []
    options.hinting = True
    sub = subset.Subsetter(options)
    sub.populate(unicodes=codes)
    sub.subset(font)

    for table in font["cmap"].tables:
        if table.isUnicode():
            glyph = table.cmap[SUBSTITUTE]
            for code in UNASSIGNED:
                table.cmap[code] = glyph

    # FreeMono's advances are all one width, but its post table does not say
    # so; Windows (GDI) takes the font for proportional without the flag.
    font["post"].isFixedPitch = 1

    names = font["name"]
    for record in list(names.names):
        if record.nameID in (1, 16):
            names.setName(FAMILY, record.nameID, record.platformID, record.platEncID, record.langID)
        elif record.nameID in (3, 4):
            names.setName(FAMILY + " Regular", record.nameID, record.platformID, record.platEncID, record.langID)
        elif record.nameID == 6:
            names.setName("ZindraMono-Regular", record.nameID, record.platformID, record.platEncID, record.langID)
    font.save(target)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
