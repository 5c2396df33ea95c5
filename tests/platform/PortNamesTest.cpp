#include "platform/PortNames.h"

#include <gtest/gtest.h>


#include "support/PseudoTerminal.h"

using drel::platform::PortLinksFolder;
using drel::platform::ResolvePortName;

TEST(PortNamesTest, NamesResolveByTheirForm) {
    drel::test::TemporaryConfigHome config;
    const struct {
        const char* name;
        const char* path;
    } cases[] = {
        {"COM1", "/dev/ttyS0"},      {"com10", "/dev/ttyS9"},   {"Com12", "/dev/ttyS11"},
        {"COM0", "/dev/COM0"},       {"COM", "/dev/COM"},       {"COM1x", "/dev/COM1x"},
        {"ttyUSB0", "/dev/ttyUSB0"}, {"/tmp/x", "/tmp/x"},      {"./ttyX", "./ttyX"},
        {"", "/dev/"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ResolvePortName(c.name), c.path) << c.name;
    }
}

TEST(PortNamesTest, LinkInThePortsFolderComesFirst) {
    drel::test::TemporaryConfigHome config;
    EXPECT_EQ(PortLinksFolder(), config.Path() + "/Ovex/drel/ports");
    config.MakePortLink("COM2", "/dev/null");
    config.MakePortLink("board", "/dev/null");
    EXPECT_EQ(ResolvePortName("COM2"), PortLinksFolder() + "/COM2");
    EXPECT_EQ(ResolvePortName("board"), PortLinksFolder() + "/board");
    EXPECT_EQ(ResolvePortName("COM3"), "/dev/ttyS2");
}

TEST(PortNamesTest, ConfigHomeDefaultsToDotConfigUnderHome) {
    drel::test::TemporaryConfigHome config;
    unsetenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    ASSERT_NE(home, nullptr);
    EXPECT_EQ(PortLinksFolder(), std::string(home) + "/.config/Ovex/drel/ports");
}
