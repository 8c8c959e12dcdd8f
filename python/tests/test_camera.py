"""The package against the emulated camera: settings, snapshots, errors and release."""

import ctypes
import subprocess
import sys
from pathlib import Path

import numpy as np
import pytest

import ostrel
from ostrel import ColorMode, ErrorCode, OstrelError
from ostrel import _library as native

LAYOUT = {  # mode: dtype, channels
    ColorMode.MONO8: (np.uint8, 1),
    ColorMode.MONO16: (np.uint16, 1),
    ColorMode.BGR24: (np.uint8, 3),
    ColorMode.BGR32: (np.uint8, 4),
    ColorMode.BGR48: (np.uint16, 3),
    ColorMode.BGR64: (np.uint16, 4),
}


@pytest.mark.parametrize("count", [1, 3])
def test_cameras_names_every_emulated_camera(monkeypatch, count):
    # The library counts its emulated cameras once per process.
    monkeypatch.setenv("OSTREL_EMULATED_CAMERAS", str(count))
    names = subprocess.run([sys.executable, "-c", "import ostrel; print(*ostrel.cameras())"],
                           check=True, capture_output=True, text=True).stdout.split()
    assert names == [f"Ostrel7100VRX_{i + 1:02d}" for i in range(count)]


@pytest.mark.parametrize("mode", list(ColorMode))
def test_snapshot_is_shaped_for_its_mode_and_equals_the_sdk_image(cam, mode):
    cam.color_mode = mode
    assert cam.color_mode is mode
    image = cam.snapshot()
    dtype, channels = LAYOUT[mode]
    shape = (cam.height, cam.width) + ((channels,) if channels > 1 else ())
    assert image.shape == shape and image.dtype == dtype
    # The same frame read by the C interface, byte for byte (rows top first).
    stride = ostrel.row_stride(cam.width, mode)
    raw = np.zeros(stride * cam.height, np.uint8)
    lib = native.library()
    assert lib.Ostrel_GetImage(cam.handle, raw.ctypes.data, raw.size, 1) == 1
    rows = raw.reshape(cam.height, stride)[:, : cam.width * mode // 8]
    assert np.ascontiguousarray(image).tobytes() == rows.tobytes()
    if dtype == np.uint16:
        assert image.max() < 1024  # 10 significant bits: samples are little-endian words
    if channels == 4:
        assert not image[..., 3].any()  # the fourth sample is 0: channels are not shifted
    assert image.any()


@pytest.mark.parametrize("name", sorted(ostrel.FILTERS))
def test_filter_properties_keep_in_range_values_and_refuse_the_others(cam, name):
    _, low, high = ostrel.FILTERS[name]
    setattr(cam, name, high)
    assert getattr(cam, name) == high
    setattr(cam, name, low)
    assert getattr(cam, name) == low
    if name != "bayer_gain_rgb":  # packed gains: no range, each keeps its 8 bits
        for wrong in (low - 1, high + 1):
            with pytest.raises(OstrelError) as caught:
                setattr(cam, name, wrong)
            assert caught.value.code == ErrorCode.INVALID_ARGUMENT
            assert getattr(cam, name) == low  # nothing stored
    with pytest.raises(ValueError):
        setattr(cam, name, 2**32 + low)  # would wrap to an accepted value in C


@pytest.mark.parametrize(
    "name, values",
    [("mirror_v", [True, False]), ("mirror_h", [True, False]), ("bayer_gain_auto", [7, 0]),
     ("auto_iris", [2, 0]), ("wait_time", [0, 25])],
)
def test_other_settings_read_back(cam, name, values):
    for value in values:
        setattr(cam, name, value)
        assert getattr(cam, name) == (bool(value) if name == "bayer_gain_auto" else value)


@pytest.mark.parametrize("register, milliseconds", [(4455, 0.044), (1, 525.477)])
def test_exposure_time_in_milliseconds_follows_the_register(cam, register, milliseconds):
    cam.exposure = register
    assert cam.exposure_ms == pytest.approx(milliseconds)


@pytest.mark.parametrize(
    "action, function, code",
    [
        (lambda c: setattr(c, "color_mode", 12), "Ostrel_SetColorMode", 9),
        (lambda c: setattr(c, "auto_iris", 3), "Ostrel_SetAutoIris", 9),  # only notified
        (lambda c: setattr(c, "wait_time", -1), "Ostrel_SetWaitTime", None),  # no code
        (lambda c: c.save("x.png"), "Ostrel_SaveImage", ErrorCode.NO_CAMERA),  # no image yet
        (lambda c: (c.snapshot(), c.save("/nonexistent/x.png")), "Ostrel_SaveImage", None),
    ],
)
def test_failures_raise_with_their_code_name_and_meaning(cam, action, function, code):
    with pytest.raises(OstrelError) as caught:
        action(cam)
    error = caught.value
    assert error.function == function and error.code == code
    if code is not None:
        assert error.name == ErrorCode(code).name and error.meaning in str(error)
    # The failure's codes were taken out: the next failure does not report them again.
    assert cam._take_history() == []


def test_missing_camera_is_reported_and_its_context_released(monkeypatch):
    released = []
    lib = native.library()
    real_release = lib.Ostrel_Release

    class Spy:
        def __getattr__(self, name):
            return getattr(lib, name)

        def Ostrel_Release(self, handle):
            released.append(handle)
            return real_release(handle)

    monkeypatch.setattr(native, "library", lambda: Spy())
    with pytest.raises(OstrelError) as caught:
        ostrel.Camera(3)
    assert caught.value.code == ErrorCode.CAMERA_NOT_PRESENT
    assert len(released) == 1 and lib.Ostrel_GetColorMode(released[0]) == -1


def test_camera_is_released_when_the_block_raises():
    with pytest.raises(RuntimeError):
        with ostrel.Camera(0) as cam:
            handle = cam.handle
            raise RuntimeError("the application failed")
    assert cam.closed
    assert native.library().Ostrel_GetColorMode(handle) == -1  # no longer registered
    with pytest.raises(ValueError):
        cam.snapshot()
    cam.close()  # a second close is harmless


@pytest.mark.parametrize(
    "name, quality, magic",
    [("a.bmp", "high", b"BM"), ("a.png", "high", b"\x89PNG"), ("a.jpg", "low", b"\xff\xd8\xff"),
     ("a.JPEG", 70, b"\xff\xd8\xff"), ("a.tif", "high", b"II*\0")],
)
def test_save_picks_the_format_from_the_extension(cam, tmp_path, name, quality, magic):
    cam.color_mode = ColorMode.BGR24
    cam.snapshot()
    cam.save(tmp_path / name, quality=quality)
    assert (tmp_path / name).read_bytes()[: len(magic)] == magic


def test_save_raw_holds_the_buffer_and_bad_names_are_refused(cam, tmp_path):
    cam.color_mode = ColorMode.MONO8
    image = cam.snapshot()
    cam.save(tmp_path / "a.raw")
    stride = ostrel.row_stride(cam.width, ColorMode.MONO8)  # rows keep their padding
    saved = np.frombuffer((tmp_path / "a.raw").read_bytes(), np.uint8)
    assert saved.size == stride * cam.height
    assert np.array_equal(saved.reshape(cam.height, stride)[:, : cam.width], image)
    for name, quality in [("a.gif", "high"), ("a.jpg", 50)]:
        with pytest.raises(ValueError):
            cam.save(tmp_path / name, quality=quality)


def test_library_load_failure_names_every_path_tried(monkeypatch):
    monkeypatch.setattr(native, "_library", None)
    monkeypatch.setattr(native, "LIBRARY_NAMES", ["libostrel-test-missing.so"])
    monkeypatch.setattr(ctypes.util, "find_library", lambda name: None)
    monkeypatch.setenv("OSTREL_SDK_LIBRARY", "/nonexistent/libOstrel.so")
    with pytest.raises(ostrel.LibraryNotFoundError) as caught:
        native.library()
    tried = [line.strip().split(": ")[0] for line in str(caught.value).splitlines()[1:]]
    beside = str(Path(native.__file__).resolve().parent / "libostrel-test-missing.so")
    assert tried == ["/nonexistent/libOstrel.so", beside, "libostrel-test-missing.so"]
    assert native.candidate_paths()[0] == "/nonexistent/libOstrel.so"
