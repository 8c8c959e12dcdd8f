// An in-memory registry tree: what the settings file holds, and what registry text parses into.
#include "platform/registry_document.h"

#include "platform/registry_values.h"

namespace ostrel::platform {

bool splitRegistryPath(std::string_view path, std::vector<std::string_view> &parts) {
    parts.clear();
    if (!path.empty() && path.front() == '\\') {
        return false;
    }
    while (!path.empty()) {
        const std::size_t end = path.find('\\');
        const std::string_view part = path.substr(0, end);
        if (!part.empty()) {
            parts.push_back(part);
        }
        path.remove_prefix(end == std::string_view::npos ? path.size() : end + 1);
    }
    return true;
}

std::string joinRegistryPath(std::string_view parent, std::string_view sub) {
    std::string path(parent);
    if (!path.empty() && !sub.empty()) {
        path += '\\';
    }
    path += sub;
    return path;
}

RegistryNode *RegistryNode::subkey(std::string_view name) const {
    for (const auto &child : subkeys_) {
        if (registryNamesEqual(child->name_, name)) {
            return child.get();
        }
    }
    return nullptr;
}

RegistryNode &RegistryNode::addSubkey(std::string_view name, bool *created) {
    RegistryNode *existing = subkey(name);
    if (created != nullptr) {
        *created = existing == nullptr;
    }
    if (existing != nullptr) {
        return *existing;
    }
    subkeys_.push_back(std::make_unique<RegistryNode>(std::string(name)));
    return *subkeys_.back();
}

bool RegistryNode::removeSubkey(std::string_view name) {
    for (auto it = subkeys_.begin(); it != subkeys_.end(); ++it) {
        if (registryNamesEqual((*it)->name_, name)) {
            subkeys_.erase(it);
            return true;
        }
    }
    return false;
}

RegistryNode *RegistryNode::find(std::string_view path) {
    std::vector<std::string_view> parts;
    if (!splitRegistryPath(path, parts)) {
        return nullptr;
    }
    RegistryNode *node = this;
    for (std::string_view part : parts) {
        node = node->subkey(part);
        if (node == nullptr) {
            return nullptr;
        }
    }
    return node;
}

RegistryNode *RegistryNode::create(std::string_view path, bool *created) {
    std::vector<std::string_view> parts;
    if (!splitRegistryPath(path, parts)) {
        return nullptr;
    }
    bool last = false;
    RegistryNode *node = this;
    for (std::string_view part : parts) {
        node = &node->addSubkey(part, &last);
    }
    if (created != nullptr) {
        *created = last;
    }
    return node;
}

const RegistryValue *RegistryNode::value(std::string_view name) const {
    return findRegistryValue(values_, name);
}

bool RegistryNode::setValue(RegistryValue value) {
    for (RegistryValue &existing : values_) {
        if (registryNamesEqual(existing.name, value.name)) {
            if (existing.type == value.type && existing.data == value.data) {
                return false;
            }
            existing.type = value.type;
            existing.data = std::move(value.data);
            return true;
        }
    }
    values_.push_back(std::move(value));
    return true;
}

}  // namespace ostrel::platform
