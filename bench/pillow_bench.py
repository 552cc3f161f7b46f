"""Pillow on one batch, as a Python user would write it: open, load, save.

Usage: pillow_bench.py DIRECTION WORKDIR OUTDIR QUALITY
DIRECTION is jpg2bmp, bmp2jpg, bmp2jpg-progressive or jpg2jpg. Prints the
wall and CPU seconds the batch took; interpreter start-up and imports are
not counted.
"""
import os
import sys
import time

from PIL import BmpImagePlugin, Image, JpegImagePlugin  # noqa: F401  (imported before the clock starts)


def main():
    direction, work, out, quality = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4])
    source_kind = "bmp" if direction.startswith("bmp") else "jpg"
    target_kind = "bmp" if direction == "jpg2bmp" else "jpg"
    names = sorted(n for n in os.listdir(os.path.join(work, source_kind)) if n.endswith("." + source_kind))
    jobs = [(os.path.join(work, source_kind, n), os.path.join(out, n[:-3] + target_kind)) for n in names]
    Image.preinit()

    start, cpu_start = time.perf_counter(), time.process_time()
    for source, target in jobs:
        with Image.open(source) as image:
            image.load()
            if target_kind == "bmp":
                image.save(target, "BMP")
            else:
                # Pillow's default at this quality is 4:2:0, baseline tables.
                image.save(target, "JPEG", quality=quality, progressive=direction.endswith("progressive"))
    print(f"{time.perf_counter() - start:.6f} {time.process_time() - cpu_start:.6f}")


if __name__ == "__main__":
    main()
