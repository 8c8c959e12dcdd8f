// The wide-name still save: name conversion, then the still image dispatch.
#include "context/wide_still_name.h"

#include "output/save_image.h"
#include "platform/text.h"

namespace ostrel::context {

output::SaveResult saveImageUnderWideName(const wchar_t *fileName, const imaging::DibImage &image,
                                          std::int32_t fileType) {
    if (fileName == nullptr) {
        return output::SaveResult::NameNotConverted;
    }
    char narrow[kWideNameBufferBytes];
    if (!platform::wideToNarrow(fileName, narrow, sizeof narrow)) {
        return output::SaveResult::NameNotConverted;
    }
    return output::saveImage(narrow, image, fileType);
}

}  // namespace ostrel::context
