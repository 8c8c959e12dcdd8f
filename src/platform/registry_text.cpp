// The text form of a registry export: parsing (forgiving of damage) and formatting (as regedit).
#include "platform/registry_text.h"

#include <cstdint>
#include <cstdio>
#include <optional>

#include "platform/registry_values.h"
#include "platform/utf8.h"

namespace ostrel::platform {

namespace {

constexpr std::string_view kHeader4 = "REGEDIT4";
constexpr std::string_view kHeader5 = "Windows Registry Editor Version 5.00";
constexpr std::size_t kHexLineWidth = 77;

bool isSpace(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && isSpace(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && (isSpace(s.back()) || s.back() == '\r')) {
        s.remove_suffix(1);
    }
    return s;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// Parses 1..maxDigits hex digits making up the whole of s.
std::optional<std::uint32_t> parseHex(std::string_view s, std::size_t maxDigits) {
    if (s.empty() || s.size() > maxDigits) {
        return std::nullopt;
    }
    std::uint32_t v = 0;
    for (char c : s) {
        const int d = hexDigit(c);
        if (d < 0) {
            return std::nullopt;
        }
        v = v * 16 + static_cast<std::uint32_t>(d);
    }
    return v;
}

bool startsWithNoCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && registryNamesEqual(s.substr(0, prefix.size()), prefix);
}

// regedit's own exports are UTF-16LE with a byte-order mark; the rest of the parser reads
// UTF-8. Unpaired surrogates and an odd last byte are damage (U+FFFD, and the byte dropped).
std::string utf16LeToUtf8(std::string_view bytes, bool &damaged) {
    std::string out;
    out.reserve(bytes.size() / 2);
    const std::size_t units = bytes.size() / 2;
    auto unit = [&](std::size_t i) {
        return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[2 * i])) |
               (static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[2 * i + 1])) << 8);
    };
    for (std::size_t i = 0; i < units; ++i) {
        std::uint32_t cp = unit(i);
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < units && unit(i + 1) >= 0xDC00 &&
            unit(i + 1) <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (unit(i + 1) - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
            damaged = true;
        }
        char encoded[4];
        out.append(encoded, encodeUtf8(cp, encoded));
    }
    if (bytes.size() % 2 != 0) {
        damaged = true;
    }
    return out;
}

// Reads a quoted string with regedit's two escapes (\\ and \") from the start of s. On success
// s is left after the closing quote.
std::optional<std::string> parseQuoted(std::string_view &s) {
    if (s.empty() || s.front() != '"') {
        return std::nullopt;
    }
    std::string out;
    for (std::size_t i = 1; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '"') {
            s.remove_prefix(i + 1);
            return out;
        }
        if (c == '\\' && i + 1 < s.size() && (s[i + 1] == '\\' || s[i + 1] == '"')) {
            out += s[++i];
        } else {
            out += c;
        }
    }
    return std::nullopt;
}

// One line of a hex list: bytes of one or two digits separated by commas, with a trailing
// backslash when the list goes on in the next line.
bool parseHexLine(std::string_view s, std::vector<std::uint8_t> &out, bool &continues) {
    s = trim(s);
    continues = false;
    if (!s.empty() && s.back() == '\\') {
        continues = true;
        s = trim(s.substr(0, s.size() - 1));
    }
    // The comma before the backslash is optional, as regedit's import takes it.
    if (!s.empty() && s.back() == ',') {
        s.remove_suffix(1);
    }
    while (!s.empty()) {
        const std::size_t comma = s.find(',');
        const std::string_view token = trim(s.substr(0, comma));
        const auto byte = parseHex(token, 2);
        if (!byte) {
            return false;
        }
        out.push_back(static_cast<std::uint8_t>(*byte));
        if (comma == std::string_view::npos) {
            break;
        }
        s.remove_prefix(comma + 1);
        if (trim(s).empty()) {
            return false;  // ",," or a comma with nothing after it inside the line
        }
    }
    return true;
}

class Parser {
public:
    explicit Parser(RegistryNode &top) : top_(top) {}

    bool run(std::string_view text) {
        std::size_t pos = 0;
        while (pos < text.size()) {
            const std::size_t end = text.find('\n', pos);
            const bool terminated = end != std::string_view::npos;
            const std::string_view line =
                text.substr(pos, terminated ? end - pos : std::string_view::npos);
            pos = terminated ? end + 1 : text.size();
            handleLine(line, terminated);
        }
        if (pendingNode_ != nullptr) {
            // The text ended inside a continued hex list: the value is incomplete.
            pendingNode_ = nullptr;
            damaged_ = true;
        }
        return !damaged_;
    }

private:
    void handleLine(std::string_view raw, bool terminated) {
        if (pendingNode_ != nullptr) {
            bool continues = false;
            std::vector<std::uint8_t> bytes;
            if (parseHexLine(raw, bytes, continues)) {
                auto &data = pendingValue_.data;
                data.insert(data.end(), bytes.begin(), bytes.end());
                if (!continues) {
                    finishPending(terminated);
                }
                return;
            }
            // Not a continuation after all: the list was cut short. Read the line afresh.
            pendingNode_ = nullptr;
            damaged_ = true;
        }
        const std::string_view line = trim(raw);
        if (line.empty() || line.front() == ';' || line == kHeader4 || line == kHeader5) {
            return;
        }
        if (line.front() == '[') {
            handleSection(line);
            return;
        }
        if (line.front() == '"' || line.front() == '@') {
            handleValue(line, terminated);
            return;
        }
        damaged_ = true;
    }

    void handleSection(std::string_view line) {
        section_ = nullptr;
        deleting_ = false;
        if (line.size() < 2 || line.back() != ']') {
            damaged_ = true;
            return;
        }
        const std::string_view path = line.substr(1, line.size() - 2);
        if (!path.empty() && path.front() == '-') {
            // A deletion entry of an import file: nothing to keep, values under it ignored.
            deleting_ = true;
            return;
        }
        section_ = top_.create(path);
        if (section_ == nullptr) {
            damaged_ = true;
        }
    }

    void handleValue(std::string_view line, bool terminated) {
        if (section_ == nullptr) {
            if (!deleting_) {
                damaged_ = true;
            }
            return;
        }
        RegistryValue value;
        std::string_view rest = line;
        if (rest.front() == '@') {
            rest.remove_prefix(1);
        } else {
            auto name = parseQuoted(rest);
            if (!name || !isStorableRegistryName(*name)) {
                damaged_ = true;
                return;
            }
            value.name = std::move(*name);
        }
        rest = trim(rest);
        if (rest.empty() || rest.front() != '=') {
            damaged_ = true;
            return;
        }
        rest = trim(rest.substr(1));
        if (rest == "-") {
            return;  // deletion of a value in an import file
        }
        if (!rest.empty() && rest.front() == '"') {
            auto text = parseQuoted(rest);
            if (!text || !trim(rest).empty()) {
                damaged_ = true;
                return;
            }
            value.type = RegistryType::String;
            value.data.assign(text->begin(), text->end());
            value.data.push_back(0);
            section_->setValue(std::move(value));
            return;
        }
        if (startsWithNoCase(rest, "dword:")) {
            const std::string_view digits = rest.substr(6);
            const auto v = parseHex(digits, 8);
            if (!v || (!terminated && digits.size() != 8)) {
                damaged_ = true;
                return;
            }
            value.type = RegistryType::Dword;
            for (int i = 0; i < 4; ++i) {
                value.data.push_back(static_cast<std::uint8_t>(*v >> (8 * i)));
            }
            section_->setValue(std::move(value));
            return;
        }
        if (!startsWithNoCase(rest, "hex")) {
            damaged_ = true;
            return;
        }
        rest.remove_prefix(3);
        value.type = RegistryType::Binary;
        if (!rest.empty() && rest.front() == '(') {
            const std::size_t close = rest.find(')');
            const auto type = close == std::string_view::npos
                                  ? std::nullopt
                                  : parseHex(rest.substr(1, close - 1), 8);
            if (!type) {
                damaged_ = true;
                return;
            }
            value.type = static_cast<RegistryType>(*type);
            rest.remove_prefix(close + 1);
        }
        if (rest.empty() || rest.front() != ':') {
            damaged_ = true;
            return;
        }
        bool continues = false;
        if (!parseHexLine(rest.substr(1), value.data, continues)) {
            damaged_ = true;
            return;
        }
        pendingNode_ = section_;
        pendingValue_ = std::move(value);
        if (!continues) {
            finishPending(terminated);
        }
    }

    void finishPending(bool terminated) {
        // A hex list on an unterminated last line may have lost bytes: it is not kept.
        if (terminated) {
            pendingNode_->setValue(std::move(pendingValue_));
        } else {
            damaged_ = true;
        }
        pendingNode_ = nullptr;
    }

    RegistryNode &top_;
    RegistryNode *section_ = nullptr;
    bool deleting_ = false;
    bool damaged_ = false;
    // A hex list that goes on in the next line, and the key it belongs to (null: none).
    RegistryNode *pendingNode_ = nullptr;
    RegistryValue pendingValue_;
};

void appendQuoted(std::string &out, std::string_view text) {
    out += '"';
    for (char c : text) {
        if (c == '\\' || c == '"') {
            out += '\\';
        }
        out += c;
    }
    out += '"';
}

// A string value is written as "text" only when that gives back exactly the same bytes: one
// terminating 0 at the end, no other 0 and nothing that would break the line.
bool writableAsQuoted(const RegistryValue &value) {
    const auto &d = value.data;
    if (value.type != RegistryType::String || d.empty() || d.back() != 0) {
        return false;
    }
    for (std::size_t i = 0; i + 1 < d.size(); ++i) {
        if (d[i] < 0x20 || d[i] == 0x7F) {
            return false;
        }
    }
    return true;
}

void appendValue(std::string &out, const RegistryValue &value) {
    const std::size_t lineStart = out.size();
    if (value.name.empty()) {
        out += '@';
    } else {
        appendQuoted(out, value.name);
    }
    out += '=';
    char buf[32];
    if (writableAsQuoted(value)) {
        appendQuoted(out, std::string_view(reinterpret_cast<const char *>(value.data.data()),
                                           value.data.size() - 1));
    } else if (value.type == RegistryType::Dword && value.data.size() == 4) {
        const std::uint32_t v = value.data[0] | (value.data[1] << 8) | (value.data[2] << 16) |
                                (static_cast<std::uint32_t>(value.data[3]) << 24);
        std::snprintf(buf, sizeof buf, "dword:%08x", static_cast<unsigned>(v));
        out += buf;
    } else {
        if (value.type == RegistryType::Binary) {
            out += "hex:";
        } else {
            std::snprintf(buf, sizeof buf, "hex(%x):", static_cast<unsigned>(value.type));
            out += buf;
        }
        std::size_t column = out.size() - lineStart;
        for (std::size_t i = 0; i < value.data.size(); ++i) {
            std::snprintf(buf, sizeof buf, "%02x", static_cast<unsigned>(value.data[i]));
            out += buf;
            column += 2;
            if (i + 1 < value.data.size()) {
                out += ',';
                ++column;
                if (column >= kHexLineWidth) {
                    out += "\\\r\n  ";
                    column = 2;
                }
            }
        }
    }
    out += "\r\n";
}

void appendKey(std::string &out, const RegistryNode &node, const std::string &path, bool isRoot) {
    if (!isRoot || !node.values().empty()) {
        out += '[';
        out += path;
        out += "]\r\n";
        for (const RegistryValue &value : node.values()) {
            appendValue(out, value);
        }
        out += "\r\n";
    }
    for (const auto &child : node.subkeys()) {
        appendKey(out, *child, path + '\\' + child->name(), false);
    }
}

}  // namespace

bool parseRegistryText(std::string_view text, RegistryNode &top) {
    bool damaged = false;
    std::string decoded;
    if (text.size() >= 2 && static_cast<unsigned char>(text[0]) == 0xFF &&
        static_cast<unsigned char>(text[1]) == 0xFE) {
        decoded = utf16LeToUtf8(text.substr(2), damaged);
        text = decoded;
    } else if (text.size() >= 3 && text.substr(0, 3) == "\xEF\xBB\xBF") {
        text.remove_prefix(3);
    }
    Parser parser(top);
    return parser.run(text) && !damaged;
}

std::string formatRegistryText(const RegistryNode &top) {
    std::string out(kHeader4);
    out += "\r\n\r\n";
    for (const auto &root : top.subkeys()) {
        appendKey(out, *root, root->name(), true);
    }
    return out;
}

}  // namespace ostrel::platform
