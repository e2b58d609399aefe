// Serial numbers and production jobs: how a number is spelt and placed, that
// counters and lists never give one number twice, which jobs are refused, and
// a job's board run on the simulated box.

#include <gtest/gtest.h>

#include <set>
#include <thread>

#include "core/catalogue/Catalogue.h"
#include "core/image/ImageBuilder.h"
#include "core/jobs/JobPlan.h"
#include "core/jobs/JobRun.h"
#include "support/ScratchDir.h"
#include "support/SessionRig.h"

namespace o8r::test {
namespace {

TEST(SerialNumberTest, SpellsEachFormatOrRefusesWhatDoesNotFit) {
    struct Case {
        const char* at;
        std::uint64_t value;
        std::vector<std::uint8_t> bytes;  // empty: does not fit
    };
    const Case cases[] = {
        {"4000:4", 1000, {0xE8, 0x03, 0x00, 0x00}},
        {"4000:4:be", 1000, {0x00, 0x00, 0x03, 0xE8}},
        {"4000:3:bcd", 123456, {0x12, 0x34, 0x56}},
        {"4000:6:dec", 42, {'0', '0', '0', '0', '4', '2'}},
        {"4000:4:hex", 0xBEEF, {'B', 'E', 'E', 'F'}},
        {"4000:8", UINT64_MAX, std::vector<std::uint8_t>(8, 0xFF)},
        {"4000:1", 256, {}},
        {"4000:2:bcd", 10000, {}},
        {"4000:2:dec", 100, {}},
    };
    for (const Case& c : cases) {
        std::string error;
        const auto placement = ParseSerialPlacement(c.at, error);
        ASSERT_TRUE(placement) << c.at << ": " << error;
        const auto patch = MakeSerialPatch(*placement, c.value, error);
        if (c.bytes.empty()) {
            EXPECT_FALSE(patch) << c.at;
            EXPECT_NE(error.find("does not fit"), std::string::npos) << error;
        } else {
            ASSERT_TRUE(patch) << c.at << ": " << error;
            EXPECT_EQ(patch->bytes, c.bytes) << c.at;
        }
    }
    for (const char* bad : {"4000", "4000:0", "4000:9", "4000:4:xx", "G000:4", "123456:4"}) {
        std::string error;
        EXPECT_FALSE(ParseSerialPlacement(bad, error)) << bad;
        EXPECT_FALSE(error.empty());
    }
}

TEST(SerialNumberTest, AddsItsPageOrRefusesToOverwriteImageData) {
    const MemoryMap map{0, 0, 0x4000, 0x14000};
    auto image = std::make_unique<PageImage>();
    image->memImage.fill(0xFF);
    image->memImage[0x4000] = 0x12;  // one page of data at 4000
    image->pageRecords[0] = MakePageRecord(*image, 0x40);
    image->pageCount = 1;
    image->lastLoad.path = "image.mot";
    std::string error;
    const auto patch = [&](const char* at) {
        return *MakeSerialPatch(*ParseSerialPlacement(at, error), 7, error);
    };

    EXPECT_TRUE(PlaceSerial(*image, map, patch("4000:2")).has_value()) << "over data";
    EXPECT_TRUE(PlaceSerial(*image, map, patch("3FFF:2")).has_value()) << "outside the map";
    EXPECT_TRUE(PlaceSerial(*image, map, patch("13FFF:2")).has_value()) << "past the map";
    EXPECT_EQ(image->pageCount, 1) << "a refusal leaves the image as it was";

    EXPECT_FALSE(PlaceSerial(*image, map, patch("13FFE:2")));
    ASSERT_EQ(image->pageCount, 2);
    EXPECT_EQ(PageRecordNumber(image->pageRecords[1]), 0x13F);
    EXPECT_EQ(image->pageRecords[1], MakePageRecord(*image, 0x13F)) << "checksum made anew";
    EXPECT_EQ(image->memImage[0x13FFE], 7);
    EXPECT_EQ(image->memImage[0x13FFD], 0xFF);
    EXPECT_TRUE(image->lastLoad.path.empty()) << "the file alone no longer makes this image";

    SerialPatch over = patch("4001:1");
    EXPECT_FALSE(PlaceSerial(*image, map, over)) << "FF bytes of a page are free";
    over.placement.overwrite = true;
    over.placement.address = 0x4000;
    EXPECT_FALSE(PlaceSerial(*image, map, over));
    EXPECT_EQ(image->memImage[0x4000], 7);
}

TEST(SerialSourceTest, CounterGivesEveryNumberOnceToConcurrentTakers) {
    ScratchDir dir;
    SerialSource source{SerialSource::Kind::Counter, 0, 1, dir.Write("counter.txt", "1000\n")};
    std::vector<std::uint64_t> taken[2];
    std::thread threads[2];
    for (int t = 0; t < 2; ++t) {
        threads[t] = std::thread([&, t] {
            for (int i = 0; i < 40; ++i) {
                std::string error;
                const auto value = TakeSerial(source, 0, error);
                ASSERT_TRUE(value) << error;
                taken[t].push_back(*value);
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    std::set<std::uint64_t> all(taken[0].begin(), taken[0].end());
    all.insert(taken[1].begin(), taken[1].end());
    EXPECT_EQ(all.size(), 80u) << "no number twice";
    EXPECT_EQ(*all.begin(), 1000u);
    EXPECT_EQ(*all.rbegin(), 1079u) << "none skipped";
    EXPECT_EQ(ReadWholeFile(source.file), "1080\n");
}

TEST(SerialSourceTest, ListIsUsedUpAndRemembersWhatWasTaken) {
    ScratchDir dir;
    SerialSource source{SerialSource::Kind::List, 0, 1,
                        dir.Write("list.txt", "# serials\n0x10\n\n17\n18\n")};
    std::string error;
    EXPECT_EQ(NextSerial(source, 0, error), 16u);
    EXPECT_EQ(TakeSerial(source, 0, error), 16u);
    EXPECT_EQ(TakeSerial(source, 0, error), 17u);
    EXPECT_EQ(TakeSerial(source, 0, error), 18u);
    EXPECT_FALSE(TakeSerial(source, 0, error));
    EXPECT_NE(error.find("used up"), std::string::npos) << error;
    EXPECT_EQ(ReadWholeFile(UsedListPath(source.file)), "0x10\n17\n18\n");
    dir.Write("list.txt", "0x10\n17\n18\n19\nnineteen\n");
    EXPECT_FALSE(TakeSerial(source, 0, error)) << "a line that is no number stops the list";
    EXPECT_NE(error.find("line 5"), std::string::npos) << error;
    dir.Write("list.txt", "0x10\n17\n18\n19\n");
    EXPECT_EQ(TakeSerial(source, 0, error), 19u) << "a line added later is taken";
    SerialSource start{SerialSource::Kind::Start, 100, 5, ""};
    EXPECT_EQ(TakeSerial(start, 3, error), 115u);
}

// A job in `dir` for the rig's part and image, with `extra` lines added.
std::string JobFor(const ScratchDir& dir, const std::string& image, const std::string& extra) {
    std::string error;
    // A literal string: a Windows path's backslashes are no escapes there.
    return dir.Write("job.toml", "part = \"R5F212A8SN\"\nimage = '" + image +
                                     "'\nimage_sha256 = \"" + *FileSha256(image, error) + "\"\n" +
                                     extra);
}

std::vector<std::string> Catalogue() {
    return *ReadCatalogueLines(ControllerHarness::ShippedDataDirectory() + "/MCUType.mcu");
}

std::vector<std::string> Problems(const std::string& path) {
    JobRead read = ReadJob(path);
    if (!read.job)
        return read.problems;
    JobPlanning planning = PlanJob(*read.job, Catalogue());
    read.problems.insert(read.problems.end(), planning.problems.begin(), planning.problems.end());
    return read.problems;
}

TEST(JobTest, CheckNamesEveryProblem) {
    struct Case {
        std::string extra;
        const char* problem;  // a part of the only problem; "": none
    };
    const Case cases[] = {
        {"steps = [\"erase\", \"program\", \"verify\"]\n", ""},
        {"steps = [\"erase 0,3\", \"blank-check 4000-40FF\", \"program\"]\n"
         "id = \"image:\"\n[serial]\nat = \"13FF0:4:dec\"\ncounter = \"n.txt\"\n",
         ""},
        {"", "no steps"},
        {"steps = [\"verify\", \"program\"]\n", "verify must come after program"},
        {"steps = [\"flash\"]\n", "unknown step"},
        {"steps = [\"erase 9\"]\n", "has no block \"9\""},
        {"steps = [\"blank-check 3000-40FF\"]\n", "not inside one flash region"},
        {"steps = [\"program\"]\nid = \"0102\"\n", "14 hexadecimal digits"},
        {"steps = [\"program\"]\ncolour = 1\n", "unknown key 'colour'"},
        {"steps = [\"program\"]\n[serial]\nat = \"30000:4\"\nstart = 1\n", "outside the part"},
        {"steps = [\"program\"]\n[serial]\nat = \"C000:4\"\nstart = 1\n", "overwrite the image"},
        {"steps = [\"program\"]\n[serial]\nat = \"13FF0:4\"\n", "one of start, counter or list"},
        {"steps = [\"program\"]\n[serial]\nat = \"13FF0:4\"\nstart = 1\nstep = 0\n",
         "step must be 1 or more"},
        {"steps = [\"program\"\n", "line"},
    };
    SessionRig rig;
    for (const Case& c : cases) {
        ScratchDir dir;
        const auto problems = Problems(JobFor(dir, rig.image, c.extra));
        if (*c.problem == '\0') {
            EXPECT_TRUE(problems.empty()) << c.extra << problems.front();
            continue;
        }
        ASSERT_EQ(problems.size(), 1u) << c.extra;
        EXPECT_NE(problems[0].find(c.problem), std::string::npos) << problems[0];
    }
    ScratchDir dir;
    const std::string job =
        dir.Write("job.toml", "part = \"R5F999\"\nimage = \"gone.mot\"\nimage_sha256 = \"" +
                                  std::string(64, '0') + "\"\nsteps = [\"program\"]\n");
    const auto problems = Problems(job);
    ASSERT_EQ(problems.size(), 1u) << "an unknown part stops the plan";
    EXPECT_NE(problems[0].find("no part \"R5F999\""), std::string::npos);
}

TEST(JobTest, BoardRunsItsStepsWithItsSerialAndRefusesAChangedImage) {
    SessionRig rig;
    ScratchDir dir;
    const std::string path =
        JobFor(dir, rig.image,
               "steps = [\"erase\", \"program\", \"verify\"]\n[serial]\nat = \"13FF0:4\"\n"
               "start = 1\n");
    const JobPlanning planning = PlanJob(*ReadJob(path).job, Catalogue());
    ASSERT_TRUE(planning.Ready());
    JobRun run(rig.session, planning.plan);
    std::string error;
    const auto patch = MakeSerialPatch(planning.plan.job.serial->placement, 0x12345678, error);

    run.Begin(rig.Hooks(), patch);
    for (int step = 0; run.Step() != Pending::Ended && step < 1'000'000; ++step)
        rig.h.clock.Advance(1'000'000);  // the window's 1 ms tick
    const BoardResult& board = run.Result();
    EXPECT_TRUE(board.passed) << board.message;
    ASSERT_EQ(board.steps.size(), 3u);
    EXPECT_EQ(board.steps[2].step, "verify");
    const PageImage& sent = rig.session.Image();
    EXPECT_EQ(PageRecordNumber(sent.pageRecords[sent.pageCount - 1]), 0x13F);
    EXPECT_EQ(sent.memImage[0x13FF0], 0x78);
    EXPECT_FALSE(rig.session.Target().serial) << "the number is the board's, not the session's";

    rig.h.WriteImage("image.mot", SessionRig::kImageBase, PatternBytes(256, 9));
    rig.h.ClearTrace();
    const BoardResult refused = run.Run(rig.Hooks(), patch);
    EXPECT_FALSE(refused.passed);
    EXPECT_NE(refused.message.find("is not the job's"), std::string::npos) << refused.message;
    EXPECT_TRUE(rig.h.TraceLines().empty()) << "no box touched";
}

}  // namespace
}  // namespace o8r::test
