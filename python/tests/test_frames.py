"""Pixel layout of the SDK's buffers as arrays, and the ring of stream buffers."""

import numpy as np
import pytest

from ostrel import ColorMode, frame_array, row_stride
from ostrel.frames import BufferRing

# mode, width, bytes per row with padding, dtype, shape of one pixel
LAYOUTS = [
    (ColorMode.MONO8, 5, 8, np.uint8, ()),
    (ColorMode.MONO16, 3, 8, np.uint16, ()),
    (ColorMode.BGR24, 3, 12, np.uint8, (3,)),
    (ColorMode.BGR24, 5, 16, np.uint8, (3,)),
    (ColorMode.BGR32, 3, 12, np.uint8, (4,)),
    (ColorMode.BGR48, 3, 20, np.uint16, (3,)),
    (ColorMode.BGR64, 1, 8, np.uint16, (4,)),
]


@pytest.mark.parametrize("mode, width, stride, dtype, pixel", LAYOUTS)
def test_rows_skip_their_padding_and_samples_keep_their_order(mode, width, stride, dtype, pixel):
    height = 3
    assert row_stride(width, mode) == stride
    raw = np.arange(stride * height, dtype=np.uint32).astype(np.uint8)
    image = frame_array(raw, width, height, mode)
    assert image.shape == (height, width) + pixel
    assert image.dtype == dtype
    assert np.shares_memory(image, raw)
    sample = np.dtype(dtype).itemsize
    channels = pixel[0] if pixel else 1
    # Every sample read from where the SDK wrote it: row y at y * stride, little-endian.
    for y in range(height):
        for x in range(width):
            for c in range(channels):
                at = y * stride + (x * channels + c) * sample
                expected = int.from_bytes(raw[at : at + sample].tobytes(), "little")
                assert int(image[(y, x) + ((c,) if pixel else ())]) == expected


def test_ring_moves_on_only_when_told_and_grows_for_larger_frames():
    ring = BufferRing(2)
    first = ring.buffer(10)
    assert ring.buffer(10) is first  # a buffer not handed out is used again
    ring.advance()
    second = ring.buffer(10)
    ring.advance()
    assert not np.shares_memory(first, second)
    assert ring.buffer(10) is first
    assert ring.buffer(20).size >= 20
    with pytest.raises(ValueError):
        BufferRing(0)
