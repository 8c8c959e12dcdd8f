"""Streams frames for a few seconds and prints the frame rate, the SDK's and the one seen here.

    python3 stream_rate.py [SECONDS]
"""

import sys
import time

import ostrel


def main() -> int:
    seconds = float(sys.argv[1]) if len(sys.argv) > 1 else 5.0
    with ostrel.Camera(0) as cam:
        cam.color_mode = ostrel.ColorMode.MONO8
        cam.exposure = 4000  # about 54 ms (register 1..4455, larger values are shorter)
        start = time.monotonic()
        count = 0
        for frame in cam.stream(timeout=10.0):
            count += 1
            elapsed = time.monotonic() - start
            print(f"\rframe {frame.number}: {frame.width} x {frame.height}, "
                  f"SDK {frame.frame_rate:.1f} frames/s, here {count / elapsed:.1f} frames/s",
                  end="", flush=True)
            if elapsed >= seconds:
                break  # leaving the loop stops the stream
    print()
    return 0


if __name__ == "__main__":
    sys.exit(main())
