// Numbers as the settings dialogs show them in edit controls and read them back: decimal,
// signed or unsigned, as the standard dialog number functions do.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ostrel::ui {

// A signed decimal number with an optional leading '-' and optional surrounding blanks;
// nullopt for anything else or a number beyond 32 bits.
[[nodiscard]] std::optional<std::int32_t> parseSignedNumber(std::string_view text);
// An unsigned decimal number up to 4294967295, returned as its 32-bit pattern (so a stored
// negative value shown unsigned reads back unchanged); nullopt for anything else.
[[nodiscard]] std::optional<std::int32_t> parseUnsignedNumber(std::string_view text);

// The number a dialog takes from an edit: the parsed value, 0 when the text is not a number.
std::int32_t signedNumberOrZero(std::string_view text);
std::int32_t unsignedNumberOrZero(std::string_view text);

std::string signedText(std::int32_t value);
std::string unsignedText(std::int32_t value);

}  // namespace ostrel::ui
