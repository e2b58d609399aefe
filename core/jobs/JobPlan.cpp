#include "core/jobs/JobPlan.h"

#include <algorithm>
#include <memory>

#include "core/catalogue/Catalogue.h"
#include "core/image/ImageFile.h"
#include "core/model/HexText.h"
#include "core/operations/FileLoadJob.h"

namespace o8r {

namespace {

std::string Hex5(std::uint32_t value) {
    return HexDigitsText(value, 5);
}

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

// A block's name as the erase dialog shows it without "Block ": "0", "A", "12".
std::string BlockName(const BlockEntry& block) {
    const std::size_t first = block.name.find_first_not_of(" 0");
    return first == std::string::npos ? "0" : block.name.substr(first);
}

std::vector<std::pair<std::uint32_t, std::uint32_t>> FlashRanges(const MemoryMap& map) {
    std::vector<std::pair<std::uint32_t, std::uint32_t>> ranges;
    if (map.region1Start != 0 && map.region1End > map.region1Start)
        ranges.emplace_back(map.region1Start, map.region1End - 1);
    if (map.region2End > map.region2Start)
        ranges.emplace_back(map.region2Start, map.region2End - 1);
    return ranges;
}

bool InOneRegion(const MemoryMap& map, std::uint32_t first, std::uint32_t last) {
    const auto inside = [&](std::uint32_t start, std::uint32_t end) {
        return end > start && first >= start && last < end;
    };
    return (map.region1Start != 0 && inside(map.region1Start, map.region1End)) ||
           inside(map.region2Start, map.region2End);
}

class Planner {
  public:
    Planner(const Job& job, JobPlanning& out) : m_job(job), m_out(out) {}

    void Plan(const std::vector<std::string>& lines) {
        m_out.plan.job = m_job;
        const auto record = FindPartLoosely(lines, m_job.part);
        if (!record) {
            Problem("the catalogue has no part \"" + m_job.part + "\"");
            return;
        }
        SessionTarget& target = m_out.plan.target;
        target.part = record->part;
        target.map = MemoryMapForPart(lines, record->part).value_or(MemoryMap{});
        target.binaryBase = m_job.base;
        const auto image = LoadImage(target.map);
        for (const JobStep& step : m_job.steps)
            m_out.plan.steps.push_back(PlanStep(step, lines, *record, target.map));
        if (image)
            target.idCode = IdCodeFor(*image);
        if (m_job.serial)
            CheckSerial(target.map, image.get());
    }

  private:
    void Problem(const std::string& text) { m_out.problems.push_back(text); }

    std::unique_ptr<PageImage> LoadImage(const MemoryMap& map) {
        if (m_job.image.empty())
            return nullptr;
        if (auto changed = ImageChanged(m_job)) {
            Problem(*changed);
            return nullptr;
        }
        auto image = std::make_unique<PageImage>();
        if (const auto failure = LoadImageFile(*image, m_job.image, map, {}, m_job.base)) {
            std::string text = failure->text;
            std::replace(text.begin(), text.end(), '\n', ' ');
            Problem("the image file '" + m_job.image + "' cannot be loaded for " +
                    m_out.plan.target.part + ": " + text);
            return nullptr;
        }
        m_out.plan.imagePages = image->pageCount;
        return image;
    }

    IdCode IdCodeFor(const PageImage& image) {
        if (m_job.id == "image:")
            return ImageIdCode(image).value_or(ErasedIdCode());
        IdCode code = ErasedIdCode();
        if (m_job.id.size() == 2 * kIdCodeSize) {
            for (std::size_t i = 0; i < kIdCodeSize; ++i)
                code[i] =
                    static_cast<std::uint8_t>(ParseHex(m_job.id.substr(2 * i, 2)).value_or(0xFF));
        }
        return code;
    }

    PlannedStep PlanStep(const JobStep& step, const std::vector<std::string>& lines,
                         const McuRecord& record, const MemoryMap& map) {
        PlannedStep planned{step.kind, step.text, {}, {}};
        if (step.kind == JobStepKind::Erase) {
            if (const auto problem = BlockEntryProblem(lines, record.part))
                Problem(*problem);
            std::vector<std::string> names = step.blocks;
            if (names.empty())
                for (const BlockEntry& block : record.blocks)
                    names.push_back(BlockName(block));
            for (const std::string& name : names) {
                const auto found = std::find_if(
                    record.blocks.begin(), record.blocks.end(),
                    [&](const BlockEntry& block) { return BlockName(block) == Upper(name); });
                if (found == record.blocks.end()) {
                    Problem("step \"" + step.text + "\": " + record.part + " has no block \"" +
                            name + "\"");
                    continue;
                }
                planned.erasePages.push_back(static_cast<std::uint16_t>(found->start >> 8));
            }
            if (names.empty())
                Problem("step \"" + step.text + "\": " + record.part + " has no blocks to erase");
        } else if (step.kind == JobStepKind::BlankCheck) {
            planned.ranges = step.range ? decltype(planned.ranges){*step.range} : FlashRanges(map);
            for (const auto& [first, last] : planned.ranges)
                if (!InOneRegion(map, first, last))
                    Problem("step \"" + step.text + "\": " + Hex5(first) + "-" + Hex5(last) +
                            " is not inside one flash region of " + record.part);
        }
        return planned;
    }

    void CheckSerial(const MemoryMap& map, const PageImage* image) {
        const SerialPlacement& placement = m_job.serial->placement;
        if (const auto problem = SerialPlacementProblem(placement, map)) {
            Problem(*problem);
            return;
        }
        if (image == nullptr || placement.overwrite)
            return;
        if (const auto data = LocateSerial(*image, placement).firstDataByte)
            Problem("the serial number at " + Hex5(placement.address) +
                    " would overwrite the image's data at " + Hex5(*data) +
                    " (allow it with overwrite = true under [serial])");
    }

    const Job& m_job;
    JobPlanning& m_out;
};

}  // namespace

std::optional<std::string> ImageChanged(const Job& job) {
    std::string error;
    const auto sha = FileSha256(job.image, error);
    if (!sha)
        return "the image file '" + job.image + "' cannot be read";
    if (*sha != job.imageSha256)
        return "the image file '" + job.image + "' is not the job's: its SHA-256 is " + *sha +
               ", the job names " + job.imageSha256;
    return std::nullopt;
}

JobPlanning PlanJob(const Job& job, const std::vector<std::string>& catalogueLines) {
    JobPlanning planning;
    Planner(job, planning).Plan(catalogueLines);
    return planning;
}

}  // namespace o8r
