#!/usr/bin/env python3
"""Makes a clip tree for bench_scan: N empty files in M folders.

Folders are nested a few levels deep (each holds up to --fanout subfolders)
and every folder holds at least one file, so that a scan visits all of them.
About 70 % of the files are clips (extensions of the default list, in mixed
case), about 15 % are .avs scripts named after a clip of the same folder and
the rest are other files. The same arguments always give the same tree.
"""
import argparse
import os
import random
import sys

CLIP_EXTS = ["avi", "AVI", "mpg", "MPG", "mpeg", "mp4", "mkv", "m2v", "vob"]
OTHER_EXTS = ["txt", "jpg", "nfo", "srt", "avsi"]
WORDS = ["Holiday", "trip", "Birthday", "clip", "Scene", "take", "Beach party", "wedding", "Kids (2)", "Übung"]


def main():
    ap = argparse.ArgumentParser(description=__doc__)
    ap.add_argument("tree", help="folder to create (must not exist yet)")
    ap.add_argument("--files", type=int, default=200_000)
    ap.add_argument("--folders", type=int, default=20_000)
    ap.add_argument("--fanout", type=int, default=8)
    ap.add_argument("--seed", type=int, default=1)
    args = ap.parse_args()
    if args.folders < 1 or args.files < args.folders:
        sys.exit("need at least one folder and at least one file per folder")
    if os.path.exists(args.tree):
        sys.exit(f"{args.tree} exists already")

    rnd = random.Random(args.seed)
    # Breadth first: folder i's parent is folder (i - 1) // fanout.
    folders = [args.tree]
    for i in range(1, args.folders):
        parent = folders[(i - 1) // args.fanout]
        folders.append(os.path.join(parent, f"{rnd.choice(WORDS)} {i:05d}"))
    for f in folders:
        os.makedirs(f)

    per_folder = [1] * args.folders
    for _ in range(args.files - args.folders):
        per_folder[rnd.randrange(args.folders)] += 1

    made = 0
    for folder, count in zip(folders, per_folder):
        clips = []
        for n in range(count):
            r = rnd.random()
            if r < 0.15 and clips:
                name = clips.pop(rnd.randrange(len(clips))) + ".avs"
            elif r < 0.30:
                name = f"{rnd.choice(WORDS)} {n}.{rnd.choice(OTHER_EXTS)}"
            else:
                stem = f"{rnd.choice(WORDS)} {n}"
                clips.append(stem)
                name = f"{stem}.{rnd.choice(CLIP_EXTS)}"
            with open(os.path.join(folder, name), "xb"):
                pass
            made += 1
    print(f"{made} files in {len(folders)} folders under {args.tree}")


if __name__ == "__main__":
    main()
