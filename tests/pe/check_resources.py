#!/usr/bin/env python3
"""Checks the resources inside a Windows build of the bootstrapper: the message catalogue
against messages.inc, the CSPSetup dialog template control by control, the icon group with
its four images, and the manifest. Reads the PE file itself, so it checks what ships.

Usage: check_resources.py bootstrapper.exe messages.inc
"""
import re
import struct
import sys
import xml.etree.ElementTree as ElementTree

RT_ICON, RT_DIALOG, RT_STRING, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 5, 6, 14, 16, 24
RUSSIAN, ENGLISH_US = 1049, 1033

WS_POPUP, WS_CHILD, WS_VISIBLE = 0x80000000, 0x40000000, 0x10000000
WS_CAPTION, WS_SYSMENU, WS_GROUP, WS_TABSTOP = 0x00C00000, 0x00080000, 0x00020000, 0x00010000
DS_CENTER, DS_MODALFRAME, DS_SETFONT, DS_FIXEDSYS = 0x0800, 0x0080, 0x0040, 0x0008
WS_EX_WINDOWEDGE = 0x00000100
BS_PUSHBUTTON, BS_DEFPUSHBUTTON, BS_GROUPBOX, BS_AUTORADIOBUTTON = 0x0, 0x1, 0x7, 0x9
SS_LEFT = 0x0
CLASS_ATOMS = {0x0080: "button", 0x0082: "static"}

DIALOG_ID = 141
DIALOG_TITLE = "CSPSetup"
DIALOG_SIZE = (204, 143)
DIALOG_STYLE = (WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_CENTER | DS_MODALFRAME | DS_SETFONT
                | DS_FIXEDSYS)
DIALOG_EX_STYLE = WS_EX_WINDOWEDGE
DIALOG_FONT = (8, 400, 0, 1, "MS Shell Dlg")  # points, weight, italic, character set, face

WELCOME_TEXT = "\n".join([
    "https://www.stalver.example/",
    "",
    "Благодарим за выбор Сталвер CSP.",
    "Для продолжения установки нажимте \"Далее\",",
    "для установки специфических настроек - \"Опции\".",
    "Если вы не знаете, что выбирать, нажмите \"Далее\".",
])
BANNER_TEXT = "Сталвер — надёжная электронная подпись"

# In template order: ID, class, text, style, position (x, y, width, height).
CONTROLS = [
    (140, "button", "Далее", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON,
     (90, 122, 50, 14)),
    (2, "button", "Отмена", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
     (147, 122, 50, 14)),
    (1006, "button", "Русский", WS_CHILD | WS_GROUP | BS_AUTORADIOBUTTON, (12, 20, 42, 8)),
    (1007, "button", "English", WS_CHILD | BS_AUTORADIOBUTTON, (12, 32, 42, 8)),
    (1008, "button", "KC1", WS_CHILD | WS_GROUP | BS_AUTORADIOBUTTON, (14, 69, 30, 8)),
    (1009, "button", "KC2", WS_CHILD | BS_AUTORADIOBUTTON, (14, 82, 30, 8)),
    (1010, "button", "KC3", WS_CHILD | BS_AUTORADIOBUTTON, (14, 94, 30, 8)),
    (1012, "button", "Язык установки:", WS_CHILD | BS_GROUPBOX, (6, 6, 191, 44)),
    (1013, "button", "Уровень безопасности:", WS_CHILD | BS_GROUPBOX, (6, 55, 191, 54)),
    (1011, "button", BANNER_TEXT, WS_CHILD | WS_VISIBLE | BS_GROUPBOX, (6, 6, 191, 103)),
    (1015, "button", "Опции", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
     (7, 122, 50, 14)),
    (1014, "static", WELCOME_TEXT, WS_CHILD | WS_VISIBLE | WS_GROUP | SS_LEFT, (15, 28, 174, 74)),
]

ICON_GROUP_ID = 100
# Width, height, colour count (0 meaning 256), bits per pixel; in directory order.
ICON_IMAGES = [(16, 16, 0, 8), (16, 16, 16, 4), (32, 32, 0, 8), (32, 32, 16, 4)]

MANIFEST_ID = 1
COMMON_CONTROLS = {
    "type": "win32", "name": "Microsoft.Windows.Common-Controls", "version": "6.0.0.0",
    "processorArchitecture": "*", "publicKeyToken": "6595b64144ccf1df",
}
SUPPORTED_OS = {
    "{e2011457-1546-43c5-a5fe-008deee3d3f0}",  # Vista
    "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",  # 7
    "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",  # 8
    "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",  # 8.1
    "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",  # 10
}

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
    return condition


# --- PE resources -------------------------------------------------------------------------

def read_resources(path):
    """{(type, name, language): bytes} for every resource of the PE file."""
    with open(path, "rb") as f:
        image = f.read()
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    if image[pe:pe + 4] != b"PE\0\0":
        sys.exit(f"{path}: not a PE file")
    sections_count, optional_size = struct.unpack_from("<H12xH", image, pe + 6)
    optional = pe + 24
    magic = struct.unpack_from("<H", image, optional)[0]
    directories = optional + (96 if magic == 0x10B else 112)
    resources_rva, _ = struct.unpack_from("<II", image, directories + 2 * 8)
    sections = []
    for i in range(sections_count):
        header = optional + optional_size + 40 * i
        virtual_size, rva, raw_size, raw_offset = struct.unpack_from("<IIII", image, header + 8)
        sections.append((rva, max(virtual_size, raw_size), raw_offset))

    def offset_of(rva):
        for start, size, raw in sections:
            if start <= rva < start + size:
                return raw + rva - start
        sys.exit(f"{path}: address {rva:#x} is in no section")

    base = offset_of(resources_rva)

    def entries(directory):
        named, numbered = struct.unpack_from("<HH", image, base + directory + 12)
        for i in range(named + numbered):
            name, target = struct.unpack_from("<II", image, base + directory + 16 + 8 * i)
            if name & 0x80000000:
                length = struct.unpack_from("<H", image, base + (name & 0x7FFFFFFF))[0]
                start = base + (name & 0x7FFFFFFF) + 2
                name = image[start:start + 2 * length].decode("utf-16-le")
            yield name, target

    found = {}
    for kind, kinds in entries(0):
        for name, names in entries(kinds & 0x7FFFFFFF):
            for language, leaf in entries(names & 0x7FFFFFFF):
                rva, size = struct.unpack_from("<II", image, base + leaf)
                found[(kind, name, language)] = image[offset_of(rva):offset_of(rva) + size]
    return found


# --- Message catalogue --------------------------------------------------------------------

ESCAPES = {"n": "\n", "t": "\t", "\"": "\"", "\\": "\\"}


def read_catalogue(path):
    messages = {}
    pattern = re.compile(r'^MESSAGE\((\d+), "((?:[^"\\]|\\.)*)"\)$')
    with open(path, encoding="utf-8") as f:
        for line in f:
            match = pattern.match(line.strip())
            if match:
                text = re.sub(r"\\(.)", lambda m: ESCAPES[m.group(1)], match.group(2))
                messages[int(match.group(1))] = text
    return messages


def decode_string_block(block_number, data):
    texts, offset = {}, 0
    for position in range(16):
        length = struct.unpack_from("<H", data, offset)[0]
        text = data[offset + 2:offset + 2 + 2 * length].decode("utf-16-le")
        offset += 2 + 2 * length
        if length:
            texts[(block_number - 1) * 16 + position] = text
    return texts


def check_string_table(resources, catalogue):
    blocks = {key: data for key, data in resources.items() if key[0] == RT_STRING}
    check(blocks, "no string table")
    table = {}
    for (_, block, language), data in sorted(blocks.items()):
        check(language == RUSSIAN, f"string block {block} has language {language}, not 1049")
        table.update(decode_string_block(block, data))
    check(sorted(table) == sorted(catalogue),
          f"string table IDs {sorted(table)} differ from messages.inc {sorted(catalogue)}")
    for message_id, text in sorted(catalogue.items()):
        check(table.get(message_id) == text,
              f"string {message_id} is {table.get(message_id)!r}, expected {text!r}")
    check(all("\r" not in text for text in table.values()), "a string holds a carriage return")
    print(f"string table: {len(table)} entries in blocks {sorted(b for _, b, _ in blocks)}")


# --- Dialog template ----------------------------------------------------------------------

class Reader:
    def __init__(self, data):
        self.data, self.offset = data, 0

    def take(self, fmt):
        values = struct.unpack_from("<" + fmt, self.data, self.offset)
        self.offset += struct.calcsize("<" + fmt)
        return values if len(values) > 1 else values[0]

    def text(self):
        end = self.offset
        while self.data[end:end + 2] != b"\0\0":
            end += 2
        value = self.data[self.offset:end].decode("utf-16-le")
        self.offset = end + 2
        return value

    def text_or_ordinal(self):
        first = struct.unpack_from("<H", self.data, self.offset)[0]
        if first == 0xFFFF:
            return self.take("HH")[1]
        return self.text()

    def align(self):
        self.offset += -self.offset % 4


def parse_dialog(data):
    r = Reader(data)
    version, signature, _, ex_style, style, count = r.take("HHIIIH")
    check((version, signature) == (1, 0xFFFF), "dialog 141 is not a DIALOGEX template")
    dialog = {"ex_style": ex_style, "style": style, "position": r.take("hhhh"),
              "menu": r.text_or_ordinal(), "class": r.text_or_ordinal(), "title": r.text()}
    points, weight, italic, charset = r.take("HHBB")
    dialog["font"] = (points, weight, italic, charset, r.text())
    dialog["controls"] = []
    for _ in range(count):
        r.align()
        _, item_ex_style, item_style = r.take("III")
        position = r.take("hhhh")
        control_id = r.take("I")
        window_class = r.text_or_ordinal()
        if isinstance(window_class, int):
            window_class = CLASS_ATOMS.get(window_class, f"atom {window_class:#x}")
        title = r.text_or_ordinal()
        extra_bytes = r.take("H")
        r.offset += extra_bytes
        dialog["controls"].append((control_id, window_class.lower(), title, item_style, position,
                                   item_ex_style))
    return dialog


def check_dialog(resources):
    data = resources.get((RT_DIALOG, DIALOG_ID, RUSSIAN))
    if not check(data is not None, "no dialog 141 in language 1049"):
        return
    dialog = parse_dialog(data)
    check(dialog["title"] == DIALOG_TITLE, f"dialog title {dialog['title']!r}")
    check(dialog["position"][2:] == DIALOG_SIZE, f"dialog size {dialog['position'][2:]}")
    check(dialog["style"] == DIALOG_STYLE, f"dialog style {dialog['style']:#x}")
    check(dialog["ex_style"] == DIALOG_EX_STYLE, f"dialog extended style {dialog['ex_style']:#x}")
    check(dialog["menu"] == "" and dialog["class"] == "", "dialog has a menu or its own class")
    check(dialog["font"] == DIALOG_FONT, f"dialog font {dialog['font']}")
    controls = dialog["controls"]
    check(len(controls) == len(CONTROLS), f"{len(controls)} controls, expected {len(CONTROLS)}")
    for expected, actual in zip(CONTROLS, controls):
        control_id, window_class, text, style, position = expected
        got_id, got_class, got_text, got_style, got_position, got_ex_style = actual
        check(got_id == control_id, f"control {control_id} is {got_id} in template order")
        check(got_class == window_class, f"control {control_id} class {got_class!r}")
        check(got_text == text, f"control {control_id} text {got_text!r}, expected {text!r}")
        check(got_style == style,
              f"control {control_id} style {got_style:#x}, expected {style:#x}")
        check(got_position == position, f"control {control_id} at {got_position}")
        check(got_ex_style == 0, f"control {control_id} extended style {got_ex_style:#x}")
    print(f"dialog {DIALOG_ID}: {len(controls)} controls")


# --- Icon ---------------------------------------------------------------------------------

def check_icon(resources):
    data = resources.get((RT_GROUP_ICON, ICON_GROUP_ID, RUSSIAN))
    if not check(data is not None, "no icon group 100 in language 1049"):
        return
    reserved, kind, count = struct.unpack_from("<HHH", data, 0)
    check((reserved, kind) == (0, 1), "icon group 100 is not an icon directory")
    images = []
    for i in range(count):
        width, height, colours, _, planes, bits, size, icon_id = struct.unpack_from(
            "<BBBBHHIH", data, 6 + 14 * i)
        images.append((width, height, colours, bits))
        icon = resources.get((RT_ICON, icon_id, RUSSIAN))
        if not check(icon is not None and len(icon) == size,
                     f"icon image {icon_id} missing or not {size} bytes"):
            continue
        header = struct.unpack_from("<IiiHH", icon, 0)
        check(header == (40, width, 2 * height, 1, bits) and planes == 1,
              f"icon image {icon_id} has the header {header}")
    check(images == ICON_IMAGES, f"icon group 100 holds {images}, expected {ICON_IMAGES}")
    print(f"icon group {ICON_GROUP_ID}: {images}")


# --- Manifest -----------------------------------------------------------------------------

def local_name(element):
    return element.tag.rsplit("}", 1)[-1]


def check_manifest(resources):
    manifests = [key for key in resources if key[0] == RT_MANIFEST]
    check(manifests == [(RT_MANIFEST, MANIFEST_ID, ENGLISH_US)],
          f"manifests {manifests}, expected one: 1 in language 1033")
    data = resources.get((RT_MANIFEST, MANIFEST_ID, ENGLISH_US))
    if data is None:
        return
    elements = list(ElementTree.fromstring(data).iter())

    def named(name):
        return [e for e in elements if local_name(e) == name]

    levels = [(e.get("level"), e.get("uiAccess")) for e in named("requestedExecutionLevel")]
    check(levels == [("requireAdministrator", "false")], f"requested execution levels {levels}")
    identities = [dict(e.attrib) for e in named("assemblyIdentity")]
    check(any(all(i.get(k) == v for k, v in COMMON_CONTROLS.items()) for i in identities),
          f"no dependency on Common Controls 6 among {identities}")
    check([e.text for e in named("dpiAware")] == ["true"], "dpiAware is not true")
    systems = {e.get("Id", "").lower() for e in named("supportedOS")}
    check(systems == SUPPORTED_OS, f"supported systems {sorted(systems)}")
    print(f"manifest: {levels}, {len(systems)} supported systems")


VERSION_STRINGS = {
    "CompanyName": "Сталвер",
    "FileDescription": "Установщик Сталвер ЭЦП Browser plug-in",
    "ProductName": "Сталвер ЭЦП Browser plug-in",
    "OriginalFilename": "bootstrapper.exe",
}


def read_version_strings(data):
    """The name/value pairs of a VS_VERSIONINFO block, found by walking its nodes."""
    values = {}

    def walk(offset, end):
        while offset + 6 <= end:
            length, value_length, kind = struct.unpack_from("<HHH", data, offset)
            if length == 0:
                return
            key_end = offset + 6
            while data[key_end:key_end + 2] != b"\0\0":
                key_end += 2
            key = data[offset + 6:key_end].decode("utf-16-le")
            value_start = (key_end + 2 + 3) & ~3
            if kind == 1 and value_length and not key.endswith("Info") and len(key) != 8:
                raw = data[value_start:value_start + 2 * value_length]
                values[key] = raw.decode("utf-16-le").rstrip("\0")
            children = value_start + (2 * value_length if kind == 1 else value_length)
            walk((children + 3) & ~3, offset + length)
            offset = (offset + length + 3) & ~3

    walk(0, len(data))
    return values


def check_version(resources):
    versions = [key for key in resources if key[0] == RT_VERSION]
    check(versions == [(RT_VERSION, 1, RUSSIAN)], f"version resources {versions}")
    if not versions:
        return
    data = resources[versions[0]]
    signature, file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<I4xIIII", data, 40)
    check(signature == 0xFEEF04BD, "no VS_FIXEDFILEINFO in the version resource")
    check(file_ms == product_ms and file_ls == product_ls, "file and product versions differ")
    strings = read_version_strings(data)
    for name, value in VERSION_STRINGS.items():
        check(strings.get(name) == value, f"version {name} is {strings.get(name)!r}")
    version = f"{file_ms >> 16}.{file_ms & 0xFFFF}.{file_ls >> 16}.{file_ls & 0xFFFF}"
    check(strings.get("FileVersion") == version == strings.get("ProductVersion"),
          f"version texts {strings.get('FileVersion')}, {strings.get('ProductVersion')} vs {version}")
    check(b"\x19\x04\xb0\x04" in data, "version translation is not Russian, Unicode")
    print(f"version: {version}, {strings.get('CompanyName')}, {strings.get('ProductName')}")


def check_languages(resources):
    kinds = {key[0] for key in resources}
    check(kinds == {RT_ICON, RT_DIALOG, RT_STRING, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST},
          f"resource types {sorted(kinds)}")
    for kind, name, language in resources:
        expected = ENGLISH_US if kind == RT_MANIFEST else RUSSIAN
        check(language == expected, f"resource {kind}/{name} has language {language}")


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    resources = read_resources(sys.argv[1])
    check_string_table(resources, read_catalogue(sys.argv[2]))
    check_dialog(resources)
    check_icon(resources)
    check_manifest(resources)
    check_version(resources)
    check_languages(resources)
    for failure in failures:
        print("FAIL:", failure)
    if failures:
        sys.exit(f"{len(failures)} resource check(s) failed")
    print("all resource checks passed")


if __name__ == "__main__":
    main()
