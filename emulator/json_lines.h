// The line on which each value of a JSON text starts, by JSON pointer ("/bridges/2/address"),
// so that a scenario's problems can be named by file and line.
#pragma once

#include <map>
#include <string>

// Indexes a text that is valid JSON (check it first); the root is "".
std::map<std::string, int> json_value_lines(const std::string& text);
// The 1-based line of a byte offset in the text.
int json_line_of_offset(const std::string& text, size_t offset);
