// Setting and reading a FilterId value through the handle's context.
#include "api/filter_value_access.h"

#include "api/export_guard.h"
#include "context/camera_context.h"

namespace ostrel::api {

int setFilterValue(CameraHandle handle, int filterId, int value) noexcept {
    return withContext(handle, 0, [&](context::CameraContext &c) {
        return toResult(c.setFilterValue(filterId, value));
    });
}

int getFilterValue(CameraHandle handle, int filterId, int *ok) noexcept {
    return withContext(handle, 0, [&](context::CameraContext &c) {
        const auto value = c.filterValue(filterId);
        setOk(ok, value.has_value());
        return value.value_or(0);
    });
}

}  // namespace ostrel::api
