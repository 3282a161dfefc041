#include "emulator/json_lines.h"

#include <algorithm>
#include <nlohmann/json.hpp>

namespace {

// A small walker over text that nlohmann already accepted, so it never has to report syntax
// errors; it stops quietly at anything unexpected.
struct Walker {
    const std::string& text;
    size_t pos = 0;
    std::map<std::string, int>* lines;

    bool at_end() const { return pos >= text.size(); }

    void skip_space() {
        while (!at_end() &&
               (text[pos] == ' ' || text[pos] == '\t' || text[pos] == '\n' || text[pos] == '\r')) {
            ++pos;
        }
    }

    // The raw string token at pos, quotes included.
    std::string string_token() {
        size_t start = pos++;
        while (!at_end() && text[pos] != '"') {
            pos += text[pos] == '\\' ? 2 : 1;
        }
        ++pos;
        return text.substr(start, std::min(pos, text.size()) - start);
    }

    static std::string pointer_part(const std::string& key) {
        std::string out;
        for (char c : key) {
            if (c == '~') {
                out += "~0";
            } else if (c == '/') {
                out += "~1";
            } else {
                out += c;
            }
        }
        return out;
    }

    void value(const std::string& pointer, int depth) {
        skip_space();
        if (at_end() || depth > 256) {
            return;
        }
        (*lines)[pointer] = json_line_of_offset(text, pos);
        char c = text[pos];
        if (c == '{') {
            object(pointer, depth);
        } else if (c == '[') {
            array(pointer, depth);
        } else if (c == '"') {
            string_token();
        } else {
            while (!at_end() && std::string(",]} \t\r\n").find(text[pos]) == std::string::npos) {
                ++pos;
            }
        }
    }

    void object(const std::string& pointer, int depth) {
        ++pos;
        for (;;) {
            skip_space();
            if (at_end() || text[pos] == '}') {
                ++pos;
                return;
            }
            if (text[pos] == ',') {
                ++pos;
                continue;
            }
            if (text[pos] != '"') {
                return;
            }
            std::string key =
                nlohmann::json::parse(string_token(), nullptr, false).get_ref<const std::string&>();
            skip_space();
            if (at_end() || text[pos] != ':') {
                return;
            }
            ++pos;
            value(pointer + "/" + pointer_part(key), depth + 1);
        }
    }

    void array(const std::string& pointer, int depth) {
        ++pos;
        for (size_t index = 0;; ++index) {
            skip_space();
            if (at_end() || text[pos] == ']') {
                ++pos;
                return;
            }
            if (text[pos] == ',') {
                ++pos;
                skip_space();
            }
            value(pointer + "/" + std::to_string(index), depth + 1);
        }
    }
};

}  // namespace

int json_line_of_offset(const std::string& text, size_t offset) {
    offset = std::min(offset, text.size());
    return 1 + static_cast<int>(std::count(text.begin(), text.begin() + offset, '\n'));
}

std::map<std::string, int> json_value_lines(const std::string& text) {
    std::map<std::string, int> lines;
    if (!nlohmann::json::accept(text)) {
        return lines;
    }
    Walker walker{text, 0, &lines};
    walker.value("", 0);
    return lines;
}
