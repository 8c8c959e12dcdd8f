// Decimal numbers of the settings dialogs' edit controls.
#include "ui/dialog_numbers.h"

namespace ostrel::ui {

namespace {

std::string_view trimBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    return text;
}

// The digits as a magnitude, or nullopt when there are none, something else, or more than
// limit.
std::optional<std::uint64_t> parseDigits(std::string_view digits, std::uint64_t limit) {
    if (digits.empty()) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
        if (value > limit) {
            return std::nullopt;
        }
    }
    return value;
}

}  // namespace

std::optional<std::int32_t> parseSignedNumber(std::string_view text) {
    text = trimBlanks(text);
    const bool negative = !text.empty() && text.front() == '-';
    if (negative) {
        text.remove_prefix(1);
    }
    const auto magnitude = parseDigits(text, negative ? 2147483648u : 2147483647u);
    if (!magnitude) {
        return std::nullopt;
    }
    const auto value = static_cast<std::int64_t>(*magnitude);
    return static_cast<std::int32_t>(negative ? -value : value);
}

std::optional<std::int32_t> parseUnsignedNumber(std::string_view text) {
    const auto magnitude = parseDigits(trimBlanks(text), 4294967295u);
    if (!magnitude) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(*magnitude));
}

std::int32_t signedNumberOrZero(std::string_view text) {
    return parseSignedNumber(text).value_or(0);
}

std::int32_t unsignedNumberOrZero(std::string_view text) {
    return parseUnsignedNumber(text).value_or(0);
}

std::string signedText(std::int32_t value) {
    return std::to_string(value);
}

std::string unsignedText(std::int32_t value) {
    return std::to_string(static_cast<std::uint32_t>(value));
}

}  // namespace ostrel::ui
