// Where a run keeps its work folders: beside a writable build or portable
// copy, otherwise in the user's data folder.
#include "core/bVar.h"
#include "maker/bMaker.h"

#include <gtest/gtest.h>

using namespace paginor;

namespace {

TEST(WorkFolders, ChosenByTheProgramsFolderAndTheEnvironment) {
    struct TCase {
        bool Installed, Writable;
        const char* XdgDataHome;
        const char* Home;
        const char16_t* Expected;
    };
    const TCase cases[] = {
        {false, true, "/data", "/home/ann", u"/opt/book/"},
        {true, true, "/data", "/home/ann", u"/data/paginor/"},
        {false, false, "/data/", "/home/ann", u"/data/paginor/"},
        {true, false, nullptr, "/home/ann", u"/home/ann/.local/share/paginor/"},
        {true, false, "", "/home/ann/", u"/home/ann/.local/share/paginor/"},
        {true, false, "data", "/home/ann", u"/home/ann/.local/share/paginor/"},
        {true, false, "/", "/home/ann", u"/paginor/"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(ToUtf8(c.Expected));
        EXPECT_EQ(ChooseWorkDir(u"/opt/book/", c.Installed, c.Writable, c.XdgDataHome, c.Home),
                  c.Expected);
    }
    // Nowhere to go: a clear error rather than a folder beside the program.
    for (const char* home : {static_cast<const char*>(nullptr), ""}) {
        try {
            ChooseWorkDir(u"/opt/book/", true, false, "data", home);
            ADD_FAILURE() << "no error";
        } catch (const TBookError& error) {
            EXPECT_EQ(std::string(error.what()),
                      "Can't find the user's data folder for the work folders of /opt/book/: "
                      "HOME is not set");
        }
    }
}

} // namespace
