// Helpers for the Word importer tests: the text a paragraph becomes, and a
// fixture that imports a document written into a private folder, with a
// picture folder beside it.
#pragma once

#include "config/bConfig.h"
#include "core/bObject.h"
#include "core/bVar.h"
#include "maker/bWord.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace paginor::testing {

inline const std::filesystem::path kCorpus =
    std::filesystem::path(PAGINOR_SOURCE_DIR) / "fuzz" / "corpus" / "pictures";

// A page's paragraph as the importer writes it: Word's paragraph mark, then
// the line break.
inline std::string P(const std::string& text) {
    return text + "\r\r\n";
}
inline std::string Heading(int number, const std::string& text) {
    return "<#header toc" + std::to_string(number) + ">" + text + "\r<#/header>\r\n\r\n";
}

class WordImport : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(Pictures);
        Config.ImageMode = 2;
    }
    void TearDown() override { SetLogThreshold(0); }

    // Writes the page (as bytes) and imports it.
    std::string Import(const std::string& bytes, const std::string& name = "page.html") {
        std::filesystem::create_directories((Dir / name).parent_path());
        WriteBytes(Dir / name, bytes);
        return ToUtf8(ImportWordDocument(Config, Config, FromPath(Dir / name), FromPath(Pictures)));
    }
    std::string ImportError(const std::string& bytes, const std::string& name) {
        try {
            Import(bytes, name);
        } catch (const TBookError& error) {
            return error.what();
        }
        return "(no error)";
    }
    std::string Picture(const std::string& name) const { return (Pictures / name).string(); }
    std::vector<std::string> PictureFiles() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(Pictures))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    void CopyPicture(const std::string& corpusName, const std::string& name) {
        std::filesystem::create_directories((Dir / name).parent_path());
        std::filesystem::copy_file(kCorpus / corpusName, Dir / name);
    }

    TTempDir Dir;
    std::filesystem::path Pictures = Dir / "work" / "temp2";
    TBookConfig Config;
};

} // namespace paginor::testing
