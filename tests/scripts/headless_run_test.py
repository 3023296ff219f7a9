#!/usr/bin/env python3
"""scripts/run without a display: Xvfb, a window manager and x11vnc on 127.0.0.1 behind a
password, with the program on that display. A small RFB client is refused without the
password; with it, it asks for red and blue the other way round from the server's own pixel
format and must still see the panes navy."""
import argparse
import os
import pathlib
import re
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import time
import unittest

ARGS = None
NAVY = (0, 0, 143)
WAIT_SECONDS = 90  # a bound for start-up on a loaded machine, not a measurement


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def recv_exact(sock, n):
    data = bytearray()
    while len(data) < n:
        chunk = sock.recv(n - len(data))
        if not chunk:
            raise ConnectionError("server closed the connection")
        data += chunk
    return bytes(data)


def vnc_response(password, challenge):
    """VNC authentication: the challenge encrypted with DES, keyed by the password with each
    byte's bits reversed. Python has no DES; OpenSSL keeps it in its legacy provider."""
    key = bytes(int("{:08b}".format(b)[::-1], 2) for b in password.encode()[:8].ljust(8, b"\0"))
    r = subprocess.run(["openssl", "enc", "-des-ecb", "-nopad", "-K", key.hex(),
                        "-provider", "legacy", "-provider", "default"],
                       input=challenge, capture_output=True, check=True)
    return r.stdout


class RfbRefused(Exception):
    pass


class RfbClient:
    """Handshake (3.8, VNC authentication), a pixel format of our choice, raw updates."""

    def __init__(self, port, password=None, response=None):
        self.sock = socket.create_connection(("127.0.0.1", port), timeout=30)
        version = recv_exact(self.sock, 12)
        if not version.startswith(b"RFB "):
            raise AssertionError("not an RFB server: %r" % version)
        self.sock.sendall(b"RFB 003.008\n")
        count = recv_exact(self.sock, 1)[0]
        if count == 0:
            raise AssertionError("server refused the connection before authentication")
        self.security_types = list(recv_exact(self.sock, count))
        if 2 not in self.security_types:
            raise AssertionError("no VNC authentication offered: %r" % self.security_types)
        self.sock.sendall(b"\x02")
        challenge = recv_exact(self.sock, 16)
        self.sock.sendall(response or vnc_response(password, challenge))
        if struct.unpack(">I", recv_exact(self.sock, 4))[0] != 0:
            self.sock.close()
            raise RfbRefused()
        self.sock.sendall(b"\x01")  # shared
        self.width, self.height = struct.unpack(">HH", recv_exact(self.sock, 4))
        (self.server_bpp, _depth, _big, _true, _rmax, _gmax, _bmax, self.server_red_shift,
         self.server_green_shift, self.server_blue_shift) = struct.unpack(
            ">BBBBHHHBBB3x", recv_exact(self.sock, 16))
        name_len = struct.unpack(">I", recv_exact(self.sock, 4))[0]
        recv_exact(self.sock, name_len)  # the desktop's name
        self.pixels = bytearray(self.width * self.height * 4)

    def set_pixel_format(self, red_shift, green_shift, blue_shift):
        self.red_shift, self.green_shift, self.blue_shift = red_shift, green_shift, blue_shift
        self.sock.sendall(struct.pack(">B3xBBBBHHHBBB3x", 0, 32, 24, 0, 1, 255, 255, 255,
                                      red_shift, green_shift, blue_shift))
        self.sock.sendall(struct.pack(">BxHi", 2, 1, 0))  # encodings: raw only

    def update(self):
        """Asks for the whole screen and applies the next framebuffer update."""
        self.sock.sendall(struct.pack(">BBHHHH", 3, 0, 0, 0, self.width, self.height))
        while True:
            kind = recv_exact(self.sock, 1)[0]
            if kind == 0:
                break
            if kind == 2:  # bell
                continue
            if kind == 3:  # cut text
                recv_exact(self.sock, 3)
                recv_exact(self.sock, struct.unpack(">I", recv_exact(self.sock, 4))[0])
                continue
            raise AssertionError("unexpected server message %d" % kind)
        rects = struct.unpack(">xH", recv_exact(self.sock, 3))[0]
        for _ in range(rects):
            x, y, w, h, encoding = struct.unpack(">HHHHi", recv_exact(self.sock, 12))
            if encoding != 0:
                raise AssertionError("encoding %d though only raw was asked for" % encoding)
            data = recv_exact(self.sock, w * h * 4)
            for row in range(h):
                start = ((y + row) * self.width + x) * 4
                self.pixels[start:start + w * 4] = data[row * w * 4:(row + 1) * w * 4]

    def count(self, rgb):
        value = (rgb[0] << self.red_shift) | (rgb[1] << self.green_shift) | (rgb[2] << self.blue_shift)
        return sum(1 for (v,) in struct.iter_unpack("<I", self.pixels) if v & 0xFFFFFF == value)

    def close(self):
        self.sock.close()


def process_group(pgid):
    """The processes of group `pgid` that have not ended (zombies left out)."""
    rows = subprocess.run(["ps", "-eo", "pid=,pgid=,stat="], capture_output=True, text=True,
                          check=True).stdout.splitlines()
    return [int(pid) for pid, group, state in map(str.split, rows)
            if int(group) == pgid and not state.startswith("Z")]


def listening_sockets(pids):
    """(protocol, address, port) of every listening TCP and bound UDP socket of `pids`."""
    found = []
    for line in subprocess.run(["ss", "-Hlntup"], capture_output=True, text=True,
                               check=True).stdout.splitlines():
        if any("pid=%d," % pid in line for pid in pids):
            proto, _state, _recv, _send, local = line.split()[:5]
            addr, port = local.rsplit(":", 1)
            found.append((proto, addr.strip("[]").split("%")[0], int(port)))
    return found


class HeadlessRun(unittest.TestCase):
    def start(self, **extra_env):
        self.tmp = tempfile.TemporaryDirectory(prefix="velmar-headless-")
        self.port = free_port()
        env = {k: v for k, v in os.environ.items()
               if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "LD_PRELOAD",
                            "VELMAR_VNC_PASSWORD")}
        env.update(VELMAR_VNC_PORT=str(self.port), VELMAR_PROGRAM=ARGS.program,
                   XDG_CONFIG_HOME=self.tmp.name, TMPDIR=self.tmp.name)
        env.update(extra_env)
        self.output = open(os.path.join(self.tmp.name, "run.out"), "w+")
        self.run = subprocess.Popen([ARGS.run], env=env, stdout=self.output,
                                    stderr=subprocess.STDOUT, start_new_session=True)
        self.addCleanup(self.stop_everything)

    def stop_everything(self):
        try:
            os.killpg(self.run.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        self.run.wait()
        self.output.close()
        self.tmp.cleanup()

    def run_output(self):
        return pathlib.Path(self.output.name).read_text()

    def wait_for_password(self):
        """The password scripts/run prints once its VNC server listens, and the file it keeps."""
        deadline = time.monotonic() + WAIT_SECONDS
        while True:
            found = re.search(r"VNC password: (\S+) .*also in (\S+)\)", self.run_output())
            if found:
                return found.group(1), found.group(2)
            if self.run.poll() is not None:
                self.fail("scripts/run ended (%d):\n%s" % (self.run.returncode, self.run_output()))
            if time.monotonic() > deadline:
                self.fail("no VNC password printed:\n%s" % self.run_output())
            time.sleep(0.2)

    def test_a_port_in_use_is_reported_not_taken_for_the_server(self):
        with socket.socket() as other:
            other.bind(("127.0.0.1", 0))
            other.listen()
            self.start(VELMAR_VNC_PORT=str(other.getsockname()[1]))
            self.assertEqual(self.run.wait(timeout=WAIT_SECONDS), 1)
        self.assertIn("already in use", self.run_output())

    def test_only_the_password_opens_the_session_and_panes_arrive_navy_in_its_pixel_format(self):
        self.start()
        password, password_file = self.wait_for_password()
        self.assertEqual(os.stat(password_file).st_mode & 0o777, 0o600)
        self.assertEqual(pathlib.Path(password_file).read_text().strip(), password)
        pids = process_group(self.run.pid)
        for pid in pids:  # never on a command line, where every user reads it
            cmdline = pathlib.Path("/proc/%d/cmdline" % pid).read_bytes()
            self.assertNotIn(password.encode(), cmdline)
        with self.assertRaises(RfbRefused):
            RfbClient(self.port, response=bytes(16))
        client = RfbClient(self.port, password)
        self.assertNotIn(1, client.security_types)  # no way in without the password
        self.addCleanup(client.close)
        self.assertEqual((client.width, client.height), (1024, 768))
        # Red and blue the other way round from the server's own format.
        client.set_pixel_format(client.server_blue_shift, client.server_green_shift,
                                client.server_red_shift)
        self.assertNotEqual(client.red_shift, client.blue_shift)
        deadline = time.monotonic() + WAIT_SECONDS
        navy = 0
        while navy < 20000:
            if time.monotonic() > deadline:
                self.fail("no navy pane on the screen (%d navy pixels):\n%s"
                          % (navy, self.run_output()))
            client.update()
            navy = client.count(NAVY)
        # A server that ignored the asked format would send the navy as dark red.
        self.assertLess(client.count((143, 0, 0)), 100)

        self.assertIn("127.0.0.1::%d" % self.port, self.run_output())

        pids = process_group(self.run.pid)
        sockets = listening_sockets(pids)
        self.assertIn(("tcp", "127.0.0.1", self.port), sockets)
        for proto, address, port in sockets:
            self.assertTrue(address.startswith(("127.", "::ffff:127.")) or address == "::1",
                            "%s %s:%d listens beyond this machine" % (proto, address, port))

        # Ending scripts/run ends what it started.
        self.assertGreaterEqual(len(pids), 5)  # the script, Xvfb, openbox, x11vnc, the program
        self.assertIn("openbox", [pathlib.Path("/proc/%d/comm" % pid).read_text().strip()
                                  for pid in pids])
        client.close()
        os.kill(self.run.pid, signal.SIGTERM)
        self.run.wait(timeout=30)
        deadline = time.monotonic() + 30
        while process_group(self.run.pid) and time.monotonic() < deadline:
            time.sleep(0.1)
        self.assertEqual(process_group(self.run.pid), [])
        self.assertEqual([f for f in os.listdir(self.tmp.name) if f.startswith("velmar-run.")], [])


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--run", required=True)
    parser.add_argument("--program", required=True)
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)
