"""Streaming: frames and their fields, the buffer ring, stopping, recording."""

import time

import numpy as np
import pytest

import ostrel
from ostrel import ColorMode, ErrorCode, OstrelError
from ostrel import _library as native

FRAME_TIMEOUT = 60.0  # a full-size frame on a busy machine


def assert_idle(cam):
    """Not streaming: a snapshot works (it fails while a stream runs)."""
    assert cam.snapshot().size > 0


@pytest.mark.parametrize("queues", [True, False], ids=["notifications", "polling"])
@pytest.mark.parametrize("mode", [ColorMode.MONO8, ColorMode.BGR48])
def test_stream_yields_count_frames_then_stops(cam, monkeypatch, queues, mode):
    monkeypatch.setattr(native, "HAS_MESSAGE_QUEUES", queues)
    cam.color_mode = mode
    frames = list(cam.stream(count=3, timeout=FRAME_TIMEOUT, ring=4))
    assert [f.number for f in frames] == [0, 1, 2]
    dtype, channels = ostrel.pixel_layout(mode)
    for frame in frames:
        assert (frame.width, frame.height, frame.bits_per_pixel) == (cam.width, cam.height, mode)
        assert frame.image.shape[:2] == (cam.height, cam.width)
        assert frame.image.dtype == dtype and frame.frame_rate >= 0
        assert frame.info_size in ((0,) if not queues else (24, 32))
    assert_idle(cam)


def test_ring_keeps_a_frame_until_the_ring_has_gone_round(cam):
    cam.color_mode = ColorMode.MONO8
    frames = list(cam.stream(count=3, timeout=FRAME_TIMEOUT, ring=2))
    assert not np.shares_memory(frames[0].image, frames[1].image)
    assert np.shares_memory(frames[0].image, frames[2].image)


def test_breaking_out_of_the_loop_stops_the_stream(cam):
    cam.color_mode = ColorMode.MONO8
    for frame in cam.stream(timeout=FRAME_TIMEOUT):
        assert frame.number == 0
        break
    assert_idle(cam)


def test_closing_the_camera_ends_its_stream(cam):
    cam.color_mode = ColorMode.MONO8
    frames = cam.stream(timeout=FRAME_TIMEOUT)
    next(frames)
    cam.close()
    with pytest.raises(StopIteration):
        next(frames)


def test_snapshot_while_streaming_raises_no_camera(cam):
    cam.color_mode = ColorMode.MONO8
    frames = cam.stream(timeout=FRAME_TIMEOUT)
    next(frames)
    with pytest.raises(OstrelError) as caught:
        cam.snapshot()
    assert caught.value.code == ErrorCode.NO_CAMERA
    frames.close()
    assert_idle(cam)


@pytest.mark.parametrize("count, timeout", [(-1, 1.0), (1, 0.0)])
def test_stream_refuses_bad_arguments(cam, count, timeout):
    with pytest.raises(ValueError):
        cam.stream(count=count, timeout=timeout)


def test_record_writes_an_avi_and_a_second_stream_is_refused(cam, tmp_path):
    cam.color_mode = ColorMode.MONO8
    path = tmp_path / "clip.avi"
    cam.record(path, 30.0)
    deadline = time.monotonic() + FRAME_TIMEOUT
    while path.stat().st_size < 2048 and time.monotonic() < deadline:
        time.sleep(0.05)  # wait for the first frames to be written
    with pytest.raises(OstrelError) as caught:
        next(cam.stream(timeout=FRAME_TIMEOUT))  # the recording's stream already runs
    assert caught.value.function == "Ostrel_CallBackPreview"
    cam.stop()  # ends the recording early, its file finished
    data = path.read_bytes()
    assert data[:4] == b"RIFF" and data[8:12] == b"AVI "
    assert int.from_bytes(data[4:8], "little") == len(data) - 8
    with pytest.raises(ValueError):
        cam.record(path, 0)


@pytest.mark.parametrize(
    "code, stops",
    [(ErrorCode.CAPTURE_FAILED, True), (ErrorCode.FRAME_TRANSFER, False),
     (ErrorCode.MEMORY_OR_SIZE, False)],
)
def test_streaming_problems_stop_only_when_the_capture_failed(cam, code, stops):
    if stops:
        with pytest.raises(OstrelError) as caught:
            cam._stream_problem(code)
        assert caught.value.code == code
    else:
        with pytest.warns(ostrel.OstrelWarning) as caught:
            cam._stream_problem(code)
        assert [w.message.code for w in caught] == [code]
