"""What the local market server serves: the package paths of both markets, the version-service answer,
the built-in open-id configuration and the small files (launch images, icon, game packages).

Addresses inside answers are absolute, built from `base` ("http://127.0.0.1:PORT").
"""

import base64
import copy
import hashlib
import struct

# Version-service paths and the market each one answers for.
VERSION_PATHS = {"/ld/vantor": "cn", "/player_files/en/vantor": "en"}

# Member of the version-service answer per edition, and the edition's name in package file names.
EDITIONS = [("mnq4", "4"), ("mnq64", "64"), ("mnq9", "9"), ("mnq", "3")]

# The downloader's built-in installer paths, per market.
BUILTIN_PACKAGE_PATHS = [
    "/download/package/Pelora4.0.exe", "/download/package/Pelora64.exe",
    "/download/package/Pelora9.0.exe", "/download/package/Pelora3.0.exe",
    "/download/release/pelinst4.0.exe", "/download/release/pelinst64.exe",
    "/download/release/pelinst9.exe", "/download/release/pelinst3.0.exe",
]

OPENID_PREFIX, OPENID_SUFFIX = "/player_files/openidconfig/", ".data"
DEFAULT_OPENID = "12345"
# A channel whose game the downloader fetches and installs itself: no game id, so no store hand-off.
FETCHED_GAME_OPENID = "12346"


def cdn_path(market, edition):
    """Where the version service sends the downloader: apart from the built-in paths, so a test can
    tell which address a package came from."""
    return "/cdn/%s/pelora%s.exe" % (market, edition)


def spare_path(market, edition):
    """The second address the version service may announce (url_spare): apart from the first one
    and from the built-in paths, so a test can tell which address a package came from."""
    return "/cdn-spare/%s/pelora%s.exe" % (market, edition)


_MARKETS = sorted(set(VERSION_PATHS.values()))
CDN_PACKAGE_PATHS = [cdn_path(m, e) for m in _MARKETS for _, e in EDITIONS]
SPARE_PACKAGE_PATHS = [spare_path(m, e) for m in _MARKETS for _, e in EDITIONS]


def version_answer(base, market, digests, editions=None, spare=False):
    """The answer for `market`, announcing an installer with the members of `digests` ("md5", "sha256");
    `editions` limits the members (the no-edition switch); `spare` adds each edition's second address
    (the url-spare switch)."""
    answer = {}
    for member, edition in EDITIONS:
        if editions is None or member in editions:
            answer[member] = dict({"url": base + cdn_path(market, edition), "ver": "%s.0.1" % edition}, **digests)
            if spare:
                answer[member]["url_spare"] = base + spare_path(market, edition)
    return answer


def default_openid_configs():
    """Open id -> configuration; "{base}" in any string stands for the server's own address."""
    configs = {DEFAULT_OPENID: {
        "result": [{
            "app_download_url": "{base}/games/example.apk",
            "app_package_name": "com.example.game",
            "gamename": "Example Game",
            "app_icon": "{base}/games/example.ico",
            "app_obb": "{base}/games/example.obb",
            "game_slt_url": "{base}/images/example_slt.jpg",
            "resolution": "1280,720,240",
            "gameid": "777",
            "xapk": "0",
            "from_appstore": "0",
        }],
        "launch_h": "{base}/images/launch_1920.jpg",
        "launch_V": "{base}/images/launch_1080.jpg",
        "title": "Example Title",
        "runapp": "com.example.game",
        "qqlink": "{base}/community",
        "shortcutname": "Example Game",
        "shortcuturl": "{base}/games/example.ico",
        "heapsize": "512",
        "ad": 0,
        "runappstore": 1,
        "cleanmodel": 0,
        "root": True,
    }}
    fetched = copy.deepcopy(configs[DEFAULT_OPENID])
    fetched["result"][0]["gameid"] = ""
    configs[FETCHED_GAME_OPENID] = fetched
    return configs


def with_base(value, base):
    """`value` with "{base}" replaced in every string it holds."""
    if isinstance(value, str):
        return value.replace("{base}", base)
    if isinstance(value, list):
        return [with_base(v, base) for v in value]
    if isinstance(value, dict):
        return {k: with_base(v, base) for k, v in value.items()}
    return value


# --- files ---------------------------------------------------------------------------------------
# Solid-colour baseline JPEGs: landscape 16x9, portrait 9x16, a 64x36 screenshot.
_JPEG_HEAD = ("/9j/4AAQSkZJRgABAQAAAQABAAD/2wBDAAYEBQYFBAYGBQYHBwYIChAKCgkJChQODwwQFxQYGBcUFhYaHSUfGhsjHBYWICwg"
              "IyYnKSopGR8tMC0oMCUoKSj/2wBDAQcHBwoIChMKChMoGhYaKCgoKCgoKCgoKCgoKCgoKCgoKCgoKCgoKCgoKCgoKCgo"
              "KCgoKCgoKCgoKCgoKCgoKCj/wAARCA")
_JPEG_TAILS = {
    "landscape": "AJABADASIAAhEBAxEB/8QAFQABAQAAAAAAAAAAAAAAAAAAAAT/xAAUEAEAAAAAAAAAAAAAAAAAAAAA/8QAFQEBAQAAAAAAAAAA"
                 "AAAAAAAABgf/xAAUEQEAAAAAAAAAAAAAAAAAAAAA/9oADAMBAAIRAxEAPwCQA9T1/9k=",
    "portrait": "AQAAkDASIAAhEBAxEB/8QAFQABAQAAAAAAAAAAAAAAAAAAAAP/xAAUEAEAAAAAAAAAAAAAAAAAAAAA/8QAFQEBAQAAAAAAAAAA"
                "AAAAAAAABgf/xAAUEQEAAAAAAAAAAAAAAAAAAAAA/9oADAMBAAIRAxEAPwC4ACoL/9k=",
    "screenshot": "AkAEADASIAAhEBAxEB/8QAFQABAQAAAAAAAAAAAAAAAAAAAAb/xAAUEAEAAAAAAAAAAAAAAAAAAAAA/8QAFgEBAQEAAAAAAAAA"
                  "AAAAAAAAAAUG/8QAFBEBAAAAAAAAAAAAAAAAAAAAAP/aAAwDAQACEQMRAD8AlwExngAAAAAAAAAAAAAAAAAAAAAH/9k=",
}


def _jpeg(kind):
    return base64.b64decode(_JPEG_HEAD + _JPEG_TAILS[kind])


def _icon():
    """A 16x16 32-bit icon: one directory entry, a bitmap header, blue pixels and an empty AND mask."""
    side = 16
    pixels = bytes([0xD6, 0x8F, 0x26, 0xFF]) * (side * side)          # BGRA
    mask = bytes(side * 4)                                             # rows padded to 32 bits
    header = struct.pack("<IiiHHIIiiII", 40, side, side * 2, 1, 32, 0, len(pixels) + len(mask), 0, 0, 0, 0)
    image = header + pixels + mask
    return struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", side, side, 0, 0, 1, 32, len(image), 22) + image


def _stream(name, size):
    """`size` deterministic bytes that differ per name: SHA-256 of name and a counter, concatenated."""
    blocks = (hashlib.sha256(b"%s/%d" % (name.encode(), i)).digest() for i in range((size + 31) // 32))
    return b"".join(blocks)[:size]


def static_files():
    """Path -> bytes of everything besides the installer and the JSON answers."""
    return {
        "/images/launch_1920.jpg": _jpeg("landscape"),
        "/images/launch_1080.jpg": _jpeg("portrait"),
        "/images/example_slt.jpg": _jpeg("screenshot"),
        "/games/example.ico": _icon(),
        "/games/example.apk": _stream("example.apk", 300 * 1024),
        "/games/example.xapk": _stream("example.xapk", 360 * 1024),
        "/games/example.obb": _stream("example.obb", 200 * 1024),
    }


# Bodies that --slow-kbps throttles: packages, not the small images and answers.
def is_package(path):
    return path.endswith((".exe", ".apk", ".xapk", ".obb"))
