// What became of a still image save. Only Saved means a complete file was written; a failed
// save may leave a partly written or empty file behind (nothing is deleted). Of the failures,
// only NameNotConverted is the caller's error to report; the others are the save's own.
#pragma once

namespace ostrel::output {

enum class SaveResult {
    Saved,
    UnknownFileType,    // the file type code names no format; nothing was opened
    NoImage,            // the image holds no pixels (no frame converted yet); nothing was opened
    UnsupportedFormat,  // the format cannot hold the image's bit count or size
    BadFileName,        // no file name, or an empty one
    NameNotConverted,   // a wide name that does not convert, or does not fit the name buffer
    OpenFailed,         // the file could be neither truncated nor created
    OutOfMemory,        // a temporary image or buffer could not be allocated
    WriteFailed,        // the file was opened but the system or the encoder failed to write it
};

}  // namespace ostrel::output
