// Where the settings file lies. QSettings fixes its folder at its first use in a process, so this
// runs in a process of its own.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "app/DownloadNames.h"
#include "app/DownloadNamesSettings.h"
#include "framework/CWinApp.h"
#include "support/PseudoTerminal.h"

namespace drel {
namespace {

TEST(SettingsLocation, TheNamesLieInOvexDrelConfUnderXdgConfigHome) {
    const test::TemporaryConfigHome home;
    ASSERT_FALSE(home.Path().empty());
    CWinApp app("drel");
    app.SetRegistryKey("Ovex");
    DownloadNames names;
    names.SetDownloadName(0, "/img/a.bin");
    names.SetDownloadName(1, "/img/b.bin");
    ASSERT_TRUE(SaveDownloadNames(app, names));

    const std::filesystem::path file = std::filesystem::path(home.Path()) / "Ovex" / "drel.conf";
    std::ifstream in(file);
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    EXPECT_EQ(text, "[Settings]\nFirstFileName=/img/a.bin\nSecondFileName=/img/b.bin\n");

    DownloadNames loaded;
    EXPECT_TRUE(LoadDownloadNames(app, loaded));
    EXPECT_EQ(loaded.GetDownloadName(1), "/img/b.bin");
}

}  // namespace
}  // namespace drel
