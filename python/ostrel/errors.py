"""Error codes of the SDK and the exceptions and warnings the package raises for them."""

from __future__ import annotations

import enum
from typing import Optional, Sequence, Tuple


class ErrorCode(enum.IntEnum):
    """The codes of the error history and of the error notifications (``OSTREL_ERROR_*``)."""

    AUTO_IRIS_IDLE = 0
    NO_CAMERA = 1
    CAMERA_NOT_PRESENT = 2
    THREAD_START = 3
    PREVIEW_WINDOW = 4
    MEMORY_OR_SIZE = 5
    CAMERA_COMMAND = 6
    GEOMETRY = 7
    FRAME_TRANSFER = 8
    INVALID_ARGUMENT = 9
    RESERVED_10 = 10
    NOT_SUPPORTED = 11
    SETTINGS_STORE = 12
    CAPTURE_FAILED = 13


MEANINGS = {
    ErrorCode.AUTO_IRIS_IDLE: "the auto-iris mode is off (noted once per frame, not a failure)",
    ErrorCode.NO_CAMERA: "no camera device, or the operation is not possible in this state",
    ErrorCode.CAMERA_NOT_PRESENT: "the selected or named camera is not present",
    ErrorCode.THREAD_START: "a capture or recording thread could not be started",
    ErrorCode.PREVIEW_WINDOW: "the preview window could not be created",
    ErrorCode.MEMORY_OR_SIZE: "out of memory, or a buffer or record too small",
    ErrorCode.CAMERA_COMMAND: "the camera refused a command",
    ErrorCode.GEOMETRY: "the image geometry (origin, size, subsampling) is not valid",
    ErrorCode.FRAME_TRANSFER: "a frame could not be read from the camera",
    ErrorCode.INVALID_ARGUMENT: "an argument is out of range",
    ErrorCode.RESERVED_10: "unused code",
    ErrorCode.NOT_SUPPORTED: "the function is not supported by this camera",
    ErrorCode.SETTINGS_STORE: "the settings store or an output file could not be opened, "
    "created or named",
    ErrorCode.CAPTURE_FAILED: "the camera reported its continuous capture as failed",
}


def describe(code: int) -> Tuple[str, str]:
    """The name and the meaning of an error code (``UNKNOWN`` for a code the SDK never gives)."""
    try:
        known = ErrorCode(code)
    except ValueError:
        return "UNKNOWN", f"code {code} is not an SDK error code"
    return known.name, MEANINGS[known]


class OstrelError(Exception):
    """A call of the SDK failed.

    ``code`` is the failing call's error code (an :class:`ErrorCode`), or ``None`` when the SDK
    reported the failure without one (a still image file that could not be written, for
    instance); ``name`` and ``meaning`` say what it is; ``history`` holds every code the failure
    left, newest first (an inner step's code follows its caller's); ``function`` names the C
    function that failed.
    """

    def __init__(self, function: str, code: Optional[int], history: Sequence[int] = (),
                 detail: str = "") -> None:
        self.function = function
        self.code: Optional[ErrorCode | int] = None
        self.history = tuple(history)
        if code is None:
            self.name, self.meaning = "NONE", detail or "failed without an error code"
        else:
            self.name, self.meaning = describe(code)
            self.code = ErrorCode(code) if self.name != "UNKNOWN" else code
            if detail:
                self.meaning = f"{self.meaning} ({detail})"
        shown = "no code" if code is None else f"error {code} {self.name}"
        super().__init__(f"{function} failed: {shown}: {self.meaning}")


class OstrelWarning(UserWarning):
    """A problem the SDK reported while streaming that did not stop the stream (a frame that
    could not be read, for instance). ``code`` is the :class:`ErrorCode`."""

    def __init__(self, code: int, message: str) -> None:
        super().__init__(message)
        self.code = code
