// Any bytes as the text of a registry export, and as the Linux settings file: reading never
// crashes, what was read formats into text that reads back to the same keys and values, and a
// damaged settings file still takes a change and keeps it.
#include <unistd.h>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "platform/posix/settings_file.h"
#include "platform/registry_document.h"
#include "platform/registry_text.h"

namespace {

using ostrel::platform::RegistryNode;

const std::string &settingsPath() {
    static const std::string path =
        (std::filesystem::temp_directory_path() /
         ("ostrel-fuzz-settings-" + std::to_string(::getpid()) + ".reg"))
            .string();
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char *>(data), size);

    // The export text: parse, format, parse again; the second round changes nothing.
    RegistryNode top;
    (void)ostrel::platform::parseRegistryText(text, top);
    const std::string formatted = ostrel::platform::formatRegistryText(top);
    RegistryNode again;
    OSTREL_FUZZ_CHECK(ostrel::platform::parseRegistryText(formatted, again));
    OSTREL_FUZZ_CHECK(ostrel::platform::formatRegistryText(again) == formatted);

    // The same bytes as the settings file: readable, and a change lands in it.
    {
        std::ofstream(settingsPath(), std::ios::binary | std::ios::trunc)
            .write(text.data(), text.size());
    }
    ostrel::platform::SettingsFile file(settingsPath());
    RegistryNode read;
    bool damaged = false;
    (void)file.read(read, &damaged);
    const auto status = file.update([](RegistryNode &root, bool &changed) {
        RegistryNode *key = root.create("HKEY_CURRENT_USER\\Software\\Fuzz");
        if (key == nullptr) {
            return ostrel::platform::kRegistryBadPathname;
        }
        ostrel::platform::RegistryValue value;
        value.name = "Marker";
        value.type = ostrel::platform::RegistryType::Dword;
        value.data = {0x78, 0x56, 0x34, 0x12};
        changed = key->setValue(value) || changed;
        return ostrel::platform::kRegistryOk;
    });
    if (status == ostrel::platform::kRegistryOk) {
        RegistryNode after;
        OSTREL_FUZZ_CHECK(file.read(after) == ostrel::platform::kRegistryOk);
        RegistryNode *key = after.find("HKEY_CURRENT_USER\\Software\\Fuzz");
        OSTREL_FUZZ_CHECK(key != nullptr);
        const ostrel::platform::RegistryValue *marker = key->value("Marker");
        OSTREL_FUZZ_CHECK(marker != nullptr && marker->data.size() == 4 && marker->data[0] == 0x78);
    }
    std::error_code ignored;
    std::filesystem::remove(settingsPath() + ".damaged", ignored);
    return 0;
}
