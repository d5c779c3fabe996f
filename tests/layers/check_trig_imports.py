#!/usr/bin/env python3
"""The program takes no arc tangent, sine or cosine from the C library: its own are correctly
rounded, the same on every platform. Fails when the dynamic symbol table of the binary given
imports any of them (any precision, sincos included).

Usage: check_trig_imports.py BINARY
"""
import re
import subprocess
import sys

NAMES = {base + suffix for base in ("atan", "atan2", "sin", "cos", "sincos", "tan")
         for suffix in ("", "f", "l")}


def imported(binary):
    out = subprocess.run(["nm", "-D", "--undefined-only", binary], check=True,
                         capture_output=True, text=True).stdout
    return {re.sub(r"@.*", "", line.split()[-1]) for line in out.splitlines() if line.strip()}


def main():
    found = sorted(imported(sys.argv[1]) & NAMES)
    if found:
        print(f"{sys.argv[1]} imports {', '.join(found)} from the C library")
        return 1
    print(f"{sys.argv[1]}: no arc tangent, sine or cosine from the C library")
    return 0


if __name__ == "__main__":
    sys.exit(main())
