#!/usr/bin/env python3
"""scripts/run without a display: Xvfb and x11vnc on 127.0.0.1 with the program on that
display. A small RFB client asks for red and blue the other way round from the server's
own pixel format and must still see the panes navy."""
import argparse
import os
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


class RfbClient:
    """Handshake (3.8, no authentication), a pixel format of our choice, raw updates."""

    def __init__(self, port):
        self.sock = socket.create_connection(("127.0.0.1", port), timeout=30)
        version = recv_exact(self.sock, 12)
        if not version.startswith(b"RFB "):
            raise AssertionError("not an RFB server: %r" % version)
        self.sock.sendall(b"RFB 003.008\n")
        count = recv_exact(self.sock, 1)[0]
        if count == 0:
            raise AssertionError("server refused: %r" % self.read_reason())
        types = recv_exact(self.sock, count)
        if 1 not in types:
            raise AssertionError("server wants authentication: types %r" % list(types))
        self.sock.sendall(b"\x01")
        if struct.unpack(">I", recv_exact(self.sock, 4))[0] != 0:
            raise AssertionError("security handshake failed: %r" % self.read_reason())
        self.sock.sendall(b"\x01")  # shared
        self.width, self.height = struct.unpack(">HH", recv_exact(self.sock, 4))
        (self.server_bpp, _depth, _big, _true, _rmax, _gmax, _bmax, self.server_red_shift,
         self.server_green_shift, self.server_blue_shift) = struct.unpack(
            ">BBBBHHHBBB3x", recv_exact(self.sock, 16))
        name_len = struct.unpack(">I", recv_exact(self.sock, 4))[0]
        self.name = recv_exact(self.sock, name_len)
        self.pixels = bytearray(self.width * self.height * 4)

    def read_reason(self):
        length = struct.unpack(">I", recv_exact(self.sock, 4))[0]
        return recv_exact(self.sock, length)

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
    pids = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/stat" % entry) as f:
                fields = f.read().rsplit(")", 1)[1].split()
        except OSError:
            continue
        if int(fields[2]) == pgid and fields[0] != "Z":
            pids.append(int(entry))
    return pids


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


def is_loopback(address):
    return address.startswith("127.") or address in ("::1",) or address.startswith("::ffff:127.")


class HeadlessRun(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory(prefix="velmar-headless-")
        self.port = free_port()
        env = {k: v for k, v in os.environ.items()
               if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "LD_PRELOAD")}
        env.update(VELMAR_VNC_PORT=str(self.port), VELMAR_PROGRAM=ARGS.program,
                   XDG_CONFIG_HOME=self.tmp.name, TMPDIR=self.tmp.name)
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
        self.output.flush()
        self.output.seek(0)
        return self.output.read()

    def connect(self):
        deadline = time.monotonic() + WAIT_SECONDS
        while True:
            if self.run.poll() is not None:
                self.fail("scripts/run ended (%d):\n%s" % (self.run.returncode, self.run_output()))
            try:
                return RfbClient(self.port)
            except OSError:
                if time.monotonic() > deadline:
                    self.fail("no VNC server on 127.0.0.1:%d:\n%s" % (self.port, self.run_output()))
                time.sleep(0.2)

    def test_panes_arrive_navy_in_the_viewers_pixel_format_and_only_loopback_listens(self):
        client = self.connect()
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
            self.assertTrue(is_loopback(address), "%s %s:%d listens beyond this machine"
                            % (proto, address, port))

        # Ending scripts/run ends what it started.
        self.assertGreaterEqual(len(pids), 4)  # the script, Xvfb, x11vnc, the program
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
