// How every v4data command reads its input files: whole, through the file layer (folders, pipes,
// devices and oversized files refused), with the reason printed as "<who>: <path>: <reason>".
#pragma once
#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

bool ReadToolInput(const char* who, const std::string& path, std::vector<uint8_t>& out);
bool ReadToolText(const char* who, const std::string& path, std::string& out);
// A JSON document; a syntax error is printed with its position.
bool ReadToolJson(const char* who, const std::string& path, nlohmann::json& out);
