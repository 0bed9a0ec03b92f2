// Helpers for the tagged-text tests: a quiet options record, link id
// placeholders in expected strings and the detailed log of a step.
#pragma once

#include "config/bConfig.h"
#include "core/bObject.h"
#include "text/bText.h"

#include <gtest/gtest.h>

#include <string>

namespace paginor::testing {

// Tags on, formatting off, no head or tail texts, no division.
inline TBookConfig TextConfig() {
    TBookConfig config;
    config.TextHead.clear();
    config.TextTail.clear();
    config.TextPartHead.clear();
    config.TextPartTail.clear();
    config.TextPartLink.clear();
    config.TextPartSize = 0;
    config.TextPartCount = 0;
    config.TagsEn = false;
    config.TagsForced = true;
    config.FormatEn = false;
    return config;
}

// Replaces the placeholders U+0001 .. U+0009 with the link ids
// first, first + 1, ... so expected texts can be written as literals.
inline std::u16string WithIds(std::u16string pattern, int32_t first) {
    for (auto& c : pattern)
        if (c >= 1 && c <= 9) c = static_cast<char16_t>(first + c - 1);
    return pattern;
}

// Runs `body` with the log threshold at 7 and returns what it printed.
template <typename Body> std::string CaptureLog(Body body) {
    const int saved = LogThreshold();
    SetLogThreshold(7);
    ::testing::internal::CaptureStdout();
    body();
    std::string out = ::testing::internal::GetCapturedStdout();
    SetLogThreshold(saved);
    return out;
}

} // namespace paginor::testing
