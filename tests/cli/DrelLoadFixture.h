#pragma once

// The fixture of drel-load's process tests: images made by drel-mkimage and a board played by
// drel-devsim, in a configuration folder of the test's own.

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "devsim/DevsimProcess.h"

namespace drel::cli::test {

class DrelLoadTest : public devsim::test::DevsimProcessTest {
  protected:
    // Writes an image of `records` records of `size` bytes (`extra` for broken ones) at `name`
    // in the test's folder, whose folders must exist, and returns its path.
    std::string MakeImage(const std::string& name, int records, int size,
                          const std::vector<std::string>& extra = {}) {
        using devsim::test::Clock;
        const std::filesystem::path path = configHome_ / name;
        std::vector<std::string> args{path.string(), "--records", std::to_string(records), "--size",
                                      std::to_string(size)};
        args.insert(args.end(), extra.begin(), extra.end());
        devsim::test::Devsim mkimage(args, configHome_, DREL_MKIMAGE_PATH);
        const auto deadline = Clock::now() + devsim::test::kPatience;
        EXPECT_EQ(mkimage.WaitForExit(deadline), 0)
            << devsim::test::ReadToEnd(mkimage.err(), deadline);
        return path.string();
    }

    // Starts a board published as port BOARD; returns its terminal's path.
    std::string StartBoard(const std::vector<std::string>& extra = {}) {
        using devsim::test::Clock;
        std::vector<std::string> args{"--as", "BOARD"};
        args.insert(args.end(), extra.begin(), extra.end());
        board_.emplace(args, configHome_);
        const std::string announcement =
            devsim::test::ReadLine(board_->out(), Clock::now() + devsim::test::kPatience);
        const size_t arrow = announcement.find(" -> ");
        EXPECT_NE(arrow, std::string::npos) << announcement;
        return arrow == std::string::npos ? "" : announcement.substr(arrow + 4);
    }

    std::optional<devsim::test::Devsim> board_;
};

}  // namespace drel::cli::test
