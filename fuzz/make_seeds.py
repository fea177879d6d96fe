#!/usr/bin/env python3
"""Writes the small hand-made seed inputs of the fuzz targets into fuzz/corpus/.

The patch_load seeds of whole images come from romwright-samplegen:
    fuzz/make_seeds.py [SAMPLEGEN]
"""
import os
import subprocess
import sys
import tempfile

here = os.path.dirname(os.path.abspath(__file__))
corpus = os.path.join(here, "corpus")


def put(target, name, data):
    d = os.path.join(corpus, target)
    os.makedirs(d, exist_ok=True)
    if isinstance(data, str):
        data = data.encode("latin-1")
    with open(os.path.join(d, name), "wb") as f:
        f.write(data)


def dump(addr, values):
    """A monitor dump: rows of eight, "ADDR : XX XX ... \r\n"."""
    out = ""
    for i, v in enumerate(values):
        if i % 8 == 0:
            out += "%04X : " % ((addr + i) & 0xFFFF)
        out += "%02X " % v
        if i % 8 == 7 or i + 1 == len(values):
            out += "\r\n"
    return out


def header(op, addr, count, high=False, negative=False):
    b0 = op | (0x80 if high else 0) | (0x40 if negative else 0)
    return bytes([b0, addr >> 8, addr & 0xFF, count & 0xFF])


# ---- monitor_reply: header (exchange, address, count) then the line's pieces, NUL apart ----
vals16 = [0x55, 0x12] + list(range(14))
put("monitor_reply", "read16", header(0, 0x9100, 16) +
    ("RD 9100,10\r\n" + dump(0x9100, vals16) + "L>").encode())
put("monitor_reply", "read16_split", header(0, 0x9100, 16) +
    b"RD 9100,10\r\n\x00" + dump(0x9100, vals16)[:20].encode() + b"\x00" +
    (dump(0x9100, vals16)[20:] + "L>").encode())
put("monitor_reply", "read1", header(0, 0x0, 1) + ("RD 0,1\r\n" + dump(0, [0xAB]) + "M>").encode())
put("monitor_reply", "read9", header(0, 0x20, 9) +
    ("RD 20,A\r\n" + dump(0x20, list(range(10))) + "L>").encode())
put("monitor_reply", "read256", header(0, 0x1F00, 0, high=True) +
    ("RD 1F00,100\r\n" + dump(0x1F00, [i & 0xFF for i in range(256)]) + "L>").encode())
put("monitor_reply", "read_cut", header(0, 0x9100, 16) +
    ("RD 9100,10\r\n" + dump(0x9100, vals16)[:30] + "L>").encode())
put("monitor_reply", "read_noise", header(0, 0xFFF8, 12) +
    b"\xff\xfe RD FFF8,C\r\nFFF8 : zz 1 \r\n\r\n\x00L")
put("monitor_reply", "read_negative", header(0, 0x10, 5, negative=True) + b"RD 10,1\r\n0010 : 00 \r\nL>")
put("monitor_reply", "prompt_l", header(1, 0, 0) + b"\r\nL>")
put("monitor_reply", "prompt_m", header(2, 0, 0) + b"\x1b\r\n\x00M>")
put("monitor_reply", "prompt_none", header(1, 0, 0) + b"\r\n>")
put("monitor_reply", "write", header(3, 0x9105, 0xAB) + b"WR 9105 AB\r\nL>")
put("monitor_reply", "write_silent", header(3, 0x0, 0x0))

# ---- startup_ini: the settings file as users leave it ----
# (full.ini, quotes.ini and short.ini are kept in the repository as they are)
put("startup_ini", "lf_only.ini", 'Romwright settings\ndefaultcom = "COM2"\nmode = "normal"\n')
put("startup_ini", "path.ini", "C:\\Modems\\E2MP_sample.bin\r\n/tmp/a/b/\r\n\\\r\n")

# ---- cli_edit: product byte (0..3 -> products 1..4), then one argument per line ----
edits = {
    "mii_b": (0, ["FText(0)=30", "FText(1)=72", "Baund=19200"]),
    "atm_b": (1, ["UTOPIAAddress=1F", "Reduce=1", "PowerController=3"]),
    "mii_bp": (2, ["DownCarrierScroll=up", "UpCarrierScroll=down", "Max_PSD=-30.25",
                   "Dw_Stram_Cons=64", "TransmitePreambleL=3C"]),
    "atm_bp": (3, ["--defaults", "--reserved=1F=AB", "AFEControl=7C", "Next_DownstreamL=FF",
                   "SleepCounterH=00", "TX_Next_value=1"]),
    "refused": (2, ["Bogus=1", "Baund=12345", "FText(0)=123", "UART_Rate=12", "Reduce=yes",
                    "AFEControl=ABC", "Max_psdL=", "FText(2)=1"]),
    "min_psd": (0, ["Min_PSD=-60.5", "Min_psdL=80", "Min_psdH=FF", "Up_Stram_Inter=2"]),
}
for name, (mode, lines) in edits.items():
    put("cli_edit", name, bytes([mode]) + "\n".join(lines).encode())

# ---- patch_load: the four sample images, and a short file ----
put("patch_load", "short", b"\x55\x12\x00")
if len(sys.argv) > 1:
    with tempfile.TemporaryDirectory() as tmp:
        subprocess.run([sys.argv[1], tmp], check=True, stdout=subprocess.DEVNULL)
        for f in sorted(os.listdir(tmp)):
            with open(os.path.join(tmp, f), "rb") as src:
                put("patch_load", f, src.read())
