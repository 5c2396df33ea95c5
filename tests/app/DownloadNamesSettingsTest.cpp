// The download file names in the settings file: what a start loads from the file as it stands on
// disk, what a close request writes, and files that are malformed, unreadable or very long.

#include "app/DownloadNamesSettings.h"

#include <gtest/gtest.h>

#include <QSettings>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <ostream>
#include <string>

#include "app/DownloadNames.h"
#include "framework/CWinApp.h"
#include "support/PseudoTerminal.h"

namespace drel {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

// Each test gets a settings folder of its own inside a temporary XDG_CONFIG_HOME, and an
// application object whose settings are drel's (Ovex/drel.conf). QSettings fixes its folder at
// its first use in a process and keeps what it read of a file, so a test points it at the folder
// explicitly, and NextStart moves on to a fresh folder holding a copy of the file: what a later
// start of the program would read from disk.
class SettingsFile : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(home_.Path().empty());
        app.SetRegistryKey("Ovex");
        NextStart();
    }

    fs::path File() const { return folder_ / "Ovex" / "drel.conf"; }

    void NextStart() {
        const fs::path next = fs::path(home_.Path()) / ("start" + std::to_string(++starts_));
        fs::create_directories(next / "Ovex");
        if (!folder_.empty() && fs::exists(File())) {
            fs::copy(File(), next / "Ovex" / "drel.conf", fs::copy_options::recursive);
        }
        folder_ = next;
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           QString::fromStdString(folder_.string()));
    }

    void WriteFile(const std::string& bytes) const {
        std::ofstream(File(), std::ios::binary) << bytes;
    }

    std::string ReadFile() const {
        std::ifstream in(File(), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    // Saves `first` and `second`, then loads them at the next start into fresh names.
    void SaveAndLoadAtNextStart(const std::string& first, const std::string& second,
                                DownloadNames& loaded) {
        DownloadNames names;
        names.SetDownloadName(0, first);
        names.SetDownloadName(1, second);
        ASSERT_TRUE(SaveDownloadNames(app, names));
        NextStart();
        EXPECT_TRUE(LoadDownloadNames(app, loaded));
    }

    CWinApp app{"drel"};

  private:
    test::TemporaryConfigHome home_;
    fs::path folder_;
    int starts_ = 0;
};

// ---- Loading ------------------------------------------------------------------------------

enum Verdict { kRead, kFault, kEither };

struct LoadCase {
    const char* name;
    std::optional<std::string> file;  // nothing: no settings file at all
    std::string first;
    std::string second;
    Verdict verdict;
};

void PrintTo(const LoadCase& c, std::ostream* os) {
    *os << c.name;
}

class SettingsLoad : public SettingsFile, public testing::WithParamInterface<LoadCase> {};

TEST_P(SettingsLoad, SetsTheNamesTheFileHoldsAsText) {
    const LoadCase& c = GetParam();
    if (c.file) {
        WriteFile(*c.file);
    }
    DownloadNames names;
    const bool read = LoadDownloadNames(app, names);
    EXPECT_EQ(names.GetDownloadName(0), c.first);
    EXPECT_EQ(names.GetDownloadName(1), c.second);
    if (c.verdict != kEither) {
        EXPECT_EQ(read, c.verdict == kRead);
    }
}

const std::string k300(300, 'f');
const std::string k5000(5000, 's');
const std::string kMillion(1000000, 'm');
// A value in QSettings' own variant syntax whose type is unknown: it holds no text.
const std::string kUnknownVariant = "@Variant(\\0\\0\\0\\x7f\\0\\0\\0\\x5junk)";

// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, SettingsLoad, testing::Values(
    LoadCase{"FirstRunWithoutAFile", std::nullopt, "", "", kRead},
    LoadCase{"FileWithoutTheValues", "[Settings]\n", "", "", kRead},
    LoadCase{"BothNames",
             "[Settings]\nFirstFileName=/img/first.bin\nSecondFileName=/img/second.bin\n",
             "/img/first.bin", "/img/second.bin", kRead},
    LoadCase{"OnlyTheSecond", "[Settings]\nSecondFileName=b.bin\n", "", "b.bin", kRead},
    LoadCase{"AnEmptyValue", "[Settings]\nFirstFileName=\nSecondFileName=b\n", "", "b", kRead},
    LoadCase{"NamesDifferingInLetterCaseAreNotRecognised",
             "[Settings]\nfirstfilename=a\nFIRSTFILENAME=b\nSecondfilename=c\nsecondFileName=d\n",
             "", "", kRead},
    LoadCase{"OtherValuesAndGroupsAreSkipped",
             "[General]\nFirstFileName=general\n[Recent%20File%20List]\nFile1=/t.txt\n"
             "[Settings]\nAFirst=x\nFirstFileName=/a\nZLast=y\n"
             "[Settings2]\nSecondFileName=other-group\n",
             "/a", "", kRead},
    LoadCase{"NamesOf300And5000Characters",
             "[Settings]\nFirstFileName=" + k300 + "\nSecondFileName=" + k5000 + "\n",
             k300, k5000, kRead},
    LoadCase{"ANameOfAMillionCharactersBeforeTheOther",
             "[Settings]\nFirstFileName=" + kMillion + "\nSecondFileName=b\n",
             kMillion, "b", kRead},
    LoadCase{"AValueThatCannotBeReadStopsNothingAfterIt",
             "[Settings]\nAAA=" + kUnknownVariant + "\nFirstFileName=" + kUnknownVariant +
             "\nSecondFileName=/b\n",
             "", "/b", kEither},
    LoadCase{"MalformedLinesAroundTheNames",
             "no equals sign here\n[Settings\n=no key\n[Settings]\n\x01\x02\xff=x\n"
             "FirstFileName=/a\nno equals sign\n=x\nSecondFileName=/b\n\"unclosed=\n",
             "/a", "/b", kFault},
    LoadCase{"BinaryGarbage", "\0\xff\x01[\n=\0\0]\xfe"s, "", "", kEither},
    LoadCase{"AnUnquotedCommaInAHandWrittenName",
             "[Settings]\nFirstFileName=/img/a,b.bin\nSecondFileName=\"/img/c, d.bin\"\n",
             "/img/a,b.bin", "/img/c, d.bin", kRead},
    LoadCase{"ByteArrayValue", "[Settings]\nFirstFileName=@ByteArray(/img/a.bin)\n",
             "/img/a.bin", "", kRead}),
    [](const testing::TestParamInfo<LoadCase>& info) { return info.param.name; });
// clang-format on

TEST_F(SettingsFile, AFileThatCannotBeReadLeavesBothNamesEmptyAndCannotBeWritten) {
    fs::create_directories(File());  // a folder where the file should be
    DownloadNames names;
    EXPECT_FALSE(LoadDownloadNames(app, names));
    EXPECT_EQ(names.GetDownloadName(0), "");
    EXPECT_EQ(names.GetDownloadName(1), "");

    names.SetDownloadName(0, "/a");
    EXPECT_FALSE(SaveDownloadNames(app, names));
    EXPECT_TRUE(fs::is_directory(File()));
}

// ---- Saving and the next start ------------------------------------------------------------

struct RoundTrip {
    const char* name;
    std::string first;
    std::string second;
};

void PrintTo(const RoundTrip& c, std::ostream* os) {
    *os << c.name;
}

class SettingsRoundTrip : public SettingsFile, public testing::WithParamInterface<RoundTrip> {};

TEST_P(SettingsRoundTrip, NamesSavedAreLoadedWholeAtTheNextStart) {
    DownloadNames loaded;
    SaveAndLoadAtNextStart(GetParam().first, GetParam().second, loaded);
    EXPECT_EQ(loaded.GetDownloadName(0), GetParam().first);
    EXPECT_EQ(loaded.GetDownloadName(1), GetParam().second);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, SettingsRoundTrip, testing::Values(
    RoundTrip{"PlainPaths", "/img/first.bin", "/img/second.bin"},
    RoundTrip{"NamesOf300And5000Characters", k300, k5000},
    RoundTrip{"NamesOfFortyThousandAndAMillionCharacters", std::string(40000, 'q'), kMillion},
    RoundTrip{"CharactersTheFileSyntaxUses", "a, b;c=d\\e\"f#g", "[Settings]\t x"},
    RoundTrip{"LeadingAndTrailingSpaces", "  /img/a.bin ", " "},
    RoundTrip{"TextThatLooksLikeStoredVariants", "@Variant(junk)", "@ByteArray(x)"},
    RoundTrip{"NonAsciiText", "/img/caf\xc3\xa9.bin", "\xe2\x82\xac"}),
    [](const testing::TestParamInfo<RoundTrip>& info) { return info.param.name; });
// clang-format on

struct ClearCase {
    const char* name;
    bool clearFirst;
    bool clearSecond;
};

void PrintTo(const ClearCase& c, std::ostream* os) {
    *os << c.name;
}

class SettingsClear : public SettingsFile, public testing::WithParamInterface<ClearCase> {};

TEST_P(SettingsClear, ANameClearedBeforeTheSaveStaysClearedAtTheNextStart) {
    const ClearCase& c = GetParam();
    DownloadNames names;
    names.SetDownloadName(0, "/img/a.bin");
    names.SetDownloadName(1, "/img/b.bin");
    ASSERT_TRUE(SaveDownloadNames(app, names));
    if (c.clearFirst) {
        names.SetDownloadName(0, "");
    }
    if (c.clearSecond) {
        names.SetDownloadName(1, "");
    }
    ASSERT_TRUE(SaveDownloadNames(app, names));
    EXPECT_EQ(ReadFile().find("FirstFileName") == std::string::npos, c.clearFirst);
    EXPECT_EQ(ReadFile().find("SecondFileName") == std::string::npos, c.clearSecond);

    NextStart();
    DownloadNames loaded;
    EXPECT_TRUE(LoadDownloadNames(app, loaded));
    EXPECT_EQ(loaded.GetDownloadName(0), c.clearFirst ? "" : "/img/a.bin");
    EXPECT_EQ(loaded.GetDownloadName(1), c.clearSecond ? "" : "/img/b.bin");
}

INSTANTIATE_TEST_SUITE_P(Cases, SettingsClear,
                         testing::Values(ClearCase{"First", true, false},
                                         ClearCase{"Second", false, true},
                                         ClearCase{"Both", true, true}),
                         [](const testing::TestParamInfo<ClearCase>& info) {
                             return info.param.name;
                         });

TEST_F(SettingsFile, SavingKeepsTheOtherValuesOfTheFile) {
    WriteFile("[Recent%20File%20List]\nFile1=/t.txt\n[Settings]\nOther=1\n");
    DownloadNames names;
    names.SetDownloadName(1, "/img/b.bin");
    ASSERT_TRUE(SaveDownloadNames(app, names));

    NextStart();
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, "Ovex", "drel");
    EXPECT_EQ(store.value("Recent File List/File1").toString(), "/t.txt");
    EXPECT_EQ(store.value("Settings/Other").toString(), "1");
    EXPECT_EQ(store.value("Settings/SecondFileName").toString(), "/img/b.bin");
    EXPECT_FALSE(store.contains("Settings/FirstFileName"));
}

TEST_F(SettingsFile, SavingOverAMalformedFileRewritesIt) {
    WriteFile("\0\0garbage\n[Settings\nFirstFileName=/old\n=\n"s);
    DownloadNames names;
    names.SetDownloadName(0, "/img/a.bin");
    names.SetDownloadName(1, "/img/b.bin");
    EXPECT_TRUE(SaveDownloadNames(app, names));

    NextStart();
    DownloadNames loaded;
    EXPECT_TRUE(LoadDownloadNames(app, loaded));
    EXPECT_EQ(loaded.GetDownloadName(0), "/img/a.bin");
    EXPECT_EQ(loaded.GetDownloadName(1), "/img/b.bin");
}

}  // namespace
}  // namespace drel
