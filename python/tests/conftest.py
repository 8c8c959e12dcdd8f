"""Every test runs against emulated cameras with a settings file of its own."""

import os

import pytest

# Before the library first looks for cameras.
os.environ["OSTREL_EMULATED_CAMERAS"] = "1"

import ostrel  # noqa: E402

# A short exposure (about 54 ms; larger register values are shorter) that still gives the
# emulated scene a picture, so frames come quickly and compare as more than zeros.
SHORT_EXPOSURE = 4000

# Stored settings that read a 642 x 482 part of the sensor: frames small enough for a busy
# machine, and rows whose length is no multiple of 4 bytes in most modes (row padding).
SMALL_IMAGE_SETTINGS = """REGEDIT4

[HKEY_CURRENT_USER\\Software\\Nembra\\Ostrel7100V3Sdk]
"Size"=dword:00000000

[HKEY_CURRENT_USER\\Software\\Nembra\\Ostrel7100V3Sdk\\Size_00]
"TH"=dword:000019b0
"TV"=dword:00001120
"EH"=dword:00000282
"EV"=dword:000001e2
"EHS"=dword:00000bb8
"EVS"=dword:000007d0
"Buf"=dword:0000000a
"""


@pytest.fixture(autouse=True)
def own_settings(tmp_path, monkeypatch):
    settings = tmp_path / "settings.reg"
    settings.write_text(SMALL_IMAGE_SETTINGS)
    monkeypatch.setenv("OSTREL_EMULATED_CAMERAS", "1")
    monkeypatch.setenv("OSTREL_SETTINGS_FILE", str(settings))


@pytest.fixture
def cam():
    with ostrel.Camera(0) as camera:
        camera.exposure = SHORT_EXPOSURE
        assert (camera.width, camera.height) == (642, 482)
        yield camera
