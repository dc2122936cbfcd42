#!/usr/bin/env python3
"""Generates vos/vbase/VCMMapTables.cpp: the two GBK code-page table images.

Usage: python3 tools/gen_cmmap_tables.py [MAPPING [OUTPUT]]
  MAPPING defaults to tools/cp936-bestfit.txt beside this script,
  OUTPUT to vos/vbase/VCMMapTables.cpp of the repository ('-' for stdout).

Image layout (little-endian 16-bit words): tag, format word 0x0200, section
count N, reserved 0; N directory records (first code, number of codes); then
every section's entries in directory order.

The multibyte-to-Unicode image ("MM") has one section per lead byte, with the
trail ranges the library has always carried; a trail byte 0x7F decodes to '?'.
The Unicode-to-multibyte image ("WM") inverts it over 30 fixed sections and
adds the best-fit entries of the mapping file that point at a two-byte code;
0xFFFF marks a character without a code. GBK codes are stored lead byte in the
low 8 bits so that an entry's bytes stand in output order.
"""

import os
import sys

FORMAT_WORD = 0x0200
NO_CODE = 0xFFFF

FULL = (0x40, 0xFE)
UPPER = (0xA1, 0xFE)
LOWER = (0x40, 0xA0)


def mb_sections():
    """(first code, number of codes) of every multibyte-to-Unicode section."""
    out = []
    for lead in range(0x81, 0xFF):
        if 0xA1 <= lead <= 0xA6:
            ranges = [UPPER]
        elif lead == 0xA7:
            ranges = [(0x67, 0x70), UPPER]
        elif 0xAA <= lead <= 0xAF or 0xF8 <= lead <= 0xFE:
            ranges = [LOWER]
        else:
            ranges = [FULL]
        for lo, hi in ranges:
            out.append((lead * 256 + lo, hi - lo + 1))
    return out


WC_SECTIONS = [
    (0x00A2, 0x00FC), (0x0101, 0x016B), (0x01C1, 0x01DC), (0x0251, 0x0261),
    (0x02C7, 0x02D9), (0x0391, 0x03C9), (0x0401, 0x0451), (0x2010, 0x203B),
    (0x2103, 0x2121), (0x2160, 0x2179), (0x2190, 0x2199), (0x2208, 0x22BF),
    (0x2312, 0x2312), (0x2460, 0x249B), (0x2500, 0x2573), (0x2581, 0x2595),
    (0x25A0, 0x25E5), (0x2605, 0x2642), (0x3000, 0x3029), (0x3041, 0x309E),
    (0x30A1, 0x30FE), (0x3105, 0x3129), (0x3220, 0x32A3), (0x338E, 0x33D5),
    (0x4E00, 0x9FA5), (0xE72D, 0xE864), (0xF92C, 0xFA29), (0xFE30, 0xFE4F),
    (0xFE50, 0xFE6B), (0xFF01, 0xFFE5),
]


def parse_mapping(path):
    """Reads the double-byte table {code: unit} and the WCTABLE {unit: code}."""
    with open(path, 'rb') as f:
        lines = f.read().decode('latin-1').splitlines()
    dbcs, wc = {}, {}
    lead, table = None, None
    for raw in lines:
        line = raw.split(';', 1)[0].strip()
        if not line:
            continue
        words = line.split()
        key = words[0].upper()
        if key == 'DBCSTABLE':
            lead = int(raw.split('=', 1)[1].strip(), 16)
            table = 'dbcs'
        elif key == 'WCTABLE':
            table = 'wc'
        elif key in ('MBTABLE', 'DBCSRANGE', 'CODEPAGE', 'CPINFO', 'ENDCODEPAGE'):
            table = None
        elif table == 'dbcs' and len(words) == 2:
            dbcs[lead * 256 + int(words[0], 16)] = int(words[1], 16)
        elif table == 'wc' and len(words) == 2:
            wc[int(words[0], 16)] = int(words[1], 16)
    return dbcs, wc


def image(tag, sections, entries):
    out = bytearray(tag.encode('ascii'))
    for word in (FORMAT_WORD, len(sections), 0):
        out += word.to_bytes(2, 'little')
    for first, count in sections:
        out += first.to_bytes(2, 'little') + count.to_bytes(2, 'little')
    for e in entries:
        out += e.to_bytes(2, 'little')
    return bytes(out)


def build(path):
    dbcs, wc = parse_mapping(path)

    mb_secs = mb_sections()
    mb_entries = []
    decode = {}
    for first, count in mb_secs:
        for code in range(first, first + count):
            if code & 0xFF == 0x7F:
                unit = 0x003F
            else:
                unit = dbcs[code]
                decode.setdefault(unit, code)
            mb_entries.append(unit)
    assert len(mb_secs) == 127, len(mb_secs)
    assert len(mb_entries) == 22175, len(mb_entries)
    assert NO_CODE not in mb_entries

    wc_secs = [(first, last - first + 1) for first, last in WC_SECTIONS]
    wc_entries = []
    best_fit = 0
    for first, count in wc_secs:
        for unit in range(first, first + count):
            code = decode.get(unit)
            if code is None:
                fit = wc.get(unit)
                if fit is not None and fit > 0xFF:
                    code = fit
                    best_fit += 1
            if code is None:
                wc_entries.append(NO_CODE)
            else:
                wc_entries.append((code >> 8) | ((code & 0xFF) << 8))
    assert len(wc_entries) == 23253, len(wc_entries)
    assert wc_entries.count(NO_CODE) == 824, wc_entries.count(NO_CODE)
    assert best_fit == 373, best_fit

    mm = image('MM', mb_secs, mb_entries)
    wm = image('WM', wc_secs, wc_entries)
    assert len(mm) == 44866 and len(wm) == 46634, (len(mm), len(wm))
    return mm, wm


def c_array(name, data):
    lines = ['extern const unsigned char %s[%d];' % (name, len(data)),
             'const unsigned char %s[%d] = {' % (name, len(data))]
    for i in range(0, len(data), 20):
        lines.append('    ' + ', '.join('0x%02x' % b for b in data[i:i + 20]) + ',')
    lines.append('};')
    return '\n'.join(lines)


def render(mm, wm):
    return '\n'.join([
        '// Generated by tools/gen_cmmap_tables.py from tools/cp936-bestfit.txt: do not edit.',
        '// Regenerate with: python3 tools/gen_cmmap_tables.py',
        '#include "vbase/VCMMapTables.h"',
        '',
        'VOS_NAMESPACE_BEGIN',
        '',
        c_array('g_VCMMapImageMB2WC', mm),
        '',
        c_array('g_VCMMapImageWC2MB', wm),
        '',
        'VOS_NAMESPACE_END',
        '',
    ])


def main(argv):
    here = os.path.dirname(os.path.abspath(__file__))
    src = argv[1] if len(argv) > 1 else os.path.join(here, 'cp936-bestfit.txt')
    dst = argv[2] if len(argv) > 2 else os.path.join(here, '..', 'vos', 'vbase', 'VCMMapTables.cpp')
    text = render(*build(src))
    if dst == '-':
        sys.stdout.write(text)
    else:
        with open(dst, 'w', newline='\n') as f:
            f.write(text)
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
