"""Streams into OpenCV: shows a reduced live picture in a window (Esc or q ends), or without a
display writes a few reduced frames as JPEG files.

    python3 stream_opencv.py [FRAMES]

Needs OpenCV for Python (Debian: python3-opencv).
"""

import os
import sys

try:
    import cv2
except ImportError:
    sys.exit("stream_opencv.py needs OpenCV for Python (Debian: apt-get install python3-opencv)")

import ostrel


def main() -> int:
    frames = int(sys.argv[1]) if len(sys.argv) > 1 else 100
    show = bool(os.environ.get("DISPLAY") or sys.platform == "win32")
    with ostrel.Camera(0) as cam:
        cam.color_mode = ostrel.ColorMode.BGR24  # OpenCV's own channel order
        cam.exposure = 4000  # about 54 ms (register 1..4455, larger values are shorter)
        for frame in cam.stream(count=frames, timeout=10.0):
            small = cv2.resize(frame.image, None, fx=0.125, fy=0.125,
                               interpolation=cv2.INTER_AREA)
            cv2.putText(small, f"{frame.number}  {frame.frame_rate:.1f} fps", (10, 30),
                        cv2.FONT_HERSHEY_SIMPLEX, 0.8, (0, 255, 0), 2)
            if show:
                cv2.imshow("Ostrel 7100VRX", small)
                if cv2.waitKey(1) & 0xFF in (27, ord("q")):
                    break
            elif frame.number < 5:
                cv2.imwrite(f"frame-{frame.number}.jpg", small)
    if show:
        cv2.destroyAllWindows()
    return 0


if __name__ == "__main__":
    sys.exit(main())
