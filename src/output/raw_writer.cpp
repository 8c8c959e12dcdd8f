// The raw pixel dump: one write of the whole buffer.
#include "output/raw_writer.h"

#include "output/output_file.h"

namespace ostrel::output {

SaveResult writeRaw(const char *fileName, const imaging::DibImage &image) {
    if (image.isEmpty()) {
        return SaveResult::NoImage;
    }
    OutputFile file;
    if (!file.open(fileName, FileSharing::Exclusive)) {
        return SaveResult::OpenFailed;
    }
    bool ok = file.write(image.pixels(), image.sizeBytes());
    ok = file.close() && ok;
    return ok ? SaveResult::Saved : SaveResult::WriteFailed;
}

}  // namespace ostrel::output
