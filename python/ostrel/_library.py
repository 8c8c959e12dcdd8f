"""Loading the SDK's shared library and declaring the C functions the package calls."""

from __future__ import annotations

import ctypes
import ctypes.util
import os
import sys
import threading
from pathlib import Path
from typing import List, Optional

if sys.platform == "win32":
    LIBRARY_NAMES = ["OstrelSdk_USB3_7100VRX.dll"]
else:
    # The soname first (what a program linked with the SDK loads), then the development link.
    LIBRARY_NAMES = ["libOstrelSdk_USB3_7100VRX.so.1", "libOstrelSdk_USB3_7100VRX.so"]

HAS_MESSAGE_QUEUES = sys.platform != "win32"

#: The notification messages (OstrelSdk.h).
MSG_FRAME = 0x8002
MSG_ERROR = 0x8003

CameraHandle = ctypes.c_uint32
Window = ctypes.c_void_p  # an HWND on Windows, a message queue handle on Linux


class FrameInfo(ctypes.Structure):
    """The record a frame notification points to."""

    _fields_ = [
        ("size", ctypes.c_int32),
        ("width", ctypes.c_int32),
        ("height", ctypes.c_int32),
        ("bitsPerPixel", ctypes.c_int32),
        ("frameRate", ctypes.c_int32),
        ("buffer", ctypes.c_void_p),
    ]


class OstrelMessage(ctypes.Structure):
    """One notification taken from a library message queue (Linux)."""

    _fields_ = [
        ("message", ctypes.c_uint32),
        ("wParam", ctypes.c_size_t),
        ("lParam", ctypes.c_ssize_t),
    ]


class LibraryNotFoundError(OSError):
    """The SDK's shared library could not be loaded from any of the places tried."""


_INT = ctypes.c_int
_PINT = ctypes.POINTER(ctypes.c_int)
_H = CameraHandle

# name: (result type, argument types). Every setter and getter of an int value shares a shape.
_SETTER = (_INT, [_H, _INT])
_GETTER_OK = (_INT, [_H, _PINT])
_PROTOTYPES = {
    "Ostrel_GetDllVersion": (_INT, []),
    "Ostrel_Initialize": (_H, [Window]),
    "Ostrel_Release": (_INT, [_H]),
    "Ostrel_GetLastError": (_INT, [_H]),
    "Ostrel_CallBackPreview": (_INT, [_H, Window, ctypes.c_void_p, _INT, _INT]),
    "Ostrel_StartPreview": (_INT, [_H]),
    "Ostrel_StopPreview": (_INT, [_H]),
    "Ostrel_SnapShot": (_INT, [_H, ctypes.c_void_p, _INT, _INT]),
    "Ostrel_GetImage": (_INT, [_H, ctypes.c_void_p, _INT, _INT]),
    "Ostrel_Record": (_INT, [_H, ctypes.c_char_p, _INT, _INT]),
    "Ostrel_RecordW": (_INT, [_H, ctypes.c_wchar_p, _INT, _INT]),
    "Ostrel_Width": (_INT, [_H]),
    "Ostrel_Height": (_INT, [_H]),
    "Ostrel_SetDeviceNumber": _SETTER,
    "Ostrel_EnumDevice": (_INT, [_H, ctypes.c_char_p]),
    "Ostrel_SaveImage": (_INT, [_H, ctypes.c_char_p, _INT]),
    "Ostrel_SaveImageW": (_INT, [_H, ctypes.c_wchar_p, _INT]),
    "Ostrel_SetColorMode": _SETTER,
    "Ostrel_GetColorMode": (_INT, [_H]),
    "Ostrel_SetWaitTime": _SETTER,
    "Ostrel_GetWaitTime": (_INT, [_H]),
    "Ostrel_SetMirrorV": _SETTER,
    "Ostrel_GetMirrorV": (_INT, [_H]),
    "Ostrel_SetMirrorH": _SETTER,
    "Ostrel_GetMirrorH": (_INT, [_H]),
    "Ostrel_SetAutoIris": _SETTER,
    "Ostrel_GetAutoIris": _GETTER_OK,
    "Ostrel_GetRealExposureTime": _GETTER_OK,
    "Ostrel_SetFilterValue": (_INT, [_H, _INT, _INT]),
    "Ostrel_GetFilterValue": (_INT, [_H, _INT, _PINT]),
}
if HAS_MESSAGE_QUEUES:
    _PROTOTYPES.update(
        {
            "Ostrel_CreateMessageQueue": (Window, []),
            "Ostrel_WaitMessage": (_INT, [Window, ctypes.POINTER(OstrelMessage), _INT]),
            "Ostrel_DestroyMessageQueue": (_INT, [Window]),
        }
    )


def candidate_paths() -> List[str]:
    """The places the library is looked for, in order: ``OSTREL_SDK_LIBRARY``, the package's
    own folder, then the system's library path (names the dynamic loader resolves)."""
    candidates: List[str] = []
    configured = os.environ.get("OSTREL_SDK_LIBRARY", "")
    if configured:
        candidates.append(configured)
    here = Path(__file__).resolve().parent
    candidates.extend(str(here / name) for name in LIBRARY_NAMES)
    candidates.extend(LIBRARY_NAMES)
    found = ctypes.util.find_library("OstrelSdk_USB3_7100VRX")
    if found and found not in candidates:
        candidates.append(found)
    return candidates


def _declare(library: ctypes.CDLL) -> ctypes.CDLL:
    for name, (result, arguments) in _PROTOTYPES.items():
        function = getattr(library, name)
        function.restype = result
        function.argtypes = arguments
    return library


_lock = threading.Lock()
_library: Optional[ctypes.CDLL] = None


def library() -> ctypes.CDLL:
    """The loaded SDK library (loaded on first use); raises :class:`LibraryNotFoundError`
    naming every path tried and why each failed."""
    global _library
    with _lock:
        if _library is None:
            failures = []
            for candidate in candidate_paths():
                is_path = os.sep in candidate or (os.altsep is not None and os.altsep in candidate)
                if is_path and not os.path.exists(candidate):
                    failures.append(f"{candidate}: no such file")
                    continue
                try:
                    loaded = ctypes.CDLL(candidate)
                except OSError as error:
                    failures.append(f"{candidate}: {error}")
                    continue
                try:
                    _library = _declare(loaded)
                except AttributeError as error:
                    failures.append(f"{candidate}: not the Ostrel SDK ({error})")
                    continue
                break
            else:
                raise LibraryNotFoundError(
                    "the Ostrel SDK library could not be loaded; set OSTREL_SDK_LIBRARY to its "
                    "path. Tried:\n  " + "\n  ".join(failures)
                )
        return _library
