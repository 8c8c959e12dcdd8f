"""The Ostrel 7100VRX camera from Python: frames as NumPy arrays over the SDK's C library.

>>> import ostrel
>>> ostrel.cameras()
['Ostrel7100VRX_01']
>>> with ostrel.Camera(0) as cam:
...     cam.color_mode = ostrel.ColorMode.BGR24
...     image = cam.snapshot()          # (height, width, 3) uint8, blue green red

The library is loaded from ``OSTREL_SDK_LIBRARY`` when set, else from the package's folder,
else from the system's library path.
"""

from ._library import LibraryNotFoundError, candidate_paths
from .camera import FILTERS, Camera, cameras, dll_version
from .errors import ErrorCode, OstrelError, OstrelWarning, describe
from .frames import ColorMode, Frame, frame_array, pixel_layout, row_stride

__all__ = [
    "FILTERS",
    "Camera",
    "ColorMode",
    "ErrorCode",
    "Frame",
    "LibraryNotFoundError",
    "OstrelError",
    "OstrelWarning",
    "cameras",
    "candidate_paths",
    "describe",
    "dll_version",
    "frame_array",
    "pixel_layout",
    "row_stride",
]
__version__ = "1.0.0"
