// The pieces of the JSON reports: strings escaped, numbers in decimal.
#pragma once
#include <cstdint>
#include <string>

std::string JsonString(const std::string& utf8);
// A finite number with so many decimals; null otherwise.
std::string JsonNumber(double value, int decimals);
std::string JsonNumber(int64_t value);
