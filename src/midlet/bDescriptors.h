// The three text files that describe a midlet: the manifest
// (META-INF/MANIFEST.MF), the JAD beside the JAR and readme.txt. All are
// UTF-8 without a byte-order mark, every line ending in CR LF.
#pragma once

#include "config/bConfig.h"

#include <cstdint>
#include <ctime>
#include <string>

namespace paginor {

// `name` is the midlet's name (UTF-8).
std::string ComposeManifest(const std::string& name, const TBookConfig& config);
std::string ComposeJad(const std::string& name, const TBookConfig& config, int64_t jarSize);
// Names the book, its source and the time of making, then a credit line.
std::string ComposeReadme(const TBookConfig& config, std::time_t time);

} // namespace paginor
