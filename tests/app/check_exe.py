#!/usr/bin/python3
"""Checks the built SetUp.exe from outside: its PE header, its imports and its resources.

    check_exe.py GROUP EXE        GROUP: pe-header, imports, dialog, pictures, manifest, version

pefile (Debian's python3-pefile, so run by /usr/bin/python3) reads the headers, the imports, the
resource tree and the version block; only the dialog template and the pictures are decoded here.
Every difference is printed; the exit status is 1 if there was one.
"""
import os
import re
import struct
import sys
import xml.etree.ElementTree as ET

import pefile

WS_POPUP, WS_CHILD, WS_VISIBLE, WS_CAPTION = 0x80000000, 0x40000000, 0x10000000, 0x00C00000
WS_BORDER, WS_SYSMENU, WS_GROUP, WS_MINIMIZEBOX = 0x00800000, 0x00080000, 0x00020000, 0x00020000
WS_TABSTOP, DS_MODALFRAME, DS_SETFONT, WS_EX_CLIENTEDGE = 0x00010000, 0x80, 0x40, 0x200
BS_PUSHBUTTON, BS_AUTOCHECKBOX, BUTTON, EDIT, STATIC = 0x0, 0x3, 0x80, 0x81, 0x82
SS_LEFT, SS_CENTER, SS_BITMAP, SS_ETCHEDHORZ, ES_AUTOHSCROLL = 0x0, 0x1, 0xE, 0x10, 0x80

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

BITMAP_ID, BITMAP_SIZE, BITMAP_BPP = 147, (64, 64), 24
ICON_GROUP_ID = 1
ICON_IMAGES = {(size, bpp) for size in (48, 32, 16) for bpp in (4, 8, 32)}

# Vista, 7, 8, 8.1, 10 and 11: declared, so that the compatibility assistant does not take the
# installer for a legacy setup.
SUPPORTED_OS = {
    "{e2011457-1546-43c5-a5fe-008deee3d3f0}", "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",
    "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}", "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",
    "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",
}

# The packed YYYYMMDD of the file VERSION, as the four numbers Y.M.D.0.
VERSION_FILE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "VERSION")

# DllCharacteristics: address-space randomisation with 64-bit bases and no-execute data stay on;
# terminal-server awareness stays off, so that on a Remote Desktop server the setup runs in
# install mode.
DLL_CHARACTERISTICS = [("HIGH_ENTROPY_VA", 0x0020, True), ("DYNAMIC_BASE", 0x0040, True),
                       ("NX_COMPAT", 0x0100, True), ("TERMINAL_SERVER_AWARE", 0x8000, False)]

# DLLs the loader always takes from System32 (the KnownDLLs), and ntdll, which every process
# has before the image's imports are resolved. Anything else is searched for beside the exe.
SYSTEM_DLLS = {
    "advapi32", "clbcatq", "combase", "comdlg32", "coml2", "difxapi", "gdi32", "gdiplus",
    "imagehlp", "imm32", "kernel32", "msctf", "msvcrt", "normaliz", "nsi", "ntdll", "ole32",
    "oleaut32", "psapi", "rpcrt4", "sechost", "setupapi", "shcore", "shell32", "shlwapi",
    "user32", "wldap32", "ws2_32",
}
# The compiler's own runtime: the exe links it statically and runs without these beside it.
RUNTIME_DLLS = {"libstdc++-6", "libgcc_s_seh-1", "libwinpthread-1"}

RT_BITMAP, RT_ICON, RT_DIALOG, RT_GROUP_ICON, RT_MANIFEST = 2, 3, 5, 14, 24


class Report:
    def __init__(self):
        self.failures, self.checks = [], 0

    def expect(self, ok, message):
        self.checks += 1
        if not ok:
            self.failures.append(message)
        return ok

    def equal(self, what, actual, expected):
        return self.expect(actual == expected, f"{what}: got {actual!r}, expected {expected!r}")


def check_pe_header(report, pe):
    head, opt = pe.FILE_HEADER, pe.OPTIONAL_HEADER
    report.equal("machine, optional header magic (PE32+), subsystem (2 = Windows GUI) and its "
                 "version", (hex(head.Machine), hex(opt.Magic), opt.Subsystem,
                             opt.MajorSubsystemVersion, opt.MinorSubsystemVersion),
                 (hex(0x8664), hex(0x20B), 2, 5, 2))
    report.expect(head.Characteristics & 0x0002, "not marked an executable image")
    report.expect(not head.Characteristics & 0x2000, "marked a DLL")
    report.equal("symbol table (release build is stripped)",
                 (head.PointerToSymbolTable, head.NumberOfSymbols), (0, 0))
    debug = [s.Name.rstrip(b"\0") for s in pe.sections if s.Name[:1] == b"/"
             or s.Name.startswith(b".debug")]
    report.expect(not debug, f"debug sections left in the stripped image: {debug}")
    # Two builds of one commit must give the same bytes: no link time anywhere.
    report.equal("COFF TimeDateStamp", head.TimeDateStamp, 0)
    if report.expect(hasattr(pe, "DIRECTORY_ENTRY_RESOURCE"), "no resource directory"):
        report.equal("resource directory TimeDateStamp",
                     pe.DIRECTORY_ENTRY_RESOURCE.struct.TimeDateStamp, 0)
    for name, bit, wanted in DLL_CHARACTERISTICS:
        report.expect(bool(opt.DllCharacteristics & bit) == wanted,
                      f"DllCharacteristics 0x{opt.DllCharacteristics:04X}: {name} is "
                      f"{'missing' if wanted else 'set'}")
    # A relocatable image needs its relocations, and a high-entropy one a base above 4 GB.
    report.expect(not head.Characteristics & 0x0001, "relocations stripped")
    relocations = opt.DATA_DIRECTORY[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_BASERELOC"]]
    report.expect(relocations.Size != 0, "no base relocations: the image cannot move")
    report.expect(opt.ImageBase >= 1 << 32, f"image base 0x{opt.ImageBase:X} lies below 4 GB")


def check_imports(report, pe):
    names = [e.dll.decode("latin-1") for e in getattr(pe, "DIRECTORY_ENTRY_IMPORT", [])]
    print("imports:", ", ".join(names) or "(none)")
    keys = [re.sub(r"\.dll$", "", n.lower()) for n in names]
    report.expect("kernel32" in keys, f"kernel32.dll missing from the imports {names}")
    report.expect(len(keys) == len(set(keys)), f"a DLL is imported twice: {names}")
    for name, key in zip(names, keys):
        if key in RUNTIME_DLLS:
            report.expect(False, f"imports {name}: the C++ runtime must be linked in statically")
        elif key == "comctl32":
            report.expect(False, "imports comctl32.dll: it is no KnownDLL, so a planted copy "
                                 "beside the exe would be loaded; load it at run time from System32")
        else:
            report.expect(key in SYSTEM_DLLS,
                          f"imports {name}, which the system does not always load from System32 "
                          "(a DLL of that name beside the exe would be used)")


def resources(pe):
    """{(type, name): [data of each language]}; names are ids or strings."""
    found = {}
    for kind in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        for entry in kind.directory.entries:
            name = entry.id if entry.name is None else str(entry.name)
            for language in entry.directory.entries:
                at = language.data.struct
                found.setdefault((kind.id, name), []).append(pe.get_data(at.OffsetToData, at.Size))
    return found


def find_one(report, res, type_, name, what):
    found = res.get((type_, name), [])
    report.expect(found, f"{what} (type {type_}, id {name}) is missing")
    report.expect(len(found) <= 1, f"{what} is there {len(found)} times (several languages?)")
    return found[0] if found else None


def read_name(data, offset):
    """A template name: 0xFFFF and an ordinal, or a NUL-terminated UTF-16 string."""
    if data[offset:offset + 2] == b"\xff\xff":
        return struct.unpack_from("<H", data, offset + 2)[0], offset + 4
    end = next(i for i in range(offset, len(data), 2) if data[i:i + 2] == b"\0\0")
    return data[offset:end].decode("utf-16-le"), end + 2


def check_dialog(report, pe):
    data = find_one(report, resources(pe), RT_DIALOG, DIALOG_ID, "dialog template 141")
    if data is None:
        return
    version, signature, help_id, ex_style, style, count, *rect = struct.unpack_from(
        "<HHIIIHhhhh", data, 0)
    report.equal("dialog: version, signature (extended template), help id",
                 (version, signature, help_id), (1, 0xFFFF, 0))
    report.equal("dialog: extended style, style", (hex(ex_style), hex(style)),
                 (hex(DIALOG_EXSTYLE), hex(DIALOG_STYLE)))
    report.equal("dialog: x, y, width, height", tuple(rect), DIALOG_RECT)
    menu, pos = read_name(data, 26)
    class_, pos = read_name(data, pos)
    caption, pos = read_name(data, pos)
    report.equal("dialog: menu, window class, caption", (menu, class_, caption),
                 ("", "", DIALOG_CAPTION))
    font = None
    if style & DS_SETFONT:
        points, weight, italic, charset = struct.unpack_from("<HHBB", data, pos)
        face, pos = read_name(data, pos + 6)
        font = (points, weight, bool(italic), charset, face)
    report.equal("dialog: font (points, weight, italic, charset, face)", font, DIALOG_FONT)
    controls = []
    for _ in range(count):
        pos = (pos + 3) & ~3
        help_id, ex_style, style, x, y, w, h, id_ = struct.unpack_from("<IIIhhhhi", data, pos)
        class_, pos = read_name(data, pos + 24)
        text, pos = read_name(data, pos)
        extra = struct.unpack_from("<H", data, pos)[0]
        pos += 2 + extra
        controls.append((id_, class_, text, style, (x, y, w, h), (ex_style, help_id, extra)))
    # A default push button anywhere shows as a wrong style or an unexpected id here.
    report.equal("dialog: ids of the controls in order", [c[0] for c in controls],
                 [c[0] for c in CONTROLS])
    for index, (expected, actual) in enumerate(zip(CONTROLS, controls), start=1):
        (id_, class_, text, style, rect), (_, got_class, got_text, got_style, got_rect, rest) = (
            expected, actual)
        where = f"control #{index} (id {id_})"
        # Class names match without regard to case, as the system looks them up.
        same = (got_class == class_ if isinstance(class_, int)
                else str(got_class).lower() == class_.lower())
        report.expect(same, f"{where}: class {got_class!r}, expected {class_!r}")
        if text is ANY_TEXT:
            report.expect(isinstance(got_text, str), f"{where}: text is not a string")
        else:
            report.equal(f"{where}: text", got_text, text)
        report.equal(f"{where}: style", hex(got_style), hex(WS_CHILD | style))
        report.equal(f"{where}: x, y, width, height", got_rect, rect)
        report.equal(f"{where}: extended style, help id, creation data", rest, (0, 0, 0))


def dib_header(data):
    """(width, height, planes, bpp, compression, palette entries) of a BITMAPINFOHEADER, or
    None if the data is something else (a PNG icon image, a core header)."""
    if len(data) < 40 or struct.unpack_from("<I", data, 0)[0] != 40:
        return None
    width, height, planes, bpp, compression = struct.unpack_from("<iiHHI", data, 4)
    (used,) = struct.unpack_from("<I", data, 32)
    return width, height, planes, bpp, compression, (used or 1 << bpp) if bpp <= 8 else used


def row_bytes(width, bpp):
    return (width * bpp + 31) // 32 * 4


def check_pictures(report, pe):
    res = resources(pe)
    bitmap = find_one(report, res, RT_BITMAP, BITMAP_ID, "bitmap 147")
    header = dib_header(bitmap) if bitmap else None
    if report.expect(header is not None, "bitmap 147 has no BITMAPINFOHEADER"):
        width, height, planes, bpp, compression, palette = header
        report.equal("bitmap 147: size, bits per pixel, planes, compression",
                     ((width, abs(height)), bpp, planes, compression), (BITMAP_SIZE, BITMAP_BPP, 1, 0))
        need = 40 + 4 * palette + row_bytes(width, bpp) * abs(height)
        report.expect(len(bitmap) >= need, f"bitmap 147 holds {len(bitmap)} bytes, needs {need}")

    # The shell shows the first group of the directory: named ones sort before numbered ones.
    groups = sorted((isinstance(name, str), name) for kind, name in res if kind == RT_GROUP_ICON)
    report.expect(groups[:1] == [(False, ICON_GROUP_ID)],
                  f"icon group 1 is not the exe's icon: the groups are {groups}")
    group = find_one(report, res, RT_GROUP_ICON, ICON_GROUP_ID, "icon group 1")
    if group is None:
        return
    icons = {name: data[0] for (kind, name), data in res.items() if kind == RT_ICON}
    reserved, kind, count = struct.unpack_from("<HHH", group, 0)
    report.equal("icon group 1: reserved, type, directory size", (reserved, kind, len(group)),
                 (0, 1, 6 + 14 * count))
    found = []
    for i in range(count):
        width, height, colours, _, planes, bpp, size, icon_id = struct.unpack_from(
            "<BBBBHHIH", group, 6 + 14 * i)
        where = f"icon group 1, entry {i + 1} (icon {icon_id})"
        found.append((width, bpp, icon_id))
        image = icons.get(icon_id)
        header = dib_header(image) if image else None
        if not report.expect(header is not None, f"{where}: no image with a BITMAPINFOHEADER"):
            continue
        iw, ih, iplanes, ibpp, compression, palette = header
        need = 40 + 4 * palette + (row_bytes(iw, ibpp) + row_bytes(iw, 1)) * (ih // 2)
        report.equal(f"{where}: height, colours, planes", (height, colours, planes),
                     (width, 16 if bpp == 4 else 0, 1))
        # The image holds the colour bits and the AND mask, so its height counts twice.
        report.equal(f"{where}: image width, height, bpp, planes, compression",
                     (iw, ih, ibpp, iplanes, compression), (width, 2 * width, bpp, 1, 0))
        report.equal(f"{where}: bytes in the directory, in the image, needed",
                     (size, len(image)), (need, need))
    report.equal("icon group 1: images (size, bpp)", sorted(f[:2] for f in found), sorted(ICON_IMAGES))
    if len(groups) == 1:
        orphans = sorted(set(icons) - {f[2] for f in found})
        report.expect(not orphans, f"RT_ICON images {orphans} belong to no icon group")


def check_manifest(report, pe):
    res = resources(pe)
    report.equal("manifest resource ids", [n for k, n in res if k == RT_MANIFEST], [1])
    data = find_one(report, res, RT_MANIFEST, 1, "manifest 1")
    if data is None:
        return
    report.expect(b"common-controls" not in data.lower(), "mentions the Common-Controls assembly")
    root = ET.fromstring(data)
    v1, v3 = "{urn:schemas-microsoft-com:asm.v1}", "{urn:schemas-microsoft-com:asm.v3}"
    compatibility = "{urn:schemas-microsoft-com:compatibility.v1}"
    report.equal("manifest: root element, version", (root.tag, root.get("manifestVersion")),
                 (v1 + "assembly", "1.0"))
    names = [e.tag.split("}")[-1] for e in root.iter()]
    # Each setting must sit where the loader looks for it, and nowhere else.
    path = f"{v3}trustInfo/{v3}security/{v3}requestedPrivileges/{v3}requestedExecutionLevel"
    levels = [(e.get("level"), e.get("uiAccess")) for e in root.findall(path)]
    report.equal("manifest: requestedExecutionLevel (level, uiAccess)", levels,
                 [("requireAdministrator", "false")])
    report.equal("manifest: requestedExecutionLevel elements", names.count("requestedExecutionLevel"), 1)
    path = f"{compatibility}compatibility/{compatibility}application/{compatibility}supportedOS"
    declared = sorted(e.get("Id", "").lower() for e in root.findall(path))
    report.equal("manifest: supportedOS ids", declared, sorted(SUPPORTED_OS))
    report.equal("manifest: supportedOS elements", names.count("supportedOS"), len(declared))
    # No side-by-side dependencies; no DPI awareness: the label fonts are pixel heights and the
    # classic look is wanted at every scale.
    unwanted = [n for n in names if n in ("dependency", "dpiAware", "dpiAwareness")]
    report.expect(not unwanted, f"manifest declares {unwanted}")


def check_version(report, pe):
    with open(VERSION_FILE, encoding="ascii") as f:
        packed = f.read().strip()
    if not report.expect(re.fullmatch(r"\d{8}", packed), f"VERSION holds {packed!r}"):
        return
    numbers = (int(packed[:4]), int(packed[4:6]), int(packed[6:]), 0)
    text = ".".join(map(str, numbers))
    if not report.expect(hasattr(pe, "VS_FIXEDFILEINFO"), "no version resource"):
        return
    fixed = pe.VS_FIXEDFILEINFO[0]

    def split(ms, ls):
        return ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF

    report.equal("version: FILEVERSION, PRODUCTVERSION",
                 (split(fixed.FileVersionMS, fixed.FileVersionLS),
                  split(fixed.ProductVersionMS, fixed.ProductVersionLS)), (numbers, numbers))
    # No debug, pre-release or patched build; Windows NT, an application.
    report.equal("version: FILEFLAGS, FILEOS, FILETYPE",
                 (fixed.FileFlags, hex(fixed.FileOS), fixed.FileType), (0, hex(0x40004), 1))
    blocks = {b.Key.decode(): b for b in pe.FileInfo[0]}
    report.equal("version: blocks", sorted(blocks), ["StringFileInfo", "VarFileInfo"])
    tables = {t.LangID.decode(): {k.decode(): v.decode() for k, v in t.entries.items()}
              for t in getattr(blocks.get("StringFileInfo"), "StringTable", [])}
    report.equal("version: string tables (Simplified Chinese, Unicode)", sorted(tables),
                 ["080404b0"])
    report.equal("version: strings", tables.get("080404b0"), {
        "FileDescription": "Zantrel安装", "ProductName": "Zantrel", "FileVersion": text,
        "ProductVersion": text, "OriginalFilename": "SetUp.exe", "InternalName": "SetUp"})
    translations = [var.entry.get(b"Translation")
                    for var in getattr(blocks.get("VarFileInfo"), "Var", [])]
    report.equal("version: Translation", translations, ["0x0804 0x04b0"])


GROUPS = {"pe-header": check_pe_header, "imports": check_imports, "dialog": check_dialog,
          "pictures": check_pictures, "manifest": check_manifest, "version": check_version}


def main(argv):
    if len(argv) != 2 or argv[0] not in GROUPS:
        print(__doc__)
        return 2
    report = Report()
    try:
        GROUPS[argv[0]](report, pefile.PE(argv[1]))
    except (OSError, pefile.PEFormatError, struct.error, ET.ParseError) as e:
        report.expect(False, f"{argv[0]}: {e}")
    for failure in report.failures:
        print(f"FAIL {failure}")
    print(f"{argv[0]}: {report.checks - len(report.failures)} of {report.checks} checks passed")
    return 1 if report.failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
