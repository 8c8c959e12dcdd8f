// The 54 named filter-value exports, generated from one table: each setter and getter is
// Ostrel_SetFilterValue / Ostrel_GetFilterValue with a fixed FilterId.
#include "api/filter_value_exports.h"

#include "OstrelSdk.h"
#include "api/filter_value_access.h"

#define OSTREL_DEFINE_FILTER_VALUE_EXPORTS(Name, filterId)                      \
    int OSTREL_CALL Ostrel_Set##Name(CameraHandle handle, int value) noexcept { \
        return ostrel::api::setFilterValue(handle, filterId, value);            \
    }                                                                           \
    int OSTREL_CALL Ostrel_Get##Name(CameraHandle handle, int *ok) noexcept {   \
        return ostrel::api::getFilterValue(handle, filterId, ok);               \
    }

extern "C" {
OSTREL_FILTER_VALUE_EXPORTS(OSTREL_DEFINE_FILTER_VALUE_EXPORTS)
}
