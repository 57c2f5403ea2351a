// The path and directory helpers: normalising, the system drive root, testing
// for entries and creating directory trees.

#include "config/paths.h"

#include "support/file_helpers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

namespace fs = std::filesystem;
using test_files::CurrentDirectory;
using test_files::ScratchDir;
using test_files::WriteBytes;

std::string Backslashed(std::string path)
{
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

// Every entry below a directory, as paths relative to it.
std::set<std::string> TreeOf(const fs::path& directory)
{
    std::set<std::string> entries;
    for (const auto& entry : fs::recursive_directory_iterator(directory))
        entries.insert(fs::relative(entry.path(), directory).generic_string());
    return entries;
}

// Where the tests make their directories: on Windows below the system drive,
// so that the drive-root form "C:/" is walked; natively below the test's own
// system root.
fs::path TestBase()
{
#ifdef _WIN32
    return "C:/pelshx-tests/paths";
#else
    const char* root = std::getenv("PELSHX_SYSTEM_ROOT");
    const fs::path parent = (root != nullptr && *root != '\0') ? fs::path(root) : fs::current_path();
    return parent / "paths-test.tmp";
#endif
}

class PathsTest : public ::testing::Test {
protected:
    static void TearDownTestSuite()
    {
#ifdef _WIN32
        // The tests' common parent goes too, unless something else lives there.
        std::error_code ignored;
        fs::remove(TestBase().parent_path(), ignored);
#endif
    }

    ScratchDir base{TestBase()};
};

// --- NormaliseDirPath ----------------------------------------------------------

TEST(NormaliseDirPath, EmptyPathStaysEmpty)
{
    std::string path;
    EXPECT_EQ("", NormaliseDirPath(path));
    EXPECT_EQ("", path);
}

TEST(NormaliseDirPath, BackslashesBecomeSlashesAndOneSlashIsAppended)
{
    struct Case {
        const char* in;
        const char* out;
    };
    const Case cases[] = {
        {"a\\b", "a/b/"},
        {"C:\\data\\trace", "C:/data/trace/"},
        {"a", "a/"},
        {"a\\", "a/"},
        {"a\\b/", "a/b/"},
        {"\\", "/"},
        {"C:", "C:/"},
    };
    for (const Case& c : cases) {
        std::string path = c.in;
        const std::string returned = NormaliseDirPath(path);
        EXPECT_EQ(c.out, returned) << "returned for \"" << c.in << "\"";
        EXPECT_EQ(c.out, path) << "changed in place for \"" << c.in << "\"";
    }
}

TEST(NormaliseDirPath, SecondByteOfATwoByteCharacterIsNoBackslash)
{
    if (!test_files::ChineseCodePage()) GTEST_SKIP() << "needs the Chinese code page (LC_ALL=zh_CN.UTF-8 under Wine)";
    std::string path = std::string("C:\\") + test_files::kGbkCheng + "\\" + test_files::kGbkHui;
    EXPECT_EQ(std::string("C:/") + test_files::kGbkCheng + "/" + test_files::kGbkHui + "/", NormaliseDirPath(path));
}

TEST(NormaliseDirPath, PathEndingInSlashIsUnchanged)
{
    for (const char* in : {"a/", "d:/trace/", "/", "a//"}) {
        std::string path = in;
        EXPECT_EQ(in, NormaliseDirPath(path));
        EXPECT_EQ(in, path);
    }
}

TEST(NormaliseDirPath, ReturnsACopy)
{
    std::string path = "a\\b";
    std::string copy = NormaliseDirPath(path);
    copy += "changed";
    EXPECT_EQ("a/b/", path);
}

// --- GetSystemDriveRoot ---------------------------------------------------------

#ifdef _WIN32

TEST(GetSystemDriveRoot, IsTheDriveOfTheSystemDirectory)
{
    char systemDirectory[MAX_PATH] = {};
    ASSERT_NE(0u, GetSystemDirectoryA(systemDirectory, sizeof systemDirectory));

    std::string root = "unchanged";
    EXPECT_EQ(0, GetSystemDriveRoot(root));
    ASSERT_EQ(3u, root.size()) << "root \"" << root << "\"";
    EXPECT_TRUE(std::isalpha(static_cast<unsigned char>(root[0]))) << "root \"" << root << "\"";
    EXPECT_EQ(':', root[1]) << "root \"" << root << "\"";
    EXPECT_EQ('/', root[2]) << "root \"" << root << "\"";
    EXPECT_EQ(std::string(systemDirectory, 2), root.substr(0, 2)) << "system directory " << systemDirectory;
}

#else

// Sets PELSHX_SYSTEM_ROOT for one scope and puts the old value back after it.
class SystemRootVariable {
public:
    explicit SystemRootVariable(const char* value)
    {
        const char* old = std::getenv(kName);
        hadValue_ = old != nullptr;
        if (hadValue_) old_ = old;
        if (value != nullptr)
            setenv(kName, value, 1);
        else
            unsetenv(kName);
    }
    ~SystemRootVariable()
    {
        if (hadValue_)
            setenv(kName, old_.c_str(), 1);
        else
            unsetenv(kName);
    }
    SystemRootVariable(const SystemRootVariable&) = delete;
    SystemRootVariable& operator=(const SystemRootVariable&) = delete;

private:
    static constexpr const char* kName = "PELSHX_SYSTEM_ROOT";
    bool hadValue_ = false;
    std::string old_;
};

TEST(GetSystemDriveRoot, IsTheNormalisedSystemRootVariable)
{
    const char* variable = std::getenv("PELSHX_SYSTEM_ROOT");
    ASSERT_NE(nullptr, variable) << "the test runner sets PELSHX_SYSTEM_ROOT";
    std::string expected = variable;
    if (expected.back() != '/') expected += '/';

    std::string root = "unchanged";
    EXPECT_EQ(0, GetSystemDriveRoot(root));
    EXPECT_EQ(expected, root);
}

TEST(GetSystemDriveRoot, NormalisesBackslashesOfTheVariable)
{
    SystemRootVariable variable("x\\y");
    std::string root;
    EXPECT_EQ(0, GetSystemDriveRoot(root));
    EXPECT_EQ("x/y/", root);
}

TEST(GetSystemDriveRoot, WithoutVariableIsTheFileSystemRoot)
{
    {
        SystemRootVariable variable(nullptr);
        std::string root;
        EXPECT_EQ(0, GetSystemDriveRoot(root));
        EXPECT_EQ("/", root) << "variable unset";
    }
    {
        SystemRootVariable variable("");
        std::string root;
        EXPECT_EQ(0, GetSystemDriveRoot(root));
        EXPECT_EQ("/", root) << "variable empty";
    }
}

#endif

// --- DirectoryExists -----------------------------------------------------------

TEST_F(PathsTest, EmptyPathDoesNotExist)
{
    EXPECT_FALSE(DirectoryExists(""));
}

TEST_F(PathsTest, ExistingDirectoryInAnyNotation)
{
    fs::create_directories(base.Path() / "dir" / "inner");
    const std::string dir = base.Path().generic_string() + "/dir";
    EXPECT_TRUE(DirectoryExists(dir)) << dir;
    EXPECT_TRUE(DirectoryExists(Backslashed(dir))) << Backslashed(dir);
    EXPECT_TRUE(DirectoryExists(dir + "/")) << dir + "/";
    EXPECT_TRUE(DirectoryExists(Backslashed(dir) + "\\")) << Backslashed(dir) + "\\";
}

TEST_F(PathsTest, EmptyDirectoryWithTrailingSlashExists)
{
    // The search of "dir/*" finds the directory's own entries.
    fs::create_directories(base.Path() / "empty");
    EXPECT_TRUE(DirectoryExists(base.File("empty/")));
}

TEST_F(PathsTest, MissingEntryDoesNotExist)
{
    EXPECT_FALSE(DirectoryExists(base.File("missing")));
    EXPECT_FALSE(DirectoryExists(base.File("missing/")));
    EXPECT_FALSE(DirectoryExists(Backslashed(base.File("missing"))));
    EXPECT_FALSE(DirectoryExists(base.File("missing/deeper")));
}

TEST_F(PathsTest, FileCountsAsEntryButNotAsDirectoryToLookInto)
{
    WriteBytes(base.File("file"), "x");
    EXPECT_TRUE(DirectoryExists(base.File("file"))) << "without trailing slash";
    EXPECT_FALSE(DirectoryExists(base.File("file/"))) << "with trailing slash";
}

TEST_F(PathsTest, DriveRootExists)
{
#ifdef _WIN32
    for (const char* root : {"C:", "C:/", "C:\\"}) EXPECT_TRUE(DirectoryExists(root)) << root;
#else
    EXPECT_TRUE(DirectoryExists("/"));
#endif
}

// --- CreateDirectoryTree --------------------------------------------------------

TEST_F(PathsTest, ExistingTreeIsLeftAsItIs)
{
    fs::create_directories(base.Path() / "a" / "b");
    const std::set<std::string> before = TreeOf(base.Path());
    const std::string tree = base.File("a/b");
    for (const std::string& path : {tree, tree + "/", Backslashed(tree), Backslashed(tree) + "\\"}) {
        EXPECT_EQ(0, CreateDirectoryTree(path)) << path;
        EXPECT_EQ(before, TreeOf(base.Path())) << "entries after CreateDirectoryTree(" << path << ")";
    }
}

TEST_F(PathsTest, CreatesEveryMissingLevel)
{
    EXPECT_EQ(0, CreateDirectoryTree(base.File("a/b/c/")));
    const std::set<std::string> expected = {"a", "a/b", "a/b/c"};
    EXPECT_EQ(expected, TreeOf(base.Path()));
    EXPECT_TRUE(fs::is_directory(base.Path() / "a" / "b" / "c"));
}

TEST_F(PathsTest, CreatesTreeWrittenWithBackslashesAndNoTrailingSlash)
{
    EXPECT_EQ(0, CreateDirectoryTree(Backslashed(base.File("x/y/z"))));
    EXPECT_TRUE(fs::is_directory(base.Path() / "x" / "y" / "z"));
}

TEST_F(PathsTest, CreatesOnlyTheMissingPartOfATree)
{
    fs::create_directories(base.Path() / "a");
    WriteBytes(base.File("a/keep"), "kept");
    std::vector<std::string> made;
    EXPECT_EQ(0, CreateDirectoryTree(base.File("a/b/c/"), &made));
    const std::set<std::string> expected = {"a", "a/keep", "a/b", "a/b/c"};
    EXPECT_EQ(expected, TreeOf(base.Path()));
    EXPECT_EQ("kept", test_files::ReadBytes(base.File("a/keep")));
    EXPECT_EQ((std::vector<std::string>{base.File("a/b"), base.File("a/b/c")}), made);
}

TEST_F(PathsTest, EmptyPathCreatesNothing)
{
    CurrentDirectory inBase(base.Path());
    EXPECT_EQ(0, CreateDirectoryTree(""));
    EXPECT_TRUE(TreeOf(base.Path()).empty());
}

TEST_F(PathsTest, FileInPlaceOfADirectoryFails)
{
    WriteBytes(base.File("a"), "file");
    EXPECT_EQ(-1, CreateDirectoryTree(base.File("a/b/")));
    EXPECT_EQ(-1, CreateDirectoryTree(base.File("a/b/c/")));
    EXPECT_TRUE(fs::is_regular_file(base.Path() / "a"));
    const std::set<std::string> expected = {"a"};
    EXPECT_EQ(expected, TreeOf(base.Path()));
}

TEST_F(PathsTest, LevelsMadeBeforeAFailureStay)
{
    // A directory name far beyond what any file system takes makes the last
    // level fail after the first one was made.
    const std::string tooLong(300, 'n');
    std::vector<std::string> made;
    EXPECT_EQ(-1, CreateDirectoryTree(base.File("made/" + tooLong + "/"), &made));
    const std::set<std::string> expected = {"made"};
    EXPECT_EQ(expected, TreeOf(base.Path()));
    EXPECT_EQ(std::vector<std::string>{base.File("made")}, made);
}

TEST_F(PathsTest, RelativePathIsWalkedFromItsFourthCharacter)
{
    CurrentDirectory inBase(base.Path());

    // The slash at position 2 is passed over as if it followed a drive
    // letter, so "ab" is never made.
    EXPECT_EQ(-1, CreateDirectoryTree("ab/cd/"));
    EXPECT_FALSE(fs::exists(base.Path() / "ab"));

    fs::create_directory(base.Path() / "ab");
    EXPECT_EQ(0, CreateDirectoryTree("ab/cd/"));
    EXPECT_TRUE(fs::is_directory(base.Path() / "ab" / "cd"));

    // A slash at position 3 is walked.
    EXPECT_EQ(0, CreateDirectoryTree("abc/de/"));
    EXPECT_TRUE(fs::is_directory(base.Path() / "abc" / "de"));
}

}  // namespace
