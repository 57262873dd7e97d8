// The batch's private temporary folder and outputs that appear whole or not
// at all (both targets: natively and under Wine).
#include "core/os/private_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>
#include <string>

#if !defined(_WIN32)
#include <sys/stat.h>
#endif

#include "core/os/path_edit.h"
#include "tests/batch/batch_test_support.h"
#include "tests/support/temp_folder.h"

namespace qdx {
namespace {

using Names = std::vector<std::string>;
using test::FolderEntries;

TEST(PrivateFolder, IsMadeInsideTheTemporaryFolderForThisUserAndGoesWithItsFiles) {
    test::TempFolder system;
    test::ScopedTemporaryFolder scoped(system.Path());
    std::string path;
    {
        os::PrivateFolder folder;
        ASSERT_TRUE(folder.Create());
        path = test::Narrow(WideString(folder.Path()));
        EXPECT_EQ(FolderEntries(system.Path()).size(), 1u);
        EXPECT_EQ(std::filesystem::path(path).parent_path(), std::filesystem::path(test::Narrow(system.Path())));
#if !defined(_WIN32)
        struct stat info {};
        ASSERT_EQ(::stat(path.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0700u);
#endif
        WideString folderPath(folder.Path()), file;
        ASSERT_TRUE(os::CreateTemporaryFile(folderPath, file));
        ASSERT_TRUE(test::WriteBytes(file, std::string("partial output")));
        // Emptied in place, never removed and made again under the same name.
        EXPECT_TRUE(os::EmptyFile(file.Text()));
        EXPECT_EQ(test::ReadBytes(file), "");
        WideString absent;
        ASSERT_TRUE(SetFolderPlusName(absent, folder.Path(), u"absent"));
        EXPECT_FALSE(os::EmptyFile(absent.Text()));  // creates nothing
        EXPECT_EQ(FolderEntries(folderPath).size(), 1u);
    }
    EXPECT_TRUE(FolderEntries(system.Path()).empty());
}

// What the end of a session (and, on Windows, closing the console) calls:
// every private folder and staged output goes at once, owners or not.
TEST(PrivateFolder, GoesAtOnceWhenTheSessionEnds) {
    test::TempFolder system, outputs;
    test::ScopedTemporaryFolder scoped(system.Path());
    os::PrivateFolder folder;
    ASSERT_TRUE(folder.Create());
    WideString folderPath(folder.Path()), file;
    ASSERT_TRUE(os::CreateTemporaryFile(folderPath, file));
    ASSERT_TRUE(test::WriteBytes(file, std::string("partial output")));
    os::StagedFile staged;
    ASSERT_TRUE(staged.Create(outputs.Path().Text()));
    ASSERT_TRUE(os::WriteAll(staged.Handle(), "half", 4));
    os::RemovePrivateFilesNow();
    EXPECT_TRUE(FolderEntries(system.Path()).empty());
    // The output being written is gone once the ending process lets go of it.
    staged.Handle().Close();
    EXPECT_TRUE(FolderEntries(outputs.Path()).empty());
}

TEST(StagedFile, IsNamedOnlyWhenWholeAndNeverOverAnotherFile) {
    test::TempFolder folder;
    const WideString taken = folder.File(u"taken.jpg"), free = folder.File(u"free.jpg");
    ASSERT_TRUE(test::WriteBytes(taken, std::string("someone else's")));
    os::StagedFile staged;
    ASSERT_TRUE(staged.Create(folder.Path().Text()));
    ASSERT_TRUE(os::WriteAll(staged.Handle(), "whole output", 12));
    // Nothing a user would take for an output while it is written.
    for (const std::string& name : FolderEntries(folder.Path()))
        EXPECT_TRUE(name == "taken.jpg" || name[0] == '.') << name;
    EXPECT_EQ(staged.Name(taken.Text()), os::NameResult::Taken);
    EXPECT_EQ(test::ReadBytes(taken), "someone else's");
    EXPECT_EQ(staged.Name(free.Text()), os::NameResult::Given);
    EXPECT_EQ(test::ReadBytes(free), "whole output");
    EXPECT_EQ(FolderEntries(folder.Path()), (Names{"free.jpg", "taken.jpg"}));

    os::StagedFile dropped;
    ASSERT_TRUE(dropped.Create(folder.Path().Text()));
    ASSERT_TRUE(os::WriteAll(dropped.Handle(), "never named", 11));
    dropped.Discard();
    EXPECT_EQ(FolderEntries(folder.Path()).size(), 2u);
}

}  // namespace
}  // namespace qdx
