// Single settings words and size entries over the registry service.
#include "settings/settings_store_values.h"

#include <cstdio>

namespace ostrel::ui::detail {

using platform::RegistryKey;

namespace {

struct GeometryValue {
    std::string_view name;
    std::int32_t ImageGeometry::*field;
};

constexpr GeometryValue kGeometryValues[] = {
    {"TH", &ImageGeometry::totalWidth},   {"TV", &ImageGeometry::totalHeight},
    {"EH", &ImageGeometry::imageWidth},   {"EV", &ImageGeometry::imageHeight},
    {"EHS", &ImageGeometry::originX},     {"EVS", &ImageGeometry::originY},
    {"Buf", &ImageGeometry::bufferCount},
};

// The colour codes of the six output formats.
constexpr std::int32_t kLastColorCode = static_cast<std::int32_t>(imaging::ColorMode::Bgr64);

}  // namespace

bool readWord(const RegistryKey &key, std::string_view name, std::int32_t &field) {
    std::uint8_t bytes[4] = {};
    std::uint32_t size = sizeof bytes;
    if (key.query(name, nullptr, bytes, &size) != platform::kRegistryOk || size != sizeof bytes) {
        return false;
    }
    const std::uint32_t word =
        static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
        static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
    field = static_cast<std::int32_t>(word);
    return true;
}

bool readWord(const RegistryKey &key, std::string_view name, std::uint32_t &field) {
    std::int32_t value = 0;
    if (!readWord(key, name, value)) {
        return false;
    }
    field = static_cast<std::uint32_t>(value);
    return true;
}

void writeWord(RegistryKey &key, std::string_view name, std::int32_t value) {
    // A value that cannot be written keeps its old contents; the rest of the group still goes.
    (void)key.setDword(name, static_cast<std::uint32_t>(value));
}

std::string geometryKeyName(std::int32_t index) {
    char name[32];
    std::snprintf(name, sizeof name, "Size_%02d", static_cast<int>(index));
    return name;
}

void readGeometry(const RegistryKey &key, ImageGeometry &geometry) {
    for (const GeometryValue &value : kGeometryValues) {
        readWord(key, value.name, geometry.*value.field);
    }
}

void writeGeometry(RegistryKey &key, const ImageGeometry &geometry) {
    for (const GeometryValue &value : kGeometryValues) {
        writeWord(key, value.name, geometry.*value.field);
    }
}

void readStreamSettings(const RegistryKey &key, StreamSettings &settings) {
    // A colour code without an output format would leave the context with no output image.
    std::int32_t color = 0;
    if (readWord(key, "Color", color) && color >= 0 && color <= kLastColorCode) {
        settings.colorMode = static_cast<imaging::ColorMode>(color);
    }
    // A stored subsample mode is taken as it is: preparation checks it with the geometry.
    readWord(key, "SubSample", settings.subsampleMode);
    // A negative wait time (above 24 days as unsigned) would stall the capture loop; the wait time
    // setter refuses it too.
    std::int32_t waitTime = 0;
    if (readWord(key, "WaitTime", waitTime) && waitTime >= 0) {
        settings.waitTime = static_cast<std::uint32_t>(waitTime);
    }
    readWord(key, "Clock", settings.clock);
}

void writeStreamSettings(RegistryKey &key, const StreamSettings &settings) {
    writeWord(key, "Color", static_cast<std::int32_t>(settings.colorMode));
    writeWord(key, "SubSample", settings.subsampleMode);
    writeWord(key, "WaitTime", static_cast<std::int32_t>(settings.waitTime));
    writeWord(key, "Clock", static_cast<std::int32_t>(settings.clock));
}

}  // namespace ostrel::ui::detail
