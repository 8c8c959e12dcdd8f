// The registered drive source preparation. The pointer is constant-initialised, so a source may
// register from its own static initialisation, in whatever order the objects are initialised.
#include "platform/drive_source_setup.h"

#include <atomic>

namespace ostrel::platform {
namespace {

std::atomic<DriveSourcePreparation> gPreparation{nullptr};

}  // namespace

void setDriveSourcePreparation(DriveSourcePreparation prepare) noexcept {
    gPreparation.store(prepare);
}

void prepareDriveSources() {
    if (const DriveSourcePreparation prepare = gPreparation.load()) {
        prepare();
    }
}

}  // namespace ostrel::platform
