// The program started on a settings file ($XDG_CONFIG_HOME/Ovex/drel.conf) that cannot be read,
// is malformed, or holds very long values: it starts and ends as always, uses what it could read
// of the download names and the recent-file list, and keeps what it could read for the next
// start.

#include <gtest/gtest.h>

#include <QLineEdit>
#include <filesystem>
#include <fstream>
#include <optional>
#include <ostream>
#include <string>

#include "app/DrelAppFixture.h"
#include "framework/CDialog.h"
#include "framework/CRecentFileList.h"
#include "resources/resource.h"
#include "support/ModalDriver.h"

namespace drel::test {
namespace {

namespace fs = std::filesystem;

struct Damage {
    const char* name;
    std::optional<std::string> file;  // nothing: a folder stands where the file should be
    std::string first;                // the names and the recent file the program then has
    std::string second;
    std::string recentFile;
};

void PrintTo(const Damage& damage, std::ostream* os) {
    *os << damage.name;
}

const std::string kLongFirst = "/" + std::string(100000, 'f');
const std::string kLongSecond = "/" + std::string(5000, 's');
const std::string kLongRecent = "/" + std::string(100000, 'r');

// clang-format off
const Damage kDamages[] = {
    {"Unreadable", std::nullopt, "", "", ""},
    {"Malformed",
     "no equals sign here\n[Settings\n=no key\n[Recent%20File%20List]\n\x01\x02\xff=x\n"
     "[Settings]\nFirstFileName=/img/a.bin\n=x\nSecondFileName=/img/b.bin\n\"unclosed=\n",
     "/img/a.bin", "/img/b.bin", ""},
    {"VeryLongValues",
     "[Recent%20File%20List]\nFile1=" + kLongRecent + "\n[Settings]\nFirstFileName=" +
     kLongFirst + "\nSecondFileName=" + kLongSecond + "\n",
     kLongFirst, kLongSecond, kLongRecent},
};
// clang-format on

class DamagedSettingsTest : public DrelAppTest, public testing::WithParamInterface<Damage> {
  protected:
    fs::path File() const { return fs::path(ConfigHome()) / "Ovex" / "drel.conf"; }

    // The program's names and its most recent file, one after the other.
    std::string State() const {
        const CRecentFileList* recent = app->GetRecentFileList();
        const std::string file = recent != nullptr && recent->GetSize() > 0 ? (*recent)[0] : "";
        return app->GetDownloadName(0) + "|" + app->GetDownloadName(1) + "|" + file;
    }
};

TEST_P(DamagedSettingsTest, TheProgramRunsOnWhatItCouldReadAndKeepsItForTheNextStart) {
    const Damage& damage = GetParam();
    if (damage.file) {
        fs::create_directories(File().parent_path());
        std::ofstream(File(), std::ios::binary) << *damage.file;
    } else {
        fs::create_directories(File());
    }
    const std::string expected = damage.first + "|" + damage.second + "|" + damage.recentFile;

    ASSERT_NO_FATAL_FAILURE(StartApp());
    ASSERT_NE(ActiveDoc(), nullptr);
    EXPECT_EQ(ActiveDoc()->Connection().connected, 1);
    EXPECT_TRUE(State() == expected) << Escaped(State().substr(0, 200));

    // The dialog shows the names whole.
    RunModal(
        [&] {
            Command(ID_DOWNLOAD_FILE_NAME);
            return 0;
        },
        [&](QWidget* dialog) {
            auto* window = qobject_cast<CDialog*>(dialog);
            const auto* first = qobject_cast<QLineEdit*>(window->GetDlgItem(IDC_FIRST_FILE_NAME));
            const auto* second = qobject_cast<QLineEdit*>(window->GetDlgItem(IDC_SECOND_FILE_NAME));
            ASSERT_TRUE(first != nullptr && second != nullptr);
            EXPECT_TRUE(first->text().toStdString() == damage.first);
            EXPECT_TRUE(second->text().toStdString() == damage.second);
            PressKey(Qt::Key_Escape);
        });
    // "Auto Down load" sends the first name whole, or asks for one.
    ASSERT_TRUE(Command(ID_AUTO_DOWNLOAD));
    if (damage.first.empty()) {
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, "Please input full path name in menu Auto first");
    } else {
        const std::string command = "l " + damage.first + "\r";
        EXPECT_TRUE(Received(*device, command.size()) == command);
        EXPECT_TRUE(boxes.empty());
    }

    CloseWindow(Frame());
    ASSERT_TRUE(app->GetOpenDocuments().empty());
    EndApp();
    ASSERT_NO_FATAL_FAILURE(StartApp());
    EXPECT_TRUE(State() == expected) << Escaped(State().substr(0, 200));
    // A file that cannot be read is not written either.
    EXPECT_EQ(fs::is_directory(File()), !damage.file.has_value());
}

INSTANTIATE_TEST_SUITE_P(Files, DamagedSettingsTest, testing::ValuesIn(kDamages),
                         [](const testing::TestParamInfo<Damage>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
}  // namespace drel::test
