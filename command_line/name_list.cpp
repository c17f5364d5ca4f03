#include "command_line/name_list.h"

#include <cstddef>

bool SplitNames(std::string_view text, bool nulEnded, std::vector<std::string_view>& names) {
    const char end = nulEnded ? '\0' : '\n';
    if (!nulEnded && text.find('\0') != std::string_view::npos) return false;
    while (!text.empty()) {
        const std::size_t stop = text.find(end);
        std::string_view name = text.substr(0, stop);
        text.remove_prefix(stop == std::string_view::npos ? text.size() : stop + 1);
        if (!nulEnded && name.ends_with('\r')) name.remove_suffix(1);
        if (!name.empty()) names.push_back(name);
    }
    return true;
}

std::vector<std::string_view> PartOfNames(const std::vector<std::string_view>& names, int part,
                                          int parts) {
    std::vector<std::string_view> share;
    const auto step = static_cast<std::size_t>(parts);
    for (auto i = static_cast<std::size_t>(part - 1); i < names.size(); i += step) {
        share.push_back(names[i]);
    }
    return share;
}
