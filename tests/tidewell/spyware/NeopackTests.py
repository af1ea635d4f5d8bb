"""tools/neopack: its cipher against the published vectors, and round trips."""

import os
import subprocess
import sys
import tempfile
import types
import unittest
from pathlib import Path

sys.dont_write_bytecode = True
ROOT = Path(__file__).resolve().parents[3]
PACKER = ROOT / "tools" / "neopack"
VECTORS = ROOT / "tests" / "data" / "blowfish-vectors.txt"
SAMPLE = ROOT / "tests" / "data" / "definitions-sample.xml"


def load_packer():
    # The packer is a script without a .py name; run its source as a module.
    module = types.ModuleType("neopack")
    module.__file__ = str(PACKER)
    exec(compile(PACKER.read_text(), str(PACKER), "exec"), module.__dict__)
    return module


neopack = load_packer()


def run(*args, stdin=None):
    return subprocess.run([sys.executable, "-B", str(PACKER), *args], input=stdin, capture_output=True)


class CipherVectors(unittest.TestCase):
    def test_published_ecb_vectors(self):
        checked = 0
        for line in VECTORS.read_text().splitlines():
            fields = line.split()
            if not fields or fields[0] not in ("ecb", "setkey", "text"):
                continue
            if fields[0] == "ecb":
                key, plain, cipher = (bytes.fromhex(f) for f in fields[1:])
            elif fields[0] == "setkey":
                key, cipher = bytes.fromhex(fields[1]), bytes.fromhex(fields[2])
                plain = bytes.fromhex("FEDCBA9876543210")
            else:
                key = fields[1].replace("_", " ").encode()
                plain, cipher = bytes.fromhex(fields[2]), bytes.fromhex(fields[3])
            blowfish = neopack.Blowfish(key)
            self.assertEqual(blowfish.encrypt_ecb(plain), cipher, line)
            self.assertEqual(blowfish.decrypt_ecb(cipher), plain, line)
            checked += 1
        self.assertEqual(checked, 34 + 24 + 2)

    def test_keys_longer_than_56_bytes_are_cut(self):
        key = bytes(range(1, 57))
        block = b"8 bytes!"
        self.assertEqual(neopack.Blowfish(key + b"extra").encrypt_ecb(block), neopack.Blowfish(key).encrypt_ecb(block))

    def test_refuses_what_the_program_refuses(self):
        with self.assertRaisesRegex(neopack.PackError, "Incorrect key length"):
            neopack.Blowfish(b"")
        with self.assertRaisesRegex(neopack.PackError, "Incorrect buffer length"):
            neopack.Blowfish(b"k").encrypt_ecb(b"12345")


class PackAndUnpack(unittest.TestCase):
    declaration = b'<?xml version="1.0" encoding="utf-8"?>'

    def test_round_trip_keeps_the_text_exactly(self):
        xml = SAMPLE.read_bytes()
        packed = neopack.pack(xml)
        self.assertEqual(len(packed) % 8, 0)
        self.assertEqual(neopack.unpack(packed), xml)

    def test_declaration_is_added_when_missing(self):
        self.assertEqual(neopack.unpack(neopack.pack(b"<ROOT/>")), self.declaration + b"<ROOT/>")
        bom = b"\xef\xbb\xbf" + self.declaration + b"<ROOT/>"
        self.assertEqual(neopack.unpack(neopack.pack(bom)), bom)

    def test_other_declarations_and_nul_bytes_are_refused(self):
        with self.assertRaisesRegex(neopack.PackError, "declaration"):
            neopack.pack(b"<?xml version='1.0'?><ROOT/>")
        with self.assertRaisesRegex(neopack.PackError, "NUL"):
            neopack.pack(b"<ROOT>\0</ROOT>")

    def test_whole_blocks_get_no_padding_block(self):
        xml = b"<R>" + b"x" * (8 - (len(self.declaration) + 3 + 4) % 8) + b"</R>"
        self.assertEqual((len(self.declaration) + len(xml)) % 8, 0)
        self.assertEqual(len(neopack.pack(xml)), len(self.declaration) + len(xml))

    def test_short_file_is_completed_with_zero_bytes(self):
        packed = neopack.pack(b"<ROOT>some text</ROOT>")
        unpacked = neopack.unpack(packed[:-3])
        self.assertTrue(unpacked.startswith(self.declaration[:8]))

    def test_command_line_round_trips_binary_and_hex(self):
        with tempfile.TemporaryDirectory() as folder:
            neo, back, hexed = (os.path.join(folder, n) for n in ("extra.neo", "back.xml", "extra.hex"))
            self.assertEqual(run("pack", str(SAMPLE), neo).returncode, 0)
            self.assertEqual(run("unpack", neo, back).returncode, 0)
            self.assertEqual(Path(back).read_bytes(), SAMPLE.read_bytes())

            self.assertEqual(run("pack", "--hex", str(SAMPLE), hexed).returncode, 0)
            hex_text = Path(hexed).read_text()
            self.assertEqual(hex_text, Path(neo).read_bytes().hex())
            result = run("unpack", "--hex", hexed, "-")
            self.assertEqual(result.returncode, 0)
            self.assertEqual(result.stdout, SAMPLE.read_bytes())

    def test_command_line_reports_failures(self):
        self.assertEqual(run("pack").returncode, 2)
        result = run("unpack", "-", "-", stdin=b"")
        self.assertEqual(result.returncode, 1)
        self.assertIn(b"Incorrect buffer length", result.stderr)
        result = run("unpack", "--hex", "-", "-", stdin=b"not hex")
        self.assertEqual(result.returncode, 1)
        self.assertEqual(run("pack", "/nonexistent/definitions.xml", "-").returncode, 1)


if __name__ == "__main__":
    unittest.main()
