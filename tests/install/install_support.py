"""What the install tests share: a picture to render, an install into a scratch folder, running a program
with a clean environment of its own."""
import os
import struct
import subprocess
import tempfile


def write_bmp(path, width=64, height=48):
    """A 24-bit BMP with a colour ramp, so that every effect changes it."""
    row = (width * 3 + 3) & ~3
    pixels = bytearray()
    for y in range(height):
        line = bytearray()
        for x in range(width):
            line += bytes((x * 4 % 256, y * 5 % 256, (x + y) * 3 % 256))
        pixels += line + bytes(row - len(line))
    header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + pixels)


def clean_environment(home, data_dirs):
    """PATH and a display-free start: a home of the test's own and the given system data folders."""
    return {
        "PATH": os.environ.get("PATH", "/usr/bin:/bin"),
        "HOME": home,
        "XDG_DATA_HOME": os.path.join(home, ".local", "share"),
        "XDG_CONFIG_HOME": os.path.join(home, ".config"),
        "XDG_DATA_DIRS": data_dirs,
        "LC_ALL": "C.UTF-8",
    }


def run(args, env=None, check=True):
    result = subprocess.run(args, env=env, capture_output=True, text=True, timeout=300)
    if check and result.returncode != 0:
        raise AssertionError(f"{args} exited {result.returncode}\nstdout:\n{result.stdout}\nstderr:\n{result.stderr}")
    return result


def install_into(build, destdir, prefix="/usr"):
    """cmake --install of the build tree into destdir (DESTDIR) under prefix; answers the prefix's folder."""
    env = dict(os.environ, DESTDIR=destdir)
    run(["cmake", "--install", build, "--prefix", prefix], env=env)
    return os.path.join(destdir, prefix.lstrip("/"))


def scratch(prefix):
    return tempfile.TemporaryDirectory(prefix=prefix)
