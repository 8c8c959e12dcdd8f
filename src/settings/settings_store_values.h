// Reading and writing single settings words and size entries over the registry service: the
// small rules every part of the settings store shares.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/registry.h"
#include "settings/settings_store_records.h"

namespace ostrel::ui::detail {

// Reads a value of exactly 4 bytes, whatever its registry type, as a little-endian 32-bit word
// into field. A missing value or one of any other size leaves field as it was; returns whether
// the field was set.
bool readWord(const platform::RegistryKey &key, std::string_view name, std::int32_t &field);
bool readWord(const platform::RegistryKey &key, std::string_view name, std::uint32_t &field);

// Writes value as a REG_DWORD (negative values as their two's-complement pattern). A failed
// write is not reported: the other values of the group are still written.
void writeWord(platform::RegistryKey &key, std::string_view name, std::int32_t value);

// The name of size entry index: "Size_%02d".
std::string geometryKeyName(std::int32_t index);

// The seven values of a size entry ("TH", "TV", "EH", "EV", "EHS", "EVS", "Buf").
void readGeometry(const platform::RegistryKey &key, ImageGeometry &geometry);
void writeGeometry(platform::RegistryKey &key, const ImageGeometry &geometry);

// "Color", "SubSample", "WaitTime", "Clock". A colour code outside 0..5 or a negative wait time
// leaves its field as it was.
void readStreamSettings(const platform::RegistryKey &key, StreamSettings &settings);
void writeStreamSettings(platform::RegistryKey &key, const StreamSettings &settings);

}  // namespace ostrel::ui::detail
