// Which files a board on a network port may be sent: the download files and what lies directly
// beside them, however the board spells the name.

#include "download/ImagePermission.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include <QTemporaryDir>

namespace drel {
namespace {

namespace fs = std::filesystem;

// Runs in a temporary folder holding fw/a.bin, fw/b.bin, fw/sub/c.bin, other/x.bin and
// fw/escape, a link to other/x.bin; the working folder is the temporary folder.
class ImagePermissionTest : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        root_ = dir_.path().toStdString();
        fs::create_directories(root_ / "fw" / "sub");
        fs::create_directories(root_ / "other");
        for (const char* file : {"fw/a.bin", "fw/b.bin", "fw/sub/c.bin", "other/x.bin"}) {
            std::ofstream(root_ / file) << "image";
        }
        fs::create_symlink(root_ / "other" / "x.bin", root_ / "fw" / "escape");
        previous_ = fs::current_path();
        fs::current_path(root_);
    }
    void TearDown() override { fs::current_path(previous_); }

    std::string Path(const char* relative) const { return (root_ / relative).string(); }

    QTemporaryDir dir_;
    fs::path root_;
    fs::path previous_;
};

TEST_F(ImagePermissionTest, OnlyTheDownloadFilesAndTheirNeighboursAreAllowed) {
    const std::vector<std::string> allowed = {Path("fw/a.bin"), ""};
    const struct {
        std::string requested;
        bool allowed;
    } cases[] = {
        {Path("fw/a.bin"), true},
        {Path("fw/b.bin"), true},            // beside a download file
        {"fw/b.bin", true},                  // relative to the working folder
        {Path("fw/missing.bin"), true},      // beside; it will not open, and says so
        {Path("fw/sub/../b.bin"), true},     // ".." that stays in the folder
        {Path("fw/sub/c.bin"), false},       // below the folder, not in it
        {Path("other/x.bin"), false},        // another folder
        {Path("fw/../other/x.bin"), false},  // climbs out
        {Path("fw/escape"), false},          // a link in the folder to a file outside it
        {"/etc/hostname", false},
        {"", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsBesideAllowedImage(c.requested, allowed), c.allowed) << c.requested;
    }
}

TEST_F(ImagePermissionTest, DownloadNamesGivenRelativeOrEmptyAllowWhatTheySay) {
    EXPECT_TRUE(IsBesideAllowedImage(Path("fw/b.bin"), {"", "fw/a.bin"}));
    EXPECT_TRUE(IsBesideAllowedImage(Path("other/x.bin"), {"fw/a.bin", "other/y.bin"}));
    EXPECT_FALSE(IsBesideAllowedImage(Path("fw/a.bin"), {"", ""}));
    EXPECT_FALSE(IsBesideAllowedImage(Path("fw/a.bin"), {}));
}

}  // namespace
}  // namespace drel
