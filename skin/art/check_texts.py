#!/usr/bin/env python3
"""Checks the skin's texts, tables and image references.

    python3 skin/art/check_texts.py

- every language/downloader_<code>.xml: the declaration, <StringBundle ver="100">, exactly the
  downloader's key set, no text left in English, the placeholders of the English text, the download
  prefix and the licence link markup;
- multi_language.tsv (and the remote table): CRLF rows of 21 cells, the 19 codes and names in order,
  no empty or over-long cell, no text left in English;
- every "@" text of the layouts has a row in multi_language.tsv;
- every image named by a layout, or set by the program, exists as an RGBA PNG and every
  source='l,t,r,b' lies inside its image;
- the licence texts are UTF-8 without BOM with LF line ends.

Exits 1 and lists the problems when anything is wrong.
"""

import glob
import os
import re
import struct
import sys
import xml.dom.minidom

SKIN = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))

LANGUAGES = ["ar", "cn", "de", "en", "es", "fa", "fr", "id", "jp", "kr", "pt", "ru", "th", "tr",
             "tw", "vn"]

KEYS = [
    "Title_wndTitle", "titlename", "Label_installing_waiting", "Label_getversion_info",
    "Label_downloading", "Button_install_now", "Button_install_fast", "Button_start_player",
    "MsgBox_error", "MsgBox_accept_protocol", "MsgBox_error_path", "MsgBox_disk_notEnough",
    "Label_choice_path", "MSGBox_noice", "MsgBox_exit", "Yes", "No", "sure", "accept_protocol",
    "browser", "Label_path_error", "Button_install_define", "Button_install_back",
    "protocol_accept", "protocol_accept_btn", "progress_downloading_label",
    "progress_install_label", "progress_finish_label", "progress_downloading_label2",
    "Label_installingapp_waiting", "facebook", "download_slowtip", "downloadBybrowser",
    "download_close", "download_keepwaiting", "game_install_failed", "download_failed_title",
    "download_failed_connection", "download_failed_server", "download_failed_damaged",
    "install_failed_title", "install_failed_reason", "Button_try_again", "Button_download_browser",
    "Link_open_logs", "progress_left_seconds", "progress_left_minutes", "progress_left_hours",
]

CODES = ["en_US", "zh_TW", "zh_CN", "ko_KR", "vi_VN", "th_TH", "in_ID", "ja_JP", "ru_RU", "pt_PT",
         "es_ES", "ar_IL", "tr_TR", "fr_FR", "de_DE", "it_IT", "fa_IR", "ms_MY", "uk_UA"]
NAMES = ["English", "繁體中文", "简体中文", "한국어", "Tiếng Việt", "ไทย", "Bahasa Indonesia", "日本語",
         "Русский", "Português", "Español", "العربية", "Türkçe", "Français", "Deutsch", "Italiano",
         "فارسی", "Malaysia", "Українська"]

# Words that are the same in English and in some other language, or names that stay as they are.
SAME_AS_ENGLISH = {"OK", "No", "Error", "Pelora", "Facebook"}

# Languages whose texts are written in a script other than Latin: each text must contain some of it.
NON_LATIN = {"ar", "cn", "fa", "jp", "kr", "ru", "th", "tw"}

# Images the program sets on controls itself, beside those the layouts name.
PROGRAM_IMAGES = ["browse_button.png", "error_edit_bg.png", "button_box_cancel.png",
                  "button_box_hot.png", "common/msg_noice.png", "common/msg_ok.png"]

DECLARATION = '<?xml version="1.0" encoding="UTF-8" ?>'

problems = []


def problem(text):
    problems.append(text)


def read_text(path):
    with open(path, "rb") as f:
        data = f.read()
    return data, data.decode("utf-8")


# ---------------------------------------------------------------------------------------------
# Language files

def language_texts(code):
    path = os.path.join(SKIN, "language", "downloader_%s.xml" % code)
    if not os.path.exists(path):
        problem("%s: missing" % path)
        return {}
    data, text = read_text(path)
    name = os.path.relpath(path, SKIN)
    if data.startswith(b"\xef\xbb\xbf"):
        problem("%s: starts with a byte order mark" % name)
    if text.splitlines()[0] != DECLARATION:
        problem("%s: first line is not %s" % (name, DECLARATION))
    root = xml.dom.minidom.parseString(data).documentElement
    if root.tagName != "StringBundle" or root.getAttribute("ver") != "100":
        problem('%s: root is not <StringBundle ver="100">' % name)
    texts = {}
    for node in root.childNodes:
        if node.nodeType != node.ELEMENT_NODE:
            continue
        if node.tagName != "String":
            problem("%s: unexpected element %s" % (name, node.tagName))
            continue
        key = node.getAttribute("id")
        value = "".join(c.data for c in node.childNodes if c.nodeType == c.TEXT_NODE)
        if key in texts:
            problem("%s: key %s twice" % (name, key))
        texts[key] = value
    missing = [k for k in KEYS if k not in texts]
    extra = [k for k in texts if k not in KEYS]
    if missing:
        problem("%s: missing keys %s" % (name, ", ".join(missing)))
    if extra:
        problem("%s: unknown keys %s" % (name, ", ".join(extra)))
    for key, value in texts.items():
        if not value.strip():
            problem("%s: %s is empty" % (name, key))
    return texts


def has_non_latin(value):
    return any(ord(c) > 0x24F and not (0x1E00 <= ord(c) <= 0x1EFF) for c in value)


# "{game}", "{n}": filled in by the program, so every translation keeps exactly the English set.
def placeholders(value):
    return set(re.findall(r"\{[a-z]+\}", value))


def check_languages():
    all_texts = {code: language_texts(code) for code in LANGUAGES}
    english = all_texts["en"]
    for code, texts in all_texts.items():
        name = "language/downloader_%s.xml" % code
        for key in KEYS:
            value = texts.get(key)
            if value is None:
                continue
            if code != "en" and value == english.get(key) and value not in SAME_AS_ENGLISH:
                problem("%s: %s is the English text %r" % (name, key, value))
            if code in NON_LATIN and not has_non_latin(value) and value not in SAME_AS_ENGLISH:
                problem("%s: %s has no %s letters: %r" % (name, key, code, value))
            if placeholders(value) != placeholders(english.get(key, "")):
                problem("%s: %s must carry the placeholders %s" % (name, key, sorted(placeholders(english[key]))))
        prefix = texts.get("Label_downloading", "")
        if code == "ar":
            if prefix.endswith("("):
                problem("%s: Label_downloading is shown alone and must be a full phrase" % name)
        elif not prefix.endswith("(") or "（" in prefix:
            problem("%s: Label_downloading must end with an ASCII '('" % name)
        link = texts.get("protocol_accept_btn", "")
        if not re.fullmatch(r"<u #666666>[^<>]+</u>", link):
            problem("%s: protocol_accept_btn is not <u #666666>…</u>: %r" % (name, link))


# ---------------------------------------------------------------------------------------------
# Multi-language tables

def check_table(file_name, english_check=True):
    path = os.path.join(SKIN, file_name)
    data, text = read_text(path)
    keys = set()
    if data.startswith(b"\xef\xbb\xbf"):
        problem("%s: starts with a byte order mark" % file_name)
    if not text.endswith("\r\n"):
        problem("%s: last row does not end with CRLF" % file_name)
    rows = text.split("\r\n")[:-1]
    for number, row in enumerate(rows, 1):
        if "\r" in row or "\n" in row:
            problem("%s: row %d has a bare CR or LF" % (file_name, number))
        cells = row.split("\t")
        if len(cells) != 21:
            problem("%s: row %d has %d cells, not 21" % (file_name, number, len(cells)))
            continue
        if any(not c for c in cells):
            problem("%s: row %d has an empty cell" % (file_name, number))
        if any(len(c) >= 512 for c in cells):
            problem("%s: row %d has a cell of 512 characters or more" % (file_name, number))
        if number == 1:
            if cells[:2] != ["Code", "language_code"] or cells[2:] != CODES:
                problem("%s: row 1 is not the 19 language codes in order" % file_name)
        elif number == 2:
            if cells[:2] != ["Language", "language_name"] or cells[2:] != NAMES:
                problem("%s: row 2 is not the 19 language names in order" % file_name)
        else:
            keys.add(cells[1])
            if english_check:
                for code, value in zip(CODES[1:], cells[3:]):
                    if value == cells[2] and value not in SAME_AS_ENGLISH:
                        problem("%s: %s of %s is the English text %r" % (file_name, cells[1],
                                                                         code, value))
    return keys


# ---------------------------------------------------------------------------------------------
# Layouts and images

def png_info(path):
    with open(path, "rb") as f:
        head = f.read(33)
    if head[:8] != b"\x89PNG\r\n\x1a\n" or head[12:16] != b"IHDR":
        return None
    width, height, depth, colour = struct.unpack(">IIBB", head[16:26])
    return width, height, depth, colour


def image_references(value):
    """(file, source or None) pairs named by one image attribute value."""
    value = value.strip()
    if not value:
        return []
    if "=" not in value:
        return [(value, None)]
    pairs = dict(re.findall(r"(\w+)='([^']*)'", value))
    if "file" not in pairs:
        return []
    return [(pairs["file"], pairs.get("source"))]


def attributes_of(element):
    """The attributes of an element, with those of a <Default value="..."> unfolded."""
    attrs = dict(element.attributes.items())
    if element.tagName == "Default":
        inner = xml.dom.minidom.parseString("<x %s/>" % attrs.get("value", "")).documentElement
        return dict(inner.attributes.items())
    return attrs


def check_layouts(table_keys):
    layouts = sorted(glob.glob(os.path.join(SKIN, "**", "*.xml"), recursive=True))
    images = {name: None for name in PROGRAM_IMAGES}
    for path in layouts:
        name = os.path.relpath(path, SKIN)
        if name.startswith("language" + os.sep):
            continue
        document = xml.dom.minidom.parse(path)
        if document.documentElement.tagName != "Window":
            problem("%s: root is not Window" % name)
        for element in document.getElementsByTagName("*"):
            if element.tagName == "Include":
                source = element.getAttribute("source")
                if not os.path.exists(os.path.join(SKIN, source)):
                    problem("%s: included %s is missing" % (name, source))
            for attr, value in attributes_of(element).items():
                if attr.lower().endswith("image"):
                    for image, source in image_references(value):
                        images.setdefault(image, [])
                        images[image] = (images[image] or []) + ([(name, source)] if source else [])
                if attr in ("text", "tooltip") and len(value) > 1 and value.startswith("@"):
                    if value[1:] not in table_keys:
                        problem("%s: %s %s has no row in multi_language.tsv" % (name, attr, value))
    for image, uses in sorted(images.items()):
        path = os.path.join(SKIN, image)
        if not os.path.exists(path):
            problem("image %s is missing" % image)
            continue
        info = png_info(path)
        if info is None:
            problem("image %s is not a PNG" % image)
            continue
        width, height, depth, colour = info
        if colour != 6 or depth != 8:
            problem("image %s is not 8-bit RGBA" % image)
        for layout, source in uses or []:
            left, top, right, bottom = (int(v) for v in source.split(","))
            if not (0 <= left < right <= width and 0 <= top < bottom <= height):
                problem("%s: source %s lies outside %s (%dx%d)" % (layout, source, image, width,
                                                                   height))
    return images


def check_licences():
    for code in ("en", "cn", "tw"):
        name = "licence/licence_%s.txt" % code
        data, text = read_text(os.path.join(SKIN, name))
        if data.startswith(b"\xef\xbb\xbf"):
            problem("%s: starts with a byte order mark" % name)
        if b"\r" in data:
            problem("%s: has CR characters" % name)
        if not text.strip():
            problem("%s: is empty" % name)


def main():
    check_languages()
    table_keys = check_table("multi_language.tsv")
    check_table("multi_language_remote.tsv")
    for key in ("confirm", "cancel", "close_tip", "minimize_tip"):
        if key not in table_keys:
            problem("multi_language.tsv: no row for %s" % key)
    images = check_layouts(table_keys)
    check_licences()
    if problems:
        for text in problems:
            print(text)
        print("%d problems" % len(problems))
        return 1
    print("skin texts and images ok: %d languages, %d table keys, %d images"
          % (len(LANGUAGES), len(table_keys), len(images)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
