"""Colour modes, the pixel layout of the SDK's buffers and the frames a stream yields."""

from __future__ import annotations

import enum
from dataclasses import dataclass
from typing import List, Tuple

import numpy as np


class ColorMode(enum.IntEnum):
    """Output formats, named by their bits per pixel. Colour samples are in blue, green, red
    order (OpenCV's order); the 16-bit modes carry 10 significant bits, little-endian."""

    MONO8 = 8
    MONO16 = 16
    BGR24 = 24
    BGR32 = 32
    BGR48 = 48
    BGR64 = 64


# dtype and channels of each mode; one channel gives a two-dimensional array.
_LAYOUT = {
    ColorMode.MONO8: (np.dtype(np.uint8), 1),
    ColorMode.MONO16: (np.dtype("<u2"), 1),
    ColorMode.BGR24: (np.dtype(np.uint8), 3),
    ColorMode.BGR32: (np.dtype(np.uint8), 4),
    ColorMode.BGR48: (np.dtype("<u2"), 3),
    ColorMode.BGR64: (np.dtype("<u2"), 4),
}


def pixel_layout(mode: int) -> Tuple[np.dtype, int]:
    """The NumPy dtype and the channel count of colour mode ``mode``."""
    return _LAYOUT[ColorMode(mode)]


def row_stride(width: int, mode: int) -> int:
    """Bytes per row in the SDK's buffers: each row is padded to a multiple of 4 bytes."""
    return (width * int(mode) // 8 + 3) // 4 * 4


def frame_array(raw: np.ndarray, width: int, height: int, mode: int) -> np.ndarray:
    """The pixels of ``raw`` (a uint8 buffer filled top row first) as an array shaped
    (height, width) or (height, width, channels). A view: no pixel is copied, the row padding
    is stepped over."""
    dtype, channels = pixel_layout(mode)
    stride = row_stride(width, mode)
    rows = raw[: stride * height].reshape(height, stride)[:, : width * channels * dtype.itemsize]
    pixels = rows.view(dtype)
    return pixels if channels == 1 else pixels.reshape(height, width, channels)


class BufferRing:
    """A few pixel buffers used in turn, so a frame handed out stays intact while the next
    ones are read into the other buffers."""

    def __init__(self, count: int) -> None:
        if count < 1:
            raise ValueError("a stream needs at least one buffer")
        self._buffers: List[np.ndarray] = []
        self._count = count
        self._next = 0

    def buffer(self, size: int) -> np.ndarray:
        """The buffer whose turn it is, of at least ``size`` bytes (all are renewed when
        frames grow)."""
        if not self._buffers or self._buffers[0].size < size:
            self._buffers = [np.empty(size, np.uint8) for _ in range(self._count)]
        return self._buffers[self._next]

    def advance(self) -> None:
        """Hands the current buffer out: the next one takes its turn."""
        self._next = (self._next + 1) % self._count


@dataclass(frozen=True)
class Frame:
    """One frame of a stream: the pixels and the fields of the SDK's ``FrameInfo`` record.

    ``image`` is a view of one of the stream's ring buffers: it stays unchanged until ``ring``
    more frames have been read (``ring`` is an argument of :meth:`Camera.stream`); keep it
    longer with ``frame.image.copy()``.
    """

    image: np.ndarray
    #: Position of the frame in its stream, from 0.
    number: int
    width: int
    height: int
    bits_per_pixel: int
    #: Frames per second as the SDK measured it (about once a second; 0 before the first
    #: measurement and when the SDK does not report it).
    frame_rate: float
    #: The size of the SDK's ``FrameInfo`` record (24 on 32-bit systems, 32 on 64-bit ones);
    #: 0 when the frame came without one.
    info_size: int
