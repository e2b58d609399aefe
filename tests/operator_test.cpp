// The operator view's logic on simulated boxes: boards that pass and fail,
// the counters, serial numbers stepping into each board, several boxes at
// once, the log, and what plugging a box in starts.

#include <gtest/gtest.h>

#include <memory>

#include "core/window/JobBoards.h"
#include "core/window/OperatorController.h"
#include "support/ControllerHarness.h"
#include "support/SRecordText.h"

namespace o8r::test {
namespace {

constexpr std::uint32_t kSerialAt = 0x13FF0;

struct Line {
    ScratchDir dir;
    VirtualClock clock;
    std::vector<std::unique_ptr<SimulatedBox>> boxes;
    std::unique_ptr<PlannedJob> job;
    std::unique_ptr<OperatorController> controller;

    // A job of `boxCount` simulated boxes; `faulty` boxes answer a page wrongly.
    explicit Line(int boxCount, const std::string& extra = "", std::vector<int> faulty = {},
                  std::uint32_t plugged = 1) {
        const std::string image = dir.Write("app.mot", SRecordImage(0x4000, PatternBytes(2 * 256)));
        std::string error;
        const std::string sha = FileSha256(image, error).value_or("");
        const std::string path =
            dir.Write("line.toml",
                      "name = \"Widget\"\npart = \"R5F212A8SN\"\nimage = \"app.mot\"\n"
                      "image_sha256 = \"" +
                          sha +
                          "\"\nsteps = [\"erase\", \"program\", "
                          "\"verify\"]\nlog = \"line.csv\"\nboxes = \"sim:" +
                          std::to_string(boxCount) + "\"\n" + extra +
                          "[serial]\nat = \"13FF0:4:le\"\nstart = 1000\n");
        OpenedJob opened =
            OpenJob(path, ControllerHarness::ShippedDataDirectory() + "/MCUType.mcu");
        EXPECT_TRUE(opened.problems.empty()) << opened.problems.front();
        job = std::make_unique<PlannedJob>(*opened.plan,
                                           JobBoxNames("sim:" + std::to_string(boxCount), error));
        std::vector<std::unique_ptr<BoardRunner>> runners;
        for (int i = 0; i < boxCount; ++i) {
            SimOptions options;
            options.faults.deviceCount = plugged;
            if (std::find(faulty.begin(), faulty.end(), i) != faulty.end())
                options.faults.wrongAnswerAtPage = 2;
            boxes.push_back(std::make_unique<SimulatedBox>(clock, options));
            runners.push_back(std::make_unique<JobBoardRunner>(*boxes.back(), clock, *job));
        }
        controller = std::make_unique<OperatorController>(*job, std::move(runners));
    }
    // The window's timer until every board has ended.
    void RunBoards() {
        for (int tick = 0; controller->Running() && tick < 200000; ++tick) {
            controller->Tick();
            clock.Advance(kNsPerMs);
        }
        EXPECT_FALSE(controller->Running());
    }
    std::uint32_t SerialIn(std::size_t box) const {
        std::uint32_t value = 0;
        for (int i = 3; i >= 0; --i)
            value =
                value << 8 | boxes[box]->Target().Byte(kSerialAt + static_cast<std::uint32_t>(i));
        return value;
    }
};

using State = OperatorController::TileState;

TEST(OperatorTest, FourBoxesPassAtOnceEachWithItsOwnSerial) {
    Line line(4);
    EXPECT_EQ(line.controller->NextSerial(), 1000u);
    ASSERT_EQ(line.controller->Start(), 4);
    line.controller->Tick();
    for (const auto& tile : line.controller->Tiles())
        EXPECT_EQ(tile.state, State::Running);
    line.RunBoards();
    for (std::size_t i = 0; i < 4; ++i) {
        const auto& tile = line.controller->Tiles()[i];
        EXPECT_EQ(tile.box, "sim:" + std::to_string(i + 1));
        EXPECT_EQ(tile.state, State::Passed);
        EXPECT_EQ(tile.banner, "PASS");
        EXPECT_EQ(tile.serial, 1000u + i);
        EXPECT_EQ(line.SerialIn(i), 1000u + i);
    }
    EXPECT_EQ(line.controller->Passed(), 4);
    EXPECT_EQ(line.controller->NextSerial(), 1004u);
    ASSERT_EQ(line.controller->LogTail().size(), 4u);
    EXPECT_NE(line.controller->LogTail()[0].find("sim:1  #1000  PASS"), std::string::npos);

    // The next round takes the next numbers.
    ASSERT_EQ(line.controller->Start(), 4);
    line.RunBoards();
    EXPECT_EQ(line.SerialIn(3), 1007u);
    EXPECT_EQ(line.controller->Passed(), 8);
}

TEST(OperatorTest, AFailedBoardIsCountedShownAndLogged) {
    Line line(2, "", {1});
    ASSERT_EQ(line.controller->Start(), 2);
    line.RunBoards();
    const auto& failed = line.controller->Tiles()[1];
    EXPECT_EQ(failed.state, State::Failed);
    EXPECT_NE(failed.banner, "PASS");
    EXPECT_FALSE(failed.banner.empty());
    EXPECT_EQ(line.controller->Tiles()[0].state, State::Passed);
    EXPECT_EQ(line.controller->Passed(), 1);
    EXPECT_EQ(line.controller->Failed(), 1);
    const std::string log = ReadWholeFile(line.dir.File("line.csv"));
    EXPECT_EQ(log.rfind("command,part,port", 0), 0u);
    EXPECT_NE(log.find("sim:2"), std::string::npos);
    // The failure ends its board first: it is the older record.
    EXPECT_NE(line.controller->LogTail()[0].find("sim:2  #1001  FAIL"), std::string::npos);
    line.controller.reset();  // the view left: its run is closed, as o8rprog closes one
    const std::string closed = ReadWholeFile(line.dir.File("line.csv"));
    EXPECT_NE(closed.find("\njob end,R5F212A8SN,"), std::string::npos);
    EXPECT_NE(closed.find("1 of 2 boards programmed,no,1,,,,"), std::string::npos) << closed;
    EXPECT_EQ(closed.substr(closed.size() - 5), ",1,1\n") << "programmed, failed";
}

TEST(OperatorTest, PluggingABoxInStartsABoardOnlyWhenTheJobSaysSo) {
    for (const bool onPlug : {false, true}) {
        SCOPED_TRACE(onPlug);
        Line line(1, onPlug ? "start = \"on-plug\"\n" : "", {}, 0);
        EXPECT_EQ(line.controller->Start(), 0);
        EXPECT_NE(line.controller->Notice().find("No programmer"), std::string::npos);
        line.controller->Poll();
        line.boxes[0]->Plug(1);
        line.controller->Poll();
        EXPECT_EQ(line.controller->Running(), onPlug);
        line.RunBoards();
        EXPECT_EQ(line.controller->Passed(), onPlug ? 1 : 0);
    }
}

}  // namespace
}  // namespace o8r::test
