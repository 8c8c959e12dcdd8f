// Putting the drive sources built into the library in place before its first camera discovery:
// the library's entry point asks for it, and a source that needs it (the camera emulator, which
// installs itself from the environment) registers its preparation when the library is loaded.
// So the entry point needs to know nothing of the sources built in with it.
#pragma once

namespace ostrel::platform {

using DriveSourcePreparation = void (*)();

// Registers the preparation; a later registration replaces it, null removes it. Any thread.
void setDriveSourcePreparation(DriveSourcePreparation prepare) noexcept;

// Runs the registered preparation, if any, on the caller's thread. The preparation decides
// itself whether a second call does anything. Any thread.
void prepareDriveSources();

}  // namespace ostrel::platform
