#!/usr/bin/python3
# Our whole-image effects beside the nearest operations of OpenCV and Pillow on the same size of
# photo-like picture (6000 x 4000), each also as a multiple of one memcpy of the picture's bytes.
#
# Needs Debian's python3-numpy, python3-opencv and python3-pil, hence Debian's /usr/bin/python3
# rather than whichever python3 comes first on PATH:
#   apt-get install -y python3-numpy python3-opencv python3-pil
# and a Release build of quorvel_bench (see the top of EffectsBench.cpp):
#   bench/peers.py [build-release/bench/quorvel_bench] [--repeat N]
#
# Both sides are the median of N runs on memory already in use: ours from the benchmark binary
# (BM_Effects_Whole/*, new state included, N repetitions, memcpy timed in the same process), the
# peers' here, OpenCV writing into output arrays allocated once (its dst arguments), as our pool
# hands back tiles already mapped; Pillow has no such argument and allocates each result. OpenCV
# works on a 4-channel BGRA array, the same bytes as our pixels; Pillow on an RGB image, which it
# also stores as 4 bytes a pixel. Our
# threshold thresholds the gray value of a colour picture, so the peers' include the gray
# conversion. Their gray writes one byte a pixel, a quarter of our RGB32 result, so a pass of ours
# bound by memory bandwidth cannot match it there.
# Targets: ours beats Pillow on all four and stays within 1.5 x OpenCV.

import argparse
import json
import statistics
import subprocess
import sys
import time

import cv2
import numpy as np
from PIL import Image, ImageOps

W, H = 6000, 4000
EFFECTS = ["Gray", "Invert", "Brightness", "Threshold"]


def photo_like():
    """BGRA uint8: smooth gradients with a little noise, like the benchmark's own picture."""
    x = np.arange(W)
    y = np.arange(H)[:, None]
    noise = np.random.default_rng(1).integers(0, 16, size=(H, W))
    red = np.clip(128 + (110 * np.sin(x * 0.003)).astype(int) + noise, 0, 255)
    green = np.clip(128 + (100 * np.cos(y * 0.002)).astype(int) + noise, 0, 255)
    blue = (x + y) * 255 // (W + H)
    bgra = np.empty((H, W, 4), np.uint8)
    bgra[..., 0] = blue
    bgra[..., 1] = green
    bgra[..., 2] = red
    bgra[..., 3] = 255
    return bgra


def median_ms(fn, repeat):
    fn()  # first touch of the output's pages is not what is being compared
    times = []
    for _ in range(repeat):
        start = time.perf_counter()
        fn()
        times.append(time.perf_counter() - start)
    return statistics.median(times) * 1e3


def peer_times(repeat):
    bgra = photo_like()
    rgb = Image.fromarray(np.ascontiguousarray(bgra[..., 2::-1]), "RGB")
    lift = [min(255, v + 40) for v in range(256)] * 3
    cut = [255 if v >= 128 else 0 for v in range(256)]
    out = np.empty_like(bgra)
    gray = np.empty((H, W), np.uint8)
    cut_out = np.empty_like(gray)
    opencv = {
        "Gray": lambda: cv2.cvtColor(bgra, cv2.COLOR_BGRA2GRAY, dst=gray),
        "Invert": lambda: cv2.bitwise_not(bgra, dst=out),
        "Brightness": lambda: cv2.add(bgra, (40, 40, 40, 0), dst=out),
        "Threshold": lambda: cv2.threshold(cv2.cvtColor(bgra, cv2.COLOR_BGRA2GRAY, dst=gray), 127, 255,
                                           cv2.THRESH_BINARY, dst=cut_out),
    }
    pillow = {
        "Gray": lambda: rgb.convert("L"),
        "Invert": lambda: ImageOps.invert(rgb),
        "Brightness": lambda: rgb.point(lift),
        "Threshold": lambda: rgb.convert("L").point(cut),
    }
    copy_target = np.empty_like(bgra)
    numpy_copy = median_ms(lambda: np.copyto(copy_target, bgra), repeat)
    # OpenCV's gray producing what ours produces: a four-byte picture with the gray in each channel.
    same_output = median_ms(lambda: cv2.cvtColor(cv2.cvtColor(bgra, cv2.COLOR_BGRA2GRAY, dst=gray),
                                                 cv2.COLOR_GRAY2BGRA, dst=out), repeat)
    return ({e: median_ms(opencv[e], repeat) for e in EFFECTS},
            {e: median_ms(pillow[e], repeat) for e in EFFECTS}, numpy_copy, same_output)


def our_times(binary, repeat):
    names = "|".join(EFFECTS)
    result = subprocess.run(
        [binary, "--benchmark_format=json", f"--benchmark_filter=^BM_Effects_Whole/({names})/",
         f"--benchmark_repetitions={repeat}", "--benchmark_report_aggregates_only=true"],
        check=True, capture_output=True, text=True)
    ours, memcpy = {}, None
    for entry in json.loads(result.stdout)["benchmarks"]:
        if entry.get("aggregate_name") != "median":
            continue
        effect = entry["name"].split("/")[1]
        scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[entry["time_unit"]]
        ours[effect] = entry["real_time"] * scale
        memcpy = entry["memcpy_ms"]
    missing = [e for e in EFFECTS if e not in ours]
    if missing or memcpy is None:
        sys.exit(f"quorvel_bench did not report {missing or 'memcpy_ms'}")
    return ours, memcpy


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("binary", nargs="?", default="build-release/bench/quorvel_bench")
    parser.add_argument("--repeat", type=int, default=10, help="the median of this many runs on each side")
    args = parser.parse_args()

    ours, memcpy = our_times(args.binary, args.repeat)
    opencv, pillow, numpy_copy, gray_same_output = peer_times(args.repeat)

    print(f"memcpy of {W}x{H}x4 bytes: {memcpy:.2f} ms (quorvel_bench), numpy copy {numpy_copy:.2f} ms; "
          f"OpenCV {cv2.__version__}, {cv2.getNumThreads()} threads")
    header = ("effect", "ours ms", "OpenCV ms", "Pillow ms", "ours/OpenCV", "ours/Pillow",
              "ours xmemcpy", "OpenCV xmemcpy", "Pillow xmemcpy")
    print("  ".join(f"{h:>14}" for h in header))
    missed = []
    for e in EFFECTS:
        row = (ours[e], opencv[e], pillow[e], ours[e] / opencv[e], ours[e] / pillow[e],
               ours[e] / memcpy, opencv[e] / memcpy, pillow[e] / memcpy)
        print(f"{e:>14}  " + "  ".join(f"{v:>14.2f}" for v in row))
        if not (ours[e] < pillow[e] and ours[e] <= 1.5 * opencv[e]):
            missed.append(e)
    print(f"Gray with OpenCV writing our four-byte result (BGRA2GRAY then GRAY2BGRA): OpenCV {gray_same_output:.2f} ms, "
          f"ours/OpenCV {ours['Gray'] / gray_same_output:.2f}")
    print("targets (beat Pillow, within 1.5 x OpenCV):", f"missed for {', '.join(missed)}" if missed else "hold")


if __name__ == "__main__":
    main()
