// The two calls behind Ostrel_SetFilterValue, Ostrel_GetFilterValue and the 54 named setters and
// getters that differ only in their FilterId.
#pragma once

#include "OstrelSdk.h"

namespace ostrel::api {

// Stores a value by FilterId: 1, or 0 (the context records why).
int setFilterValue(CameraHandle handle, int filterId, int value) noexcept;

// Reads a value by FilterId; *ok (when given) says whether the result is valid. An unregistered
// handle gives 0 and leaves *ok alone.
int getFilterValue(CameraHandle handle, int filterId, int *ok) noexcept;

}  // namespace ostrel::api
