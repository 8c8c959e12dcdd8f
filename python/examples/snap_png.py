"""Lists the cameras, takes one colour frame and writes it to a PNG file (the SDK's encoder).

    python3 snap_png.py [FILE.png]

Without a camera, run it with OSTREL_EMULATED_CAMERAS=1 in the environment.
"""

import sys

import ostrel


def main() -> int:
    path = sys.argv[1] if len(sys.argv) > 1 else "snapshot.png"
    names = ostrel.cameras()
    print("cameras:", ", ".join(names) if names else "none")
    if not names:
        return 1
    with ostrel.Camera(0) as cam:
        cam.color_mode = ostrel.ColorMode.BGR24
        cam.exposure = 4000  # about 54 ms (register 1..4455, larger values are shorter)
        image = cam.snapshot()
        print(f"{names[0]}: {image.shape[1]} x {image.shape[0]} pixels, {image.dtype}, "
              f"mean blue/green/red {image.reshape(-1, 3).mean(axis=0).round(1)}")
        cam.save(path)
    print("written:", path)
    return 0


if __name__ == "__main__":
    sys.exit(main())
