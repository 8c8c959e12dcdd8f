"""The camera: one SDK context with one camera selected, its settings as properties, still
frames, streams, files and recordings."""

from __future__ import annotations

import ctypes
import math
import os
import sys
import time
import warnings
import weakref
from typing import Any, Callable, Dict, Iterator, List, Optional, Tuple, Union

import numpy as np

from . import _library as native
from .errors import ErrorCode, OstrelError, OstrelWarning, describe
from .frames import BufferRing, ColorMode, Frame, frame_array, row_stride

PathLike = Union[str, "os.PathLike[str]"]

#: Image filters and analog settings by property name: (filter id, lowest, highest value).
FILTERS: Dict[str, Tuple[int, int, int]] = {
    "brightness": (1, -255, 255),
    "contrast": (2, -127, 127),
    "hue": (3, -360, 360),
    "saturation": (4, -255, 255),
    "sharpness": (5, 0, 30),
    "bayer_gain_rgb": (6, 0, 0xFFFFFF),
    "bayer_gain_red": (7, 0, 800),
    "bayer_gain_green": (8, 0, 800),
    "bayer_gain_blue": (9, 0, 800),
    "gamma": (11, 0, 200),
    "bayer_mode": (12, 0, 3),
    "gain": (13, 0, 1023),
    "exposure": (18, 1, 4455),
    "gray_mode": (19, 0, 2),
    "gray_gain_r": (20, 0, 255),
    "gray_gain_g1": (21, 0, 255),
    "gray_gain_g2": (22, 0, 255),
    "gray_gain_b": (23, 0, 255),
    "gray_offset_r": (24, -255, 255),
    "gray_offset_g1": (25, -255, 255),
    "gray_offset_g2": (26, -255, 255),
    "gray_offset_b": (27, -255, 255),
}
_BAYER_GAIN_AUTO = 10

#: Still image types by file name extension; JPEG takes a quality.
_FILE_TYPES = {".bmp": 0, ".raw": 1, ".png": 5, ".tif": 6, ".tiff": 6}
_JPEG_TYPES = {"high": 2, 100: 2, "medium": 3, 70: 3, "low": 4, 20: 4}
_JPEG_EXTENSIONS = (".jpg", ".jpeg")

_HISTORY_LENGTH = 20
# Codes that arrive with the frame notifications of a stream; the error notification twin of
# each is not reported a second time.
_FRAME_CODES = (ErrorCode.MEMORY_OR_SIZE, ErrorCode.FRAME_TRANSFER, ErrorCode.CAPTURE_FAILED)


def _c_int(value: Any, what: str) -> int:
    """``value`` as a C int; a value that does not fit is refused instead of wrapping."""
    number = int(value)
    if not -(2**31) <= number < 2**31:
        raise ValueError(f"{what} {number} does not fit in 32 bits")
    return number


def dll_version() -> int:
    """The SDK library's version number (``OSTREL_DLL_VERSION``)."""
    return int(native.library().Ostrel_GetDllVersion())


def cameras() -> List[str]:
    """The names of the cameras found ("Ostrel7100VRX_01", ...); empty when there is none."""
    lib = native.library()
    # A queue of its own for the context's notifications, dropped with it; with none they
    # would pile up in the calling thread's own queue.
    queue = lib.Ostrel_CreateMessageQueue() if native.HAS_MESSAGE_QUEUES else None
    try:
        handle = lib.Ostrel_Initialize(queue)
        if not handle:
            raise OstrelError("Ostrel_Initialize", None, detail="no camera context could be made")
        try:
            names = ctypes.create_string_buffer(10 * 256)
            count = lib.Ostrel_EnumDevice(handle, names)
            entries = [names.raw[i * 256 : (i + 1) * 256] for i in range(count)]
            return [entry.split(b"\0", 1)[0].decode("utf-8", "replace") for entry in entries]
        finally:
            lib.Ostrel_Release(handle)
    finally:
        if queue:
            lib.Ostrel_DestroyMessageQueue(queue)


class _Filter:
    """A camera property backed by one filter id of the SDK."""

    def __init__(self, filter_id: int, convert: Callable[[int], Any] = int) -> None:
        self._id = filter_id
        self._convert = convert

    def __set_name__(self, owner: type, name: str) -> None:
        self._name = name

    def __get__(self, camera: Optional["Camera"], owner: type) -> Any:
        if camera is None:
            return self
        ok = ctypes.c_int(0)
        value = camera._lib.Ostrel_GetFilterValue(camera._live(), self._id, ctypes.byref(ok))
        if not ok.value:
            raise camera._error("Ostrel_GetFilterValue")
        return self._convert(value)

    def __set__(self, camera: "Camera", value: Any) -> None:
        camera._call("Ostrel_SetFilterValue", self._id, _c_int(value, self._name))


def _filter_doc(name: str) -> str:
    filter_id, low, high = FILTERS[name]
    return f"{name.replace('_', ' ').capitalize()}: {low}..{high} (filter id {filter_id})."


class Camera:
    """One camera, opened in an SDK context of its own.

    ``Camera(index)`` opens a context and selects camera ``index`` (from 0); ``close()`` or
    the end of a ``with`` block releases it, also when the block ends with an exception. The
    SDK saves the image and analog settings when a camera is released.

    Calls of one camera must come from one thread at a time. Every SDK call that fails raises
    :class:`OstrelError` with the code from the context's error history.
    """

    def __init__(self, index: int = 0) -> None:
        self._lib = native.library()
        self._handle = 0
        self._queue: Optional[int] = None
        self._streams: "weakref.WeakSet[Any]" = weakref.WeakSet()
        if native.HAS_MESSAGE_QUEUES:
            # Error notifications, among them those of failures that are posted but not kept in
            # the history.
            self._queue = self._lib.Ostrel_CreateMessageQueue()
            if not self._queue:
                raise OstrelError("Ostrel_CreateMessageQueue", None, detail="no queue was made")
        self._handle = self._lib.Ostrel_Initialize(self._queue)
        if not self._handle:
            self.close()
            raise OstrelError("Ostrel_Initialize", None, detail="no camera context could be made")
        try:
            # A first use of a settings file (SETTINGS_STORE) or a stored geometry replaced by
            # the full sensor (GEOMETRY) leave the context usable; missing memory does not.
            history = self._take_history()
            self._take_notifications()
            if ErrorCode.MEMORY_OR_SIZE in history:
                raise OstrelError("Ostrel_Initialize", ErrorCode.MEMORY_OR_SIZE, history)
            self._call("Ostrel_SetDeviceNumber", _c_int(index, "camera index"))
        except BaseException:
            self.close()
            raise

    # ---- Life cycle ------------------------------------------------------------------------

    def __enter__(self) -> "Camera":
        return self

    def __exit__(self, *exc_info: Any) -> None:
        self.close()

    def __del__(self) -> None:
        try:
            self.close()
        except Exception:
            pass

    def close(self) -> None:
        """Stops every stream of this camera, releases its context (saving its settings) and
        its notification queue. Closing twice does nothing."""
        for stream in list(self._streams):
            stream.close()
        if self._handle:
            self._lib.Ostrel_Release(self._handle)
            self._handle = 0
        if self._queue:
            self._lib.Ostrel_DestroyMessageQueue(self._queue)
            self._queue = None

    @property
    def closed(self) -> bool:
        """True once the camera has been closed."""
        return not self._handle

    @property
    def handle(self) -> int:
        """The SDK's handle of this camera's context, for calls the package does not wrap."""
        return self._live()

    # ---- Errors ----------------------------------------------------------------------------

    def _live(self) -> int:
        if not self._handle:
            raise ValueError("the camera is closed")
        return self._handle

    def _call(self, function: str, *arguments: Any) -> int:
        result = getattr(self._lib, function)(self._live(), *arguments)
        if result == 0:
            raise self._error(function)
        return int(result)

    def _take_history(self) -> List[int]:
        """Empties the error history; its non-zero codes, newest first."""
        codes = [self._lib.Ostrel_GetLastError(self._handle) for _ in range(_HISTORY_LENGTH)]
        return [code for code in codes if code != ErrorCode.AUTO_IRIS_IDLE]

    def _take_notifications(self) -> List[int]:
        """Empties the error notification queue; its non-zero codes, oldest first."""
        codes: List[int] = []
        if self._queue:
            message = native.OstrelMessage()
            while self._lib.Ostrel_WaitMessage(self._queue, ctypes.byref(message), 0):
                if message.message == native.MSG_ERROR and message.lParam != 0:
                    codes.append(int(message.lParam))
        return codes

    def _error(self, function: str, detail: str = "") -> OstrelError:
        """The exception for a failed call: the newest code of the history, else the newest
        code only posted as a notification, else none."""
        history = self._take_history()
        posted = self._take_notifications()
        if history:
            return OstrelError(function, history[0], history, detail)
        if posted:
            return OstrelError(function, posted[-1], posted[::-1], detail)
        return OstrelError(function, None, (), detail)

    # ---- Settings --------------------------------------------------------------------------

    @property
    def width(self) -> int:
        """Image width in pixels (the part of the sensor read, before subsampling)."""
        return int(self._lib.Ostrel_Width(self._live()))

    @property
    def height(self) -> int:
        """Image height in pixels (the part of the sensor read, before subsampling)."""
        return int(self._lib.Ostrel_Height(self._live()))

    @property
    def color_mode(self) -> ColorMode:
        """The output format (:class:`ColorMode`); a change applies from the next frame taken
        or stream started."""
        mode = self._lib.Ostrel_GetColorMode(self._live())
        if mode < 0:
            raise self._error("Ostrel_GetColorMode", "no valid colour mode")
        return ColorMode(mode)

    @color_mode.setter
    def color_mode(self, mode: int) -> None:
        self._call("Ostrel_SetColorMode", _c_int(mode, "colour mode"))

    brightness = _Filter(1)
    contrast = _Filter(2)
    hue = _Filter(3)
    saturation = _Filter(4)
    sharpness = _Filter(5)
    bayer_gain_rgb = _Filter(6)
    bayer_gain_red = _Filter(7)
    bayer_gain_green = _Filter(8)
    bayer_gain_blue = _Filter(9)
    bayer_gain_auto = _Filter(_BAYER_GAIN_AUTO, bool)
    gamma = _Filter(11)
    bayer_mode = _Filter(12)
    gain = _Filter(13)
    exposure = _Filter(18)
    gray_mode = _Filter(19)
    gray_gain_r = _Filter(20)
    gray_gain_g1 = _Filter(21)
    gray_gain_g2 = _Filter(22)
    gray_gain_b = _Filter(23)
    gray_offset_r = _Filter(24)
    gray_offset_g1 = _Filter(25)
    gray_offset_g2 = _Filter(26)
    gray_offset_b = _Filter(27)

    @property
    def exposure_ms(self) -> float:
        """The exposure time of the current :attr:`exposure` register value in milliseconds
        (register 4455 gives 0.044 ms, 1 gives 525.477 ms; larger values are shorter)."""
        ok = ctypes.c_int(0)
        microseconds = self._lib.Ostrel_GetRealExposureTime(self._live(), ctypes.byref(ok))
        if not ok.value:
            raise self._error("Ostrel_GetRealExposureTime")
        return microseconds / 1000.0

    @property
    def mirror_v(self) -> bool:
        """Picture mirrored top to bottom."""
        return bool(self._lib.Ostrel_GetMirrorV(self._live()))

    @mirror_v.setter
    def mirror_v(self, flag: bool) -> None:
        self._call("Ostrel_SetMirrorV", 1 if flag else 0)

    @property
    def mirror_h(self) -> bool:
        """Picture mirrored left to right."""
        return bool(self._lib.Ostrel_GetMirrorH(self._live()))

    @mirror_h.setter
    def mirror_h(self, flag: bool) -> None:
        self._call("Ostrel_SetMirrorH", 1 if flag else 0)

    @property
    def auto_iris(self) -> int:
        """Automatic exposure: 0 off, 1 regulates the exposure, 2 the gain."""
        ok = ctypes.c_int(0)
        mode = self._lib.Ostrel_GetAutoIris(self._live(), ctypes.byref(ok))
        if not ok.value:
            raise self._error("Ostrel_GetAutoIris")
        return int(mode)

    @auto_iris.setter
    def auto_iris(self, mode: int) -> None:
        self._call("Ostrel_SetAutoIris", _c_int(mode, "auto-iris mode"))

    @property
    def wait_time(self) -> int:
        """Pause at the top of every pass of the capture loop, in milliseconds."""
        return int(self._lib.Ostrel_GetWaitTime(self._live()))

    @wait_time.setter
    def wait_time(self, milliseconds: int) -> None:
        self._call("Ostrel_SetWaitTime", _c_int(milliseconds, "wait time"))

    # ---- Frames ----------------------------------------------------------------------------

    def _frame_buffer(self, width: int, height: int, mode: int) -> np.ndarray:
        return np.empty(row_stride(width, mode) * height, np.uint8)

    def snapshot(self) -> np.ndarray:
        """Takes one frame and returns it as a new array: (height, width) for the monochrome
        modes, (height, width, channels) in blue, green, red (and a fourth, 0) order for the
        colour ones; uint8, or uint16 for the 10-bit modes (MONO16, BGR48, BGR64). Rows top
        first. The SDK writes the pixels straight into the array. Not while streaming."""
        mode, width, height = self.color_mode, self.width, self.height
        raw = self._frame_buffer(width, height, mode)
        self._call("Ostrel_SnapShot", raw.ctypes.data, raw.size, 1)
        return frame_array(raw, width, height, mode)

    def stream(self, count: Optional[int] = None, timeout: float = 5.0,
               ring: int = 3) -> Iterator[Frame]:
        """Streams frames: an iterator of :class:`Frame` (the pixels as :meth:`snapshot` shapes
        them, and the frame's ``FrameInfo`` fields).

        ``count`` frames, or without end when None; ``timeout`` is the longest wait in seconds
        for each frame (:class:`TimeoutError` after it). Streaming stops when the iteration
        ends, when the loop breaks or the iterator is closed or dropped, and when the camera is
        closed.

        Each frame is read into the next of ``ring`` buffers, so a frame's array stays intact
        while the next ``ring - 1`` frames arrive; copy it to keep it longer. When the loop
        body is slower than the camera, the newest frame is read and those in between are
        skipped.

        Problems while streaming: the camera reporting its capture as failed
        (CAPTURE_FAILED) raises :class:`OstrelError`; a frame that could not be read or
        delivered (FRAME_TRANSFER, MEMORY_OR_SIZE) and other codes the capture thread
        notifies are issued as :class:`OstrelWarning` warnings and the stream goes on.
        """
        if count is not None and count < 0:
            raise ValueError("count must not be negative")
        if not timeout > 0:
            raise ValueError("timeout must be positive")
        self._live()
        feed = self._queue_frames if native.HAS_MESSAGE_QUEUES else self._polled_frames
        frames = feed(count, timeout, BufferRing(ring))
        self._streams.add(frames)
        return frames

    def _stream_problem(self, code: int) -> None:
        if code == ErrorCode.CAPTURE_FAILED:
            raise OstrelError("streaming", code)
        name, meaning = describe(code)
        warnings.warn(OstrelWarning(code, f"while streaming: error {code} {name}: {meaning}"),
                      stacklevel=3)

    def _stop_stream(self) -> None:
        if self._handle and not self._lib.Ostrel_StopPreview(self._handle):
            error = self._error("Ostrel_StopPreview")
            if sys.exc_info()[0] in (None, GeneratorExit):
                raise error

    def _queue_frames(self, count: Optional[int], timeout: float,
                      ring: BufferRing) -> Iterator[Frame]:
        """Frame notifications of a callback preview into a queue of this stream; each
        notified frame is copied with Ostrel_GetImage, which reads it under the SDK's frame
        lock, so the pixels are never those of two frames."""
        lib = self._lib
        queue = lib.Ostrel_CreateMessageQueue()
        if not queue:
            raise OstrelError("Ostrel_CreateMessageQueue", None, detail="no queue was made")
        started = False
        try:
            self._take_notifications()  # older problems are not this stream's
            if not lib.Ostrel_CallBackPreview(self._live(), queue, None, 0, 1):
                raise self._error("Ostrel_CallBackPreview",
                                  "already streaming, or in single-frame mode")
            started = True
            message = native.OstrelMessage()
            number = 0
            while count is None or number < count:
                for code in self._take_notifications():
                    if code not in _FRAME_CODES:
                        self._stream_problem(code)
                if not lib.Ostrel_WaitMessage(queue, ctypes.byref(message),
                                              max(1, math.ceil(timeout * 1000))):
                    raise TimeoutError(f"no frame arrived within {timeout} s")
                if message.message != native.MSG_FRAME:
                    continue
                if message.wParam == 0:
                    self._stream_problem(int(message.lParam))
                    continue
                info = native.FrameInfo.from_address(message.wParam)
                width, height, bits = info.width, info.height, info.bitsPerPixel
                rate, info_size = info.frameRate / 10.0, info.size
                raw = ring.buffer(row_stride(width, bits) * height)
                if not lib.Ostrel_GetImage(self._handle, raw.ctypes.data, raw.size, 1):
                    history = self._take_history()
                    if history:
                        raise OstrelError("Ostrel_GetImage", history[0], history)
                    continue  # a newer frame was already read for an earlier notification
                ring.advance()
                yield Frame(frame_array(raw, width, height, bits), number, width, height, bits,
                            rate, info_size)
                number += 1
        finally:
            try:
                if started:
                    self._stop_stream()
            finally:
                lib.Ostrel_DestroyMessageQueue(queue)

    def _polled_frames(self, count: Optional[int], timeout: float,
                       ring: BufferRing) -> Iterator[Frame]:
        """Where the SDK has no message queues (Windows, where notifications are window
        messages): stream without a window and poll for new frames with Ostrel_GetImage."""
        lib = self._lib
        self._call("Ostrel_StartPreview")
        try:
            mode, width, height = self.color_mode, self.width, self.height
            number = 0
            while count is None or number < count:
                raw = ring.buffer(row_stride(width, mode) * height)
                deadline = time.monotonic() + timeout
                while not lib.Ostrel_GetImage(self._handle, raw.ctypes.data, raw.size, 1):
                    history = self._take_history()
                    if history:
                        raise OstrelError("Ostrel_GetImage", history[0], history)
                    if time.monotonic() > deadline:
                        raise TimeoutError(f"no frame arrived within {timeout} s")
                    time.sleep(0.002)
                ring.advance()
                yield Frame(frame_array(raw, width, height, mode), number, width, height,
                            int(mode), 0.0, 0)
                number += 1
        finally:
            self._stop_stream()

    def stop(self) -> None:
        """Stops streaming and recording (a stream started by :meth:`record`, for instance)."""
        self._call("Ostrel_StopPreview")

    # ---- Files -----------------------------------------------------------------------------

    def save(self, path: PathLike, quality: Union[str, int] = "high") -> None:
        """Saves the current image (the last snapshot, or the newest frame of a stream) to
        ``path``, in the format its extension names: .bmp, .raw (the buffer as it is), .png,
        .tif/.tiff, or .jpg/.jpeg with ``quality`` "high" (100), "medium" (70) or "low"
        (20)."""
        name = os.fspath(path)
        extension = os.path.splitext(name)[1].lower()
        if extension in _JPEG_EXTENSIONS:
            if quality not in _JPEG_TYPES:
                raise ValueError(f"JPEG quality must be high, medium, low, 100, 70 or 20, "
                                 f"not {quality!r}")
            file_type = _JPEG_TYPES[quality]
        elif extension in _FILE_TYPES:
            file_type = _FILE_TYPES[extension]
        else:
            raise ValueError(f"unknown still image type {extension!r}: use .bmp, .raw, .jpg, "
                             f".jpeg, .png, .tif or .tiff")
        if sys.platform == "win32":
            self._call("Ostrel_SaveImageW", name, file_type)
        else:
            self._call("Ostrel_SaveImage", os.fsencode(name), file_type)

    def record(self, path: PathLike, seconds: float, display: bool = False) -> None:
        """Starts recording the stream (starting it when needed) into an uncompressed 24-bit
        AVI file for ``seconds``, counted from the first recorded frame, and returns at once.
        Streaming goes on afterwards; :meth:`stop`, :meth:`close` or the end of a
        :meth:`stream` loop end the recording early, its file finished with every frame
        written so far."""
        milliseconds = _c_int(round(seconds * 1000), "recording time")
        if milliseconds <= 0:
            raise ValueError("a recording needs a positive time")
        name = os.fspath(path)
        if sys.platform == "win32":
            self._call("Ostrel_RecordW", name, milliseconds, 1 if display else 0)
        else:
            self._call("Ostrel_Record", os.fsencode(name), milliseconds, 1 if display else 0)


for _name in FILTERS:
    getattr(Camera, _name).__doc__ = _filter_doc(_name)
Camera.bayer_gain_auto.__doc__ = "Automatic colour gain of the demosaicing (on or off)."
