#!/usr/bin/env python3
"""Checks the built SetUp.exe from outside: its PE header, its imports and its resources.

    check_exe.py GROUP EXE [--objdump PATH] [--windres PATH]

GROUP is one of: pe-header, imports, dialog, pictures, manifest, version.
The file is read as bytes; resources are extracted with windres into a .res file and that
file is parsed here. Every difference is printed; the exit status is 1 if there was one.
"""
import argparse
import os
import re
import struct
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

# --- Expected values: the installer as designed. ---------------------------------------------

WS_POPUP = 0x80000000
WS_CHILD = 0x40000000
WS_VISIBLE = 0x10000000
WS_CAPTION = 0x00C00000
WS_BORDER = 0x00800000
WS_SYSMENU = 0x00080000
WS_GROUP = 0x00020000
WS_MINIMIZEBOX = 0x00020000
WS_TABSTOP = 0x00010000
DS_MODALFRAME = 0x80
DS_SETFONT = 0x40
WS_EX_CLIENTEDGE = 0x200
BS_PUSHBUTTON = 0x0
BS_DEFPUSHBUTTON = 0x1
BS_AUTOCHECKBOX = 0x3
BS_TYPEMASK = 0xF
SS_LEFT = 0x0
SS_CENTER = 0x1
SS_BITMAP = 0xE
SS_ETCHEDHORZ = 0x10
ES_AUTOHSCROLL = 0x80

# Names for printing a style that differs; child styles share bits between classes, so the
# low word is decoded per class.
WINDOW_BITS = [("WS_POPUP", WS_POPUP), ("WS_CHILD", WS_CHILD), ("WS_MINIMIZE", 0x20000000),
               ("WS_VISIBLE", WS_VISIBLE), ("WS_DISABLED", 0x08000000),
               ("WS_CLIPSIBLINGS", 0x04000000), ("WS_CLIPCHILDREN", 0x02000000),
               ("WS_MAXIMIZE", 0x01000000), ("WS_BORDER", WS_BORDER), ("WS_DLGFRAME", 0x00400000),
               ("WS_VSCROLL", 0x00200000), ("WS_HSCROLL", 0x00100000), ("WS_SYSMENU", WS_SYSMENU),
               ("WS_THICKFRAME", 0x00040000)]
CHILD_BITS = [("WS_GROUP", WS_GROUP), ("WS_TABSTOP", WS_TABSTOP)]
FRAME_BITS = [("WS_MINIMIZEBOX", WS_MINIMIZEBOX), ("WS_MAXIMIZEBOX", 0x00010000)]

BUTTON, EDIT, STATIC = 0x80, 0x81, 0x82
CLASS_NAMES = {BUTTON: "BUTTON", EDIT: "EDIT", STATIC: "STATIC", 0x83: "LISTBOX",
               0x84: "SCROLLBAR", 0x85: "COMBOBOX"}

DIALOG_ID = 141
DIALOG_STYLE = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_MODALFRAME | DS_SETFONT
DIALOG_EXSTYLE = WS_EX_CLIENTEDGE
DIALOG_RECT = (0, 0, 257, 235)
DIALOG_CAPTION = "Zantrel安装"
DIALOG_FONT = (9, 0, False, 1, "宋体")  # points, weight, italic, charset, face

ANY_TEXT = object()  # the title and edition labels: replaced at initialisation
CHECKBOX = WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX
PUSH = WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON
SEPARATOR = WS_VISIBLE | SS_ETCHEDHORZ
LABEL = WS_VISIBLE | WS_GROUP | SS_LEFT
CENTRED = WS_VISIBLE | WS_GROUP | SS_CENTER

# (id, class, text, style beyond WS_CHILD, (x, y, w, h)), in template (tab) order.
CONTROLS = [
    (1037, BUTTON, "For 中望CAD2021", CHECKBOX, (41, 82, 74, 10)),
    (1038, BUTTON, "For 中望CAD2022", CHECKBOX, (41, 101, 74, 10)),
    (1039, BUTTON, "For 中望CAD2023", CHECKBOX, (41, 120, 74, 10)),
    (1040, BUTTON, "For 中望CAD2024", CHECKBOX, (41, 139, 74, 10)),
    (1041, BUTTON, "For 中望CAD2025", CHECKBOX, (149, 82, 74, 10)),
    (1042, BUTTON, "For 中望CAD2026", CHECKBOX, (149, 101, 74, 10)),
    (1043, BUTTON, "For 中望CAD2027", CHECKBOX, (149, 120, 74, 10)),
    (1, BUTTON, "安装完成", WS_TABSTOP | BS_PUSHBUTTON, (97, 166, 63, 14)),  # hidden
    (2, BUTTON, "取  消", PUSH, (160, 214, 50, 14)),
    (1013, STATIC, ANY_TEXT, CENTRED, (86, 13, 146, 13)),
    (-1, STATIC, "", SEPARATOR, (0, 158, 257, 1)),
    (1016, STATIC, "请选择安装组件：", LABEL, (14, 62, 69, 10)),
    (-1, STATIC, "", SEPARATOR, (0, 51, 257, 1)),
    (-1, STATIC, 147, WS_VISIBLE | SS_BITMAP, (32, 5, 43, 43)),  # the logo, bitmap 147
    (1000, EDIT, "", WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, (13, 185, 179, 12)),
    (1015, BUTTON, "浏览...", PUSH, (199, 183, 51, 13)),
    (1014, "msctls_progress32", "", WS_BORDER, (13, 188, 237, 6)),  # hidden
    (1017, STATIC, "请选择安装路径：", LABEL, (14, 167, 71, 9)),
    (-1, STATIC, "", SEPARATOR, (0, 207, 257, 1)),
    (1022, BUTTON, "安  装", PUSH, (47, 215, 50, 13)),
    (1018, STATIC, ANY_TEXT, CENTRED, (86, 33, 146, 13)),
]

BITMAP_ID = 147
BITMAP_SIZE = (64, 64)
BITMAP_BPP = 24

ICON_GROUP_ID = 1
ICON_IMAGES = {(size, bpp) for size in (48, 32, 16) for bpp in (4, 8, 32)}

MANIFEST_ID = 1
# Vista, 7, 8, 8.1, 10 and 11: declared, so that the compatibility assistant does not take the
# installer for a legacy setup.
SUPPORTED_OS = {
    "{e2011457-1546-43c5-a5fe-008deee3d3f0}", "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",
    "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}", "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",
    "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",
}

# Version resource 1: the packed YYYYMMDD of the file VERSION as the four numbers Y.M.D.0.
VERSION_ID = 1
VERSION_FILE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "VERSION")
VERSION_BLOCK = "080404b0"  # Simplified Chinese, Unicode
VERSION_TRANSLATION = (0x0804, 1200)
VS_FIXEDFILEINFO_SIGNATURE = 0xFEEF04BD
VOS_NT_WINDOWS32, VFT_APP = 0x40004, 1

# DllCharacteristics: (bit, name, wanted). Address-space randomisation with 64-bit bases and
# no-execute data stay on; terminal-server awareness stays off, so that on a Remote Desktop
# server the setup runs in install mode.
DLL_CHARACTERISTICS = [
    (0x0020, "HIGH_ENTROPY_VA", True),
    (0x0040, "DYNAMIC_BASE", True),
    (0x0100, "NX_COMPAT", True),
    (0x8000, "TERMINAL_SERVER_AWARE", False),
]

# DLLs the loader always takes from System32 (the KnownDLLs), and ntdll, which every process
# has before the image's imports are resolved. Anything else is searched for beside the exe.
SYSTEM_DLLS = {
    "advapi32", "clbcatq", "combase", "comdlg32", "coml2", "difxapi", "gdi32", "gdiplus",
    "imagehlp", "imm32", "kernel32", "msctf", "msvcrt", "normaliz", "nsi", "ntdll", "ole32",
    "oleaut32", "psapi", "rpcrt4", "sechost", "setupapi", "shcore", "shell32", "shlwapi",
    "user32", "wldap32", "ws2_32",
}

RT_BITMAP, RT_ICON, RT_DIALOG, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 2, 3, 5, 14, 16, 24


# --- Reporting. ------------------------------------------------------------------------------

class Report:
    def __init__(self):
        self.failures = []
        self.checks = 0

    def expect(self, ok, message):
        self.checks += 1
        if not ok:
            self.failures.append(message)
        return ok

    def equal(self, what, actual, expected, hex_=False):
        return self.expect(actual == expected,
                           f"{what}: got {show(actual, hex_)}, expected {show(expected, hex_)}")


def show(value, hex_=False):
    if hex_ and isinstance(value, int):
        return f"0x{value:X}"
    return repr(value)


class Fatal(Exception):
    """The file cannot be read far enough to go on."""


def u16(data, offset):
    if offset + 2 > len(data):
        raise Fatal(f"read past the end at offset {offset}")
    return struct.unpack_from("<H", data, offset)[0]


def unpack(fmt, data, offset):
    if offset < 0 or offset + struct.calcsize(fmt) > len(data):
        raise Fatal(f"read of {struct.calcsize(fmt)} bytes past the end at offset {offset}")
    return struct.unpack_from(fmt, data, offset)


# --- PE image. -------------------------------------------------------------------------------

class PeImage:
    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise Fatal("no MZ signature: not a Windows executable")
        (self.pe_offset,) = unpack("<I", data, 0x3C)
        if data[self.pe_offset:self.pe_offset + 4] != b"PE\0\0":
            raise Fatal(f"no PE signature at offset {self.pe_offset}")
        coff = self.pe_offset + 4
        (self.machine, self.section_count, self.timestamp, self.symbol_table, self.symbol_count,
         self.optional_size, self.characteristics) = unpack("<HHIIIHH", data, coff)
        self.opt = coff + 20
        (self.magic,) = unpack("<H", data, self.opt)
        self.sections = []
        table = self.opt + self.optional_size
        for i in range(self.section_count):
            name, vsize, rva, raw_size, raw_ptr = unpack("<8sIIII", data, table + 40 * i)
            self.sections.append((name.rstrip(b"\0").decode("latin-1"), rva, max(vsize, raw_size),
                                  raw_ptr, raw_size))

    def optional(self, fmt, offset):
        return unpack(fmt, self.data, self.opt + offset)

    # PE32+ optional header fields.
    def subsystem_version(self):
        return self.optional("<HH", 48)

    def subsystem(self):
        return self.optional("<H", 68)[0]

    def image_base(self):
        return self.optional("<Q", 24)[0]

    def dll_characteristics(self):
        return self.optional("<H", 70)[0]

    def directory(self, index):
        (count,) = self.optional("<I", 108)
        if index >= count:
            return 0, 0
        return self.optional("<II", 112 + 8 * index)

    def offset_of(self, rva):
        for _, start, size, raw_ptr, raw_size in self.sections:
            if start <= rva < start + size and rva - start < raw_size:
                return raw_ptr + rva - start
        raise Fatal(f"RVA 0x{rva:X} lies in no section of the file")

    def cstring(self, rva):
        start = self.offset_of(rva)
        end = self.data.find(b"\0", start)
        if end < 0:
            raise Fatal(f"unterminated string at RVA 0x{rva:X}")
        return self.data[start:end].decode("latin-1")

    def imports(self):
        rva, _ = self.directory(1)
        names = []
        if rva == 0:
            return names
        offset = self.offset_of(rva)
        while True:
            fields = unpack("<IIIII", self.data, offset)
            if fields == (0, 0, 0, 0, 0):
                return names
            names.append(self.cstring(fields[3]))
            offset += 20


def check_pe_header(report, exe, _args):
    pe = PeImage(exe)
    report.equal("COFF machine", pe.machine, 0x8664, hex_=True)
    report.equal("optional header magic (PE32+)", pe.magic, 0x20B, hex_=True)
    report.expect(pe.characteristics & 0x0002, "COFF characteristics lack IMAGE_FILE_EXECUTABLE_IMAGE")
    report.expect(not pe.characteristics & 0x2000, "COFF characteristics mark the image as a DLL")
    report.equal("subsystem (2 = Windows GUI)", pe.subsystem(), 2)
    report.equal("subsystem version", "%d.%d" % pe.subsystem_version(), "5.2")
    report.equal("PointerToSymbolTable (release build is stripped)", pe.symbol_table, 0)
    report.equal("NumberOfSymbols (release build is stripped)", pe.symbol_count, 0)
    debug = [name for name, *_ in pe.sections if name.startswith(".debug") or name.startswith("/")]
    report.expect(not debug, f"debug sections left in the stripped image: {debug}")
    resources_rva = pe.directory(2)[0]
    report.expect(resources_rva != 0, "the image has no resource directory")

    # Two builds of one commit must give the same bytes: no link time anywhere.
    report.equal("COFF TimeDateStamp (no link time in a reproducible build)", pe.timestamp, 0)
    if resources_rva:
        (stamp,) = unpack("<I", exe, pe.offset_of(resources_rva) + 4)
        report.equal("resource directory TimeDateStamp", stamp, 0)

    flags = pe.dll_characteristics()
    for bit, name, wanted in DLL_CHARACTERISTICS:
        report.expect(bool(flags & bit) == wanted,
                      f"DllCharacteristics 0x{flags:04X}: {name} is "
                      f"{'missing' if wanted else 'set'}")
    # A relocatable image needs its relocations, and a high-entropy one a base above 4 GB.
    report.expect(not pe.characteristics & 0x0001, "COFF characteristics mark relocations stripped")
    report.expect(pe.directory(5)[1] != 0, "the image has no base relocations: it cannot move")
    report.expect(pe.image_base() >= 1 << 32, f"image base 0x{pe.image_base():X} lies below 4 GB")


# --- Imports. --------------------------------------------------------------------------------

def dll_key(name):
    lower = name.lower()
    return lower[:-4] if lower.endswith(".dll") else lower


def objdump_dlls(objdump, path):
    out = subprocess.run([objdump, "-p", path], check=True, capture_output=True, text=True,
                         errors="replace").stdout
    return re.findall(r"^\s*DLL Name:\s*(\S+)", out, re.M)


def check_imports(report, exe, args):
    names = PeImage(exe).imports()
    report.expect(any(dll_key(n) == "kernel32" for n in names),
                  f"kernel32.dll missing from the import table (read: {names})")
    seen = set()
    for name in names:
        key = dll_key(name)
        report.expect(key not in seen, f"imports {name} twice")
        seen.add(key)
        if key == "comctl32":
            report.expect(False, "imports comctl32.dll: it is no KnownDLL, so a planted copy "
                                 "beside the exe would be loaded; load it at run time from System32")
        else:
            report.expect(key in SYSTEM_DLLS,
                          f"imports {name}, which the system does not always load from System32 "
                          "(a DLL of that name beside the exe would be used)")
    if args.objdump:
        # A second reading of the same table, by a tool that does not share this parser.
        theirs = sorted({dll_key(n) for n in objdump_dlls(args.objdump, args.exe)})
        report.equal("DLLs named by objdump -p compared with this parser", theirs,
                     sorted({dll_key(n) for n in names}))
    print("imports:", ", ".join(names) or "(none)")


# --- Resources (.res file). ------------------------------------------------------------------

def read_name(data, offset):
    """A resource or template name: 0xFFFF and an ordinal, or a NUL-terminated UTF-16 string.
    Returns (int or str, next offset)."""
    if u16(data, offset) == 0xFFFF:
        return u16(data, offset + 2), offset + 4
    end = offset
    while u16(data, end) != 0:
        end += 2
    return data[offset:end].decode("utf-16-le"), end + 2


def align4(offset):
    return (offset + 3) & ~3


class Resource:
    def __init__(self, type_, name, data):
        self.type, self.name, self.data = type_, name, data


def parse_res(data):
    entries = []
    offset = 0
    while offset < len(data):
        data_size, header_size = unpack("<II", data, offset)
        type_, pos = read_name(data, offset + 8)
        name, pos = read_name(data, pos)
        pos = align4(pos)
        if pos + 16 != offset + header_size:
            raise Fatal(f"resource {type_}/{name}: header size {header_size} does not match "
                        f"its fields ({pos + 16 - offset} bytes)")
        body = data[offset + header_size:offset + header_size + data_size]
        if len(body) != data_size:
            raise Fatal(f"resource {type_}/{name} is cut short")
        if not (type_ == 0 and data_size == 0):  # the empty entry that opens every .res file
            entries.append(Resource(type_, name, body))
        offset = align4(offset + header_size + data_size)
    return entries


def extract_resources(windres, exe_path):
    with tempfile.TemporaryDirectory() as tmp:
        res = os.path.join(tmp, "SetUp.res")
        run = subprocess.run([windres, "-i", exe_path, "-O", "res", "-o", res],
                             capture_output=True, text=True)
        if run.returncode != 0:
            raise Fatal(f"{windres} could not extract the resources: {run.stderr.strip()}")
        with open(res, "rb") as f:
            return parse_res(f.read())


def find_one(report, resources, type_, name, what):
    found = [r for r in resources if r.type == type_ and r.name == name]
    report.expect(found, f"{what} (type {type_}, id {name}) is missing")
    report.expect(len(found) <= 1, f"{what} is there {len(found)} times (several languages?)")
    return found[0] if found else None


# --- Dialog template. ------------------------------------------------------------------------

def style_names(style, class_):
    parts = [n for n, bit in WINDOW_BITS if style & bit]
    parts += [n for n, bit in (CHILD_BITS if style & WS_CHILD else FRAME_BITS) if style & bit]
    low = style & 0xFFFF
    if class_ == BUTTON:
        kinds = {0: "BS_PUSHBUTTON", 1: "BS_DEFPUSHBUTTON", 2: "BS_CHECKBOX",
                 3: "BS_AUTOCHECKBOX", 7: "BS_GROUPBOX", 9: "BS_AUTORADIOBUTTON"}
        parts.append(kinds.get(low & BS_TYPEMASK, f"button type {low & BS_TYPEMASK}"))
        low &= ~BS_TYPEMASK
    elif class_ == STATIC:
        kinds = {0: "SS_LEFT", 1: "SS_CENTER", 2: "SS_RIGHT", 0xE: "SS_BITMAP",
                 0x10: "SS_ETCHEDHORZ", 0x11: "SS_ETCHEDVERT"}
        parts.append(kinds.get(low & 0x1F, f"static type {low & 0x1F}"))
        low &= ~0x1F
    elif class_ == EDIT and low & ES_AUTOHSCROLL:
        parts.append("ES_AUTOHSCROLL")
        low &= ~ES_AUTOHSCROLL
    if not style & WS_CHILD and low & DS_MODALFRAME:
        parts.append("DS_MODALFRAME")
        low &= ~DS_MODALFRAME
    if not style & WS_CHILD and low & DS_SETFONT:
        parts.append("DS_SETFONT")
        low &= ~DS_SETFONT
    if low:
        parts.append(f"0x{low:X}")
    return " | ".join(parts) or "0"


def show_class(class_):
    if isinstance(class_, int):
        return f"ordinal 0x{class_:04X} ({CLASS_NAMES.get(class_, 'unknown')})"
    return f"the name {class_!r}"


def same_class(actual, expected):
    """Ordinals must match exactly; class names match without regard to case, as the system
    looks them up (windres stores them upper-cased)."""
    if isinstance(expected, int) or isinstance(actual, int):
        return actual == expected
    return actual.lower() == expected.lower()


def parse_dialog(data):
    version, signature, help_id, ex_style, style, count, x, y, w, h = unpack("<HHIIIHhhhh", data, 0)
    dialog = dict(version=version, signature=signature, help_id=help_id, ex_style=ex_style,
                  style=style, count=count, rect=(x, y, w, h))
    pos = 26
    dialog["menu"], pos = read_name(data, pos)
    dialog["class"], pos = read_name(data, pos)
    dialog["caption"], pos = read_name(data, pos)
    if style & DS_SETFONT:
        points, weight, italic, charset = unpack("<HHBB", data, pos)
        face, pos = read_name(data, pos + 6)
        dialog["font"] = (points, weight, bool(italic), charset, face)
    controls = []
    for _ in range(count):
        pos = align4(pos)
        help_id, ex_style, style, x, y, w, h, id_ = unpack("<IIIhhhhi", data, pos)
        class_, pos = read_name(data, pos + 24)
        text, pos = read_name(data, pos)
        extra = u16(data, pos)
        pos += 2 + extra
        controls.append(dict(help_id=help_id, ex_style=ex_style, style=style, rect=(x, y, w, h),
                             id=id_, class_=class_, text=text, extra=extra))
    dialog["controls"] = controls
    return dialog


def check_dialog(report, resources, _args):
    res = find_one(report, resources, RT_DIALOG, DIALOG_ID, "dialog template 141")
    if res is None:
        return
    dialog = parse_dialog(res.data)
    report.equal("dialog: dlgVer (extended template)", dialog["version"], 1)
    report.equal("dialog: signature (extended template)", dialog["signature"], 0xFFFF, hex_=True)
    report.equal("dialog: help id", dialog["help_id"], 0)
    report.equal("dialog: extended style", dialog["ex_style"], DIALOG_EXSTYLE, hex_=True)
    report.expect(dialog["style"] == DIALOG_STYLE,
                  f"dialog: style is {style_names(dialog['style'], None)}, expected "
                  f"{style_names(DIALOG_STYLE, None)}")
    report.equal("dialog: x, y, width, height", dialog["rect"], DIALOG_RECT)
    report.equal("dialog: menu", dialog["menu"], "")
    report.equal("dialog: window class", dialog["class"], "")
    report.equal("dialog: caption", dialog["caption"], DIALOG_CAPTION)
    report.equal("dialog: font (points, weight, italic, charset, face)", dialog.get("font"),
                 DIALOG_FONT)
    report.equal("dialog: number of controls", dialog["count"], len(CONTROLS))

    controls = dialog["controls"]
    for index, (id_, *_) in enumerate(CONTROLS[len(controls):], start=len(controls) + 1):
        report.expect(False, f"control #{index} (id {id_}) is missing")
    for index, control in enumerate(controls[len(CONTROLS):], start=len(CONTROLS) + 1):
        report.expect(False, f"control #{index} (id {control['id']}) is not in the design")
    for index, (expected, actual) in enumerate(zip(CONTROLS, controls), start=1):
        id_, class_, text, style, rect = expected
        where = f"control #{index} (id {id_})"
        report.equal(f"{where}: id", actual["id"], id_)
        report.expect(same_class(actual["class_"], class_),
                      f"{where}: class is {show_class(actual['class_'])}, expected {show_class(class_)}")
        if text is ANY_TEXT:
            report.expect(isinstance(actual["text"], str),
                          f"{where}: text is ordinal {actual['text']}, expected a string")
        elif isinstance(text, int):
            report.expect(actual["text"] == text,
                          f"{where}: text is {actual['text']!r}, expected the ordinal {text}")
        else:
            report.equal(f"{where}: text", actual["text"], text)
        full = WS_CHILD | style
        report.expect(actual["style"] == full,
                      f"{where}: style is {style_names(actual['style'], actual['class_'])}, "
                      f"expected {style_names(full, class_)}")
        report.equal(f"{where}: x, y, width, height", actual["rect"], rect)
        report.equal(f"{where}: extended style", actual["ex_style"], 0, hex_=True)
        report.equal(f"{where}: help id", actual["help_id"], 0)
        report.equal(f"{where}: creation data bytes", actual["extra"], 0)
    for control in controls:
        if control["class_"] == BUTTON and control["style"] & BS_TYPEMASK == BS_DEFPUSHBUTTON:
            report.expect(False, f"control id {control['id']} is a BS_DEFPUSHBUTTON")


# --- Bitmap and icons. -----------------------------------------------------------------------

def dib_header(data):
    """(width, height, planes, bpp, compression, palette entries) of a BITMAPINFOHEADER, or
    None if the data is something else (a PNG icon image, a core header)."""
    if len(data) < 40 or struct.unpack_from("<I", data, 0)[0] != 40:
        return None
    width, height, planes, bpp, compression = struct.unpack_from("<iiHHI", data, 4)
    (used,) = struct.unpack_from("<I", data, 32)
    palette = (used or 1 << bpp) if bpp <= 8 else used
    return width, height, planes, bpp, compression, palette


def row_bytes(width, bpp):
    return (width * bpp + 31) // 32 * 4


def check_pictures(report, resources, _args):
    bitmap = find_one(report, resources, RT_BITMAP, BITMAP_ID, "bitmap 147")
    if bitmap is not None:
        header = dib_header(bitmap.data)
        if report.expect(header is not None, "bitmap 147 does not start with a BITMAPINFOHEADER"):
            width, height, planes, bpp, compression, palette = header
            report.equal("bitmap 147: width, height", (width, abs(height)), BITMAP_SIZE)
            report.equal("bitmap 147: bits per pixel", bpp, BITMAP_BPP)
            report.equal("bitmap 147: planes", planes, 1)
            report.equal("bitmap 147: compression (BI_RGB)", compression, 0)
            need = 40 + 4 * palette + row_bytes(width, bpp) * abs(height)
            report.expect(len(bitmap.data) >= need,
                          f"bitmap 147 holds {len(bitmap.data)} bytes, its pixels need {need}")

    groups = [r for r in resources if r.type == RT_GROUP_ICON]
    named = [r.name for r in groups if isinstance(r.name, str)]
    # The shell shows the first group of the directory: named ones sort before numbered ones.
    report.expect(not named, f"named icon groups {named} come before group 1 as the exe's icon")
    numbered = sorted(r.name for r in groups if isinstance(r.name, int))
    report.expect(numbered and numbered[0] == ICON_GROUP_ID,
                  f"icon group 1 is not the exe's icon: the numbered groups are {numbered}")

    group = find_one(report, resources, RT_GROUP_ICON, ICON_GROUP_ID, "icon group 1")
    if group is None:
        return
    icons = {r.name: r for r in resources if r.type == RT_ICON}
    reserved, kind, count = unpack("<HHH", group.data, 0)
    report.equal("icon group 1: reserved, type", (reserved, kind), (0, 1))
    report.equal("icon group 1: directory size", len(group.data), 6 + 14 * count)
    found = []
    referenced = set()
    for i in range(count):
        width, height, colours, _, planes, bpp, size, icon_id = unpack("<BBBBHHIH", group.data,
                                                                       6 + 14 * i)
        width, height = width or 256, height or 256
        where = f"icon group 1, entry {i + 1} (icon {icon_id})"
        report.equal(f"{where}: height", height, width)
        found.append((width, bpp))
        referenced.add(icon_id)
        image = icons.get(icon_id)
        if not report.expect(image is not None, f"{where}: RT_ICON {icon_id} is missing"):
            continue
        report.equal(f"{where}: bytes in the directory and in the image", size, len(image.data))
        header = dib_header(image.data)
        if not report.expect(header is not None, f"{where}: image has no BITMAPINFOHEADER"):
            continue
        iw, ih, iplanes, ibpp, compression, palette = header
        report.equal(f"{where}: image width, height (XOR and AND masks)", (iw, ih),
                     (width, 2 * width))
        report.equal(f"{where}: image bits per pixel", ibpp, bpp)
        report.equal(f"{where}: planes in directory and image", (planes, iplanes), (1, 1))
        report.equal(f"{where}: image compression (BI_RGB)", compression, 0)
        need = 40 + 4 * palette + (row_bytes(iw, ibpp) + row_bytes(iw, 1)) * (ih // 2)
        report.equal(f"{where}: image bytes", len(image.data), need)
        report.equal(f"{where}: colour count", colours, 16 if bpp == 4 else 0)
    missing = sorted(ICON_IMAGES - set(found))
    extra = sorted(set(found) - ICON_IMAGES)
    report.expect(not missing, f"icon group 1 lacks the images (size, bpp) {missing}")
    report.expect(not extra, f"icon group 1 has images (size, bpp) not in the design: {extra}")
    report.expect(len(found) == len(set(found)), f"icon group 1 repeats images: {sorted(found)}")
    orphans = sorted(set(icons) - referenced) if len(groups) == 1 else []
    report.expect(not orphans, f"RT_ICON images {orphans} belong to no icon group")


# --- Manifest. -------------------------------------------------------------------------------

ASM_V1 = "{urn:schemas-microsoft-com:asm.v1}"
ASM_V3 = "{urn:schemas-microsoft-com:asm.v3}"
COMPATIBILITY = "{urn:schemas-microsoft-com:compatibility.v1}"


def check_manifest(report, resources, _args):
    manifests = [r for r in resources if r.type == RT_MANIFEST]
    report.equal("manifest resource ids", [m.name for m in manifests], [MANIFEST_ID])
    for m in manifests:
        report.expect(b"common-controls" not in m.data.lower(),
                      f"manifest {m.name} mentions Microsoft.Windows.Common-Controls")
    manifest = find_one(report, resources, RT_MANIFEST, MANIFEST_ID, "manifest 1")
    if manifest is None:
        return
    try:
        root = ET.fromstring(manifest.data)
    except ET.ParseError as e:
        report.expect(False, f"manifest 1 is not well-formed XML: {e}")
        return
    report.equal("manifest: root element", root.tag, ASM_V1 + "assembly")
    report.equal("manifest: manifestVersion", root.get("manifestVersion"), "1.0")
    path = f"{ASM_V3}trustInfo/{ASM_V3}security/{ASM_V3}requestedPrivileges/{ASM_V3}requestedExecutionLevel"
    levels = root.findall(path)
    everywhere = [e for e in root.iter() if e.tag.endswith("requestedExecutionLevel")]
    report.expect(len(levels) == 1 and len(everywhere) == 1,
                  f"manifest: {len(everywhere)} requestedExecutionLevel elements, {len(levels)} of "
                  "them at trustInfo (asm.v3)/security/requestedPrivileges; expected exactly one there")
    if levels:
        report.equal("manifest: requestedExecutionLevel level", levels[0].get("level"),
                     "requireAdministrator")
        report.equal("manifest: requestedExecutionLevel uiAccess", levels[0].get("uiAccess"), "false")
    dependencies = [e.tag for e in root.iter() if e.tag.split("}")[-1] == "dependency"]
    report.expect(not dependencies, f"manifest declares dependencies: {dependencies}")
    # Declared in the compatibility section, and nowhere else.
    path = f"{COMPATIBILITY}compatibility/{COMPATIBILITY}application/{COMPATIBILITY}supportedOS"
    declared = [e.get("Id", "").lower() for e in root.findall(path)]
    everywhere = [e for e in root.iter() if e.tag.endswith("supportedOS")]
    report.equal("manifest: supportedOS elements outside compatibility/application",
                 len(everywhere) - len(declared), 0)
    report.equal("manifest: supportedOS ids", sorted(declared), sorted(SUPPORTED_OS))
    # The label fonts are pixel heights; the classic look is wanted at every scale.
    dpi = [e.tag for e in root.iter() if e.tag.split("}")[-1] in ("dpiAware", "dpiAwareness")]
    report.expect(not dpi, f"manifest declares DPI awareness: {dpi}")


# --- Version resource. -----------------------------------------------------------------------

def read_version_node(data, offset):
    """One node of a VS_VERSIONINFO tree: (key, value bytes, children, end offset)."""
    length, value_length, kind = unpack("<HHH", data, offset)
    end = offset + length
    if length < 6 or end > len(data):
        raise Fatal(f"version resource node at {offset} has length {length}")
    key, pos = read_name(data, offset + 6)
    pos = align4(pos)
    size = value_length * 2 if kind == 1 else value_length  # text values count characters
    value = data[pos:pos + size]
    pos = align4(pos + size)
    children = []
    while pos < end:
        child = read_version_node(data, pos)
        children.append(child)
        pos = align4(child[3])
    return key, value, children, end


def text_value(value):
    return value.decode("utf-16-le").split("\0")[0]


def split_version(ms, ls):
    return ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF


def expected_version():
    """(year, month, day) of the packed number in the file VERSION."""
    with open(VERSION_FILE, encoding="ascii") as f:
        packed = f.read().strip()
    if not re.fullmatch(r"\d{8}", packed):
        raise Fatal(f"VERSION holds {packed!r}, not YYYYMMDD")
    return int(packed[:4]), int(packed[4:6]), int(packed[6:])


def check_version(report, resources, _args):
    res = find_one(report, resources, RT_VERSION, VERSION_ID, "version resource 1")
    if res is None:
        return
    year, month, day = expected_version()
    numbers = (year, month, day, 0)
    text = f"{year}.{month}.{day}.0"
    key, fixed, children, _ = read_version_node(res.data, 0)
    report.equal("version: root key", key, "VS_VERSION_INFO")
    if report.expect(len(fixed) == 52, f"version: VS_FIXEDFILEINFO holds {len(fixed)} bytes"):
        (signature, _, file_ms, file_ls, product_ms, product_ls, _, flags, os_, type_,
         _, _, _) = struct.unpack("<13I", fixed)
        report.equal("version: VS_FIXEDFILEINFO signature", signature,
                     VS_FIXEDFILEINFO_SIGNATURE, hex_=True)
        report.equal("version: FILEVERSION", split_version(file_ms, file_ls), numbers)
        report.equal("version: PRODUCTVERSION", split_version(product_ms, product_ls), numbers)
        report.equal("version: FILEFLAGS (no debug, pre-release or patched build)", flags, 0)
        report.equal("version: FILEOS", os_, VOS_NT_WINDOWS32, hex_=True)
        report.equal("version: FILETYPE", type_, VFT_APP)

    blocks = {k: c for k, _, c, _ in children}
    report.equal("version: blocks", sorted(blocks), ["StringFileInfo", "VarFileInfo"])
    tables = {k: c for k, _, c, _ in blocks.get("StringFileInfo", [])}
    report.equal("version: string tables", sorted(tables), [VERSION_BLOCK])
    strings = {k: text_value(v) for k, v, _, _ in tables.get(VERSION_BLOCK, [])}
    report.equal("version: strings", strings, {
        "FileDescription": "Zantrel安装", "ProductName": "Zantrel", "FileVersion": text,
        "ProductVersion": text, "OriginalFilename": "SetUp.exe", "InternalName": "SetUp"})
    translations = [struct.unpack("<HH", v) for k, v, _, _ in blocks.get("VarFileInfo", [])
                    if k == "Translation"]
    report.equal("version: Translation", translations, [VERSION_TRANSLATION])


# --- Driver. ---------------------------------------------------------------------------------

GROUPS = {
    "pe-header": (check_pe_header, False),
    "imports": (check_imports, False),
    "dialog": (check_dialog, True),
    "pictures": (check_pictures, True),
    "manifest": (check_manifest, True),
    "version": (check_version, True),
}


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("group", choices=sorted(GROUPS))
    parser.add_argument("exe")
    parser.add_argument("--objdump", help="cross-check the imports with objdump -p")
    parser.add_argument("--windres", default="x86_64-w64-mingw32-windres")
    args = parser.parse_args(argv)
    check, wants_resources = GROUPS[args.group]
    report = Report()
    try:
        with open(args.exe, "rb") as f:
            exe = f.read()
        check(report, extract_resources(args.windres, args.exe) if wants_resources else exe, args)
    except (OSError, ValueError, Fatal, subprocess.CalledProcessError) as e:
        print(f"FAIL {args.group}: {e}")
        return 1
    for failure in report.failures:
        print(f"FAIL {failure}")
    print(f"{args.group}: {report.checks - len(report.failures)} of {report.checks} checks passed")
    return 1 if report.failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
