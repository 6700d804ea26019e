#!/usr/bin/python3
"""The golden conversion test: converts the example drawings, the drawings of
tests/golden/drawings and a generated mixed drawing in every mode the command
line offers, and compares the SHA-256 of every output file and of the log
lines with tests/golden/manifest.sha256.

    check.py --cli BUILD/cli/dxf2plandrop --gen BUILD/bench/gen_dxf [--update]

Only tools/update-golden passes --update, which rewrites the manifest.
"""
import argparse
import hashlib
import pathlib
import subprocess
import sys
import tempfile

ROOT = pathlib.Path(__file__).resolve().parent.parent.parent
MANIFEST = ROOT / "tests" / "golden" / "manifest.sha256"

# Each mode converts the whole job list in one run. Under -j 2 two files convert
# at once, and the last one (the generated drawing) gets the spare thread for its
# reading and writing.
MODES = {
    "text-j1": ["--format", "text", "-j", "1"],
    "text-j2": ["--format", "text", "-j", "2"],
    "dxf-j1": ["--format", "dxf", "-j", "1"],
    "dxf-j2": ["--format", "dxf", "-j", "2"],
    "text-tolerance": ["--format", "text", "-j", "1", "--curve-tolerance", "25"],
    "dxf-tolerance": ["--format", "dxf", "-j", "2", "--curve-tolerance", "25"],
}


def drawings(scratch):
    files = sorted((ROOT / "examples").glob("*.dxf")) + sorted((ROOT / "tests" / "golden" / "drawings").glob("*.dxf"))
    return files + [scratch / "generated-mixed.dxf"]


def sha(data):
    return hashlib.sha256(data).hexdigest()


def convert(cli, files, mode, scratch):
    out = scratch / mode
    out.mkdir()
    run = subprocess.run([cli, "convert", "-o", str(out)] + MODES[mode] + [str(f) for f in files],
                         capture_output=True, timeout=600)
    # The log names the drawings by their full paths: make them independent of the checkout.
    def tidy(b):
        return b.replace(str(ROOT).encode(), b"ROOT").replace(str(scratch).encode(), b"SCRATCH")
    entries = {f"{mode}/stdout": sha(tidy(run.stdout)), f"{mode}/stderr": sha(tidy(run.stderr)),
               f"{mode}/status": sha(str(run.returncode).encode())}
    for f in sorted(out.iterdir()):
        entries[f"{mode}/{f.name}"] = sha(f.read_bytes())
    return entries, run


def read_manifest():
    entries = {}
    if MANIFEST.exists():
        for line in MANIFEST.read_text().splitlines():
            if line.strip():
                digest, name = line.split(None, 1)
                entries[name] = digest
    return entries


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--cli", required=True)
    ap.add_argument("--gen", required=True)
    ap.add_argument("--update", action="store_true")
    args = ap.parse_args()
    with tempfile.TemporaryDirectory(prefix="golden-") as tmp:
        scratch = pathlib.Path(tmp)
        subprocess.run([args.gen, "2", str(scratch / "generated-mixed.dxf")], check=True, capture_output=True)
        files = drawings(scratch)
        got = {}
        for mode in MODES:
            entries, run = convert(args.cli, files, mode, scratch)
            if run.returncode != 0:
                sys.stderr.write(run.stderr.decode(errors="replace"))
            got.update(entries)
    if args.update:
        MANIFEST.write_text("".join(f"{d}  {n}\n" for n, d in sorted(got.items())))
        print(f"{MANIFEST.relative_to(ROOT)}: {len(got)} entries written")
        return 0
    want = read_manifest()
    changed = sorted(n for n in got if n in want and got[n] != want[n])
    new = sorted(n for n in got if n not in want)
    gone = sorted(n for n in want if n not in got)
    for title, names in (("changed", changed), ("not in the manifest", new), ("missing", gone)):
        for n in names:
            print(f"{title}: {n}")
    if changed or new or gone:
        print(f"{len(changed) + len(new) + len(gone)} of {len(want)} golden outputs differ; "
              "if the change is meant, run tools/update-golden and commit the manifest")
        return 1
    print(f"all {len(want)} golden outputs match")
    return 0


if __name__ == "__main__":
    sys.exit(main())
