#include "python/PySession.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <stdexcept>
#include <utility>

#include "core/catalogue/Catalogue.h"
#include "core/image/ImageFile.h"
#include "core/image/SerialNumber.h"
#include "core/model/Checksums.h"
#include "core/model/Messages.h"
#include "core/operations/AddressRangeEntry.h"
#include "core/operations/EraseBlockChoice.h"
#include "core/operations/FileLoadJob.h"
#include "core/operations/IdCodeEntry.h"
#include "core/operations/Prompts.h"
#include "core/protocol/ForwardingBridge.h"
#include "sim/SimFaults.h"
#include "sim/SimOptions.h"

namespace o8r::python {

namespace {

using namespace std::chrono_literals;

// The dialogs' rules answer here: their messages are kept for the record,
// and a question is answered No, as a run without a terminal answers it.
class KeptPrompts final : public Prompts {
  public:
    MsgAnswer ShowMessage(const Message& message) override {
        shown.push_back(message);
        return message.buttons == MsgButtons::YesNo ? MsgAnswer::No : MsgAnswer::Ok;
    }
    std::optional<std::string> ChooseOpenFile(Owner, const FileDialogSpec&) override {
        return std::nullopt;
    }
    std::optional<std::string> ChooseSaveFile(Owner, const FileDialogSpec&) override {
        return std::nullopt;
    }
    DialogResult RunIdCodeDialog(IdCodeEntry&) override { return DialogResult::Cancel; }
    DialogResult RunEraseDialog(EraseBlockChoice&) override { return DialogResult::Cancel; }
    DialogResult RunAddressDialog(AddressRangeEntry&) override { return DialogResult::Cancel; }
    DialogResult RunBaseAddressDialog(BaseAddressEntry&) override { return DialogResult::Cancel; }
    DialogResult RunReadWindow(ReadSession&) override { return DialogResult::Cancel; }
    DialogResult RunFileLoadDialog(FileLoadJob&) override { return DialogResult::Cancel; }

    std::vector<Message> shown;
};

// The box as the session sees it, with a look at Python's signals on every
// call: a long wait on the box still notices a Ctrl-C, since the engine
// never waits longer than 10 ms at a time while it can be cancelled.
class WatchedBridge final : public ForwardingBridge {
  public:
    WatchedBridge(Bridge& inner, PySession& owner) : ForwardingBridge(inner), m_owner(owner) {}
    BridgeStatus GetDeviceCount(std::uint32_t& count) override {
        m_owner.LookAtSignals();
        return ForwardingBridge::GetDeviceCount(count);
    }
    BridgeStatus Read(DeviceHandle handle, std::uint8_t* buffer, std::uint32_t wanted,
                      std::uint32_t& got) override {
        m_owner.LookAtSignals();
        return ForwardingBridge::Read(handle, buffer, wanted, got);
    }
    BridgeStatus CheckRxQueue(DeviceHandle handle, std::uint32_t& queued,
                              std::uint32_t& status) override {
        m_owner.LookAtSignals();
        return ForwardingBridge::CheckRxQueue(handle, queued, status);
    }
    BridgeStatus GetModemStatus(DeviceHandle handle, std::uint8_t& status) override {
        m_owner.LookAtSignals();
        return ForwardingBridge::GetModemStatus(handle, status);
    }
    BridgeStatus WaitForAnswer(DeviceHandle handle, AnswerSignal signal,
                               std::uint64_t maxWaitNs) override {
        m_owner.LookAtSignals();
        return ForwardingBridge::WaitForAnswer(handle, signal, maxWaitNs);
    }

  private:
    PySession& m_owner;
};

BoxChoice MakeChoice(const BoxSettings& settings) {
    std::string error;
    auto choice = ParseBoxChoice(settings.box, error);
    if (!choice)
        throw std::invalid_argument("box: " + error);
    const bool simOptions = !settings.simState.empty() || !settings.simProtect.empty() ||
                            settings.simUpdateMode || !settings.simFaults.empty() ||
                            settings.simRealtime || !settings.simTiming.empty() ||
                            !settings.simSerial.empty();
    if (choice->kind != BoxChoice::Kind::Sim) {
        if (simOptions)
            throw std::invalid_argument("the sim_* settings need the box \"sim\"");
        return *choice;
    }
    choice->sim.updateMode = settings.simUpdateMode;
    if (!settings.simTiming.empty()) {
        const auto profile = ParseTimingProfile(settings.simTiming);
        if (!profile)
            throw std::invalid_argument("sim_timing: use fast, typical or slow, not " +
                                        settings.simTiming);
        choice->sim.timings = TimingsFor(*profile);
    }
    if (!settings.simProtect.empty()) {
        if (auto problem = ParseSimFault("protected:" + settings.simProtect, choice->sim);
            !problem.empty())
            throw std::invalid_argument("sim_protect: " + problem);
    }
    for (const std::string& fault : settings.simFaults) {
        if (auto problem = ParseSimFault(fault, choice->sim); !problem.empty())
            throw std::invalid_argument("sim_faults: " + problem);
    }
    choice->simStatePath = settings.simState;
    return *choice;
}

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

std::string Hex5(std::uint32_t address) {
    char text[16];
    std::snprintf(text, sizeof text, "%05X", static_cast<unsigned>(address));
    return text;
}

py::object Optional(bool present, py::object value) {
    return present ? std::move(value) : py::none();
}

}  // namespace

// What one operation collects on its way.
struct PySession::Run {
    std::string part;
    MemoryMap map;
    std::optional<McuRecord> record;
    std::vector<std::string> catalogue;
    std::vector<Message> messages;
    std::string usage;  // a refusal before the box is touched
    std::optional<OperationResult> result;
    bool imageLoaded = false;
    std::optional<SerialPatch> serial;  // written into the image
};

PySession::PySession(BoxSettings settings)
    : m_settings(std::move(settings)), m_choice(MakeChoice(m_settings)) {
    if (m_choice.kind == BoxChoice::Kind::Serial) {
        m_port = m_choice.port;
    } else if (m_choice.kind == BoxChoice::Kind::Sim) {
        m_port = "sim";
        m_usbSerial = m_settings.simSerial;
    }
}

PySession::~PySession() {
    Release();
}

void PySession::Release() {
    const std::lock_guard busy(m_busy);
    if (m_session)
        m_session->Release();
    m_session.reset();
    m_watch.reset();
    std::string error;
    if (m_box && !SaveBoxState(*m_box, error))
        m_box.reset();  // the bridge says so itself when it goes
    m_box.reset();
    m_clock.reset();
}

bool PySession::MakeBox(Run& run) {
    if (m_box)
        return true;
    BoxChoice choice = m_choice;
    if (choice.kind == BoxChoice::Kind::Sim && run.record)
        choice.sim.blocks = FlashBlocksForPart(*run.record);
    // The simulated box runs on virtual time unless it is to take real time.
    if (choice.kind == BoxChoice::Kind::Sim && !m_settings.simRealtime)
        m_clock = std::make_unique<VirtualClock>();
    else
        m_clock = std::make_unique<RealClock>();
    std::string error;
    m_box = MakeBridge(choice, *m_clock, error);
    if (!m_box) {
        run.usage = error;
        return false;
    }
    if (choice.kind == BoxChoice::Kind::Auto) {
        if (auto found = FindBoxes(error); found && found->size() == 1) {
            m_port = found->front().port;
            m_usbSerial = found->front().usbSerial;
        }
    } else if (choice.kind == BoxChoice::Kind::Serial) {
        if (auto found = FindBoxes(error)) {
            for (const FoundBox& box : *found)
                if (box.port == m_port)
                    m_usbSerial = box.usbSerial;
        }
    }
    m_watch = std::make_unique<WatchedBridge>(*m_box, *this);
    m_session = std::make_unique<BoxSession>(*m_watch, *m_clock);
    return true;
}

void PySession::LookAtSignals() {
    // Only an operation takes a Ctrl-C; releasing the box never does.
    if (m_run == nullptr)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (now - m_lastLook < 20ms)
        return;
    m_lastLook = now;
    py::gil_scoped_acquire lock;
    if (PyErr_CheckSignals() != 0)
        TakePythonError();
}

void PySession::TakePythonError() {
    if (!m_pythonError)
        m_pythonError.emplace();
    else
        PyErr_Clear();
    m_cancel.Request();
}

void PySession::PhaseStarted(Phase phase) {
    m_phase = PhaseName(phase);
    m_percent = -1;
    Progress(0);
}

void PySession::Progress(int percent) {
    if (percent == m_percent)
        return;
    m_percent = percent;
    m_lastLook = {};  // a look at the signals with every step
    LookAtSignals();
    if (m_progress.is_none() || m_pythonError)
        return;
    py::gil_scoped_acquire lock;
    try {
        m_progress(m_phase, percent);
    } catch (py::error_already_set& error) {
        error.restore();
        TakePythonError();
    }
}

void PySession::CannotCancel(Phase) {
    // The KeyboardInterrupt waits for the end of a phase that cannot stop.
}

bool PySession::ReplaceStoredImage(const std::string& name) {
    if (m_run != nullptr)
        m_run->messages.push_back(StoredImageQuestion(name));
    return m_replace;
}

py::dict PySession::Perform(const char* command, const std::string& part,
                            const std::optional<std::string>& id, Outcome wantedMode,
                            py::object progress,
                            const std::function<OperationResult(Run&)>& operation) {
    Run run;
    // One operation at a time on a box; another thread waits without the lock.
    std::unique_lock busy(m_busy, std::defer_lock);
    {
        py::gil_scoped_release unlocked;
        busy.lock();
    }
    m_progress = std::move(progress);
    m_pythonError.reset();
    m_cancel.Clear();
    m_run = &run;
    {
        py::gil_scoped_release unlocked;
        [&] {
            if (!part.empty()) {
                auto lines = ReadCatalogueLines(m_settings.catalogue);
                if (!lines) {
                    run.usage =
                        CatalogueFileProblem(CatalogueFileError::Missing, m_settings.catalogue);
                    return;
                }
                run.record = FindPartLoosely(*lines, part);
                if (!run.record) {
                    run.usage =
                        "the catalogue has no part \"" + part + "\" (o8r.mcus() lists them)";
                    return;
                }
                run.part = run.record->part;
                run.map = MemoryMapForPart(*lines, run.part).value_or(MemoryMap{});
                run.catalogue = std::move(*lines);
            }
            if (!MakeBox(run))
                return;
            SessionTarget target;
            target.part = run.part;
            target.map = run.map;
            if (id) {
                KeptPrompts prompts;
                IdCodeEntry dialog(prompts, target.idCode);
                if (!dialog.PressOk(*id)) {
                    run.usage = prompts.shown.empty() ? "the ID code is refused"
                                                      : prompts.shown.front().text;
                    return;
                }
            }
            m_session->SetTarget(target);
            // Each operation finds the box afresh, as one run of o8rprog does.
            m_session->Release();
            const OperationResult found = m_session->Detect();
            if (!found.Succeeded()) {
                run.result = found;
                return;
            }
            if (std::string(command) == "detect") {
                run.result = found;
                return;
            }
            if (found.outcome != wantedMode) {
                run.result = OperationResult{Operation::Detect, wantedMode == Outcome::NormalMode
                                                                    ? Outcome::NotInNormalMode
                                                                    : Outcome::NotInUpdateMode};
                return;
            }
            run.result = operation(run);
        }();
        // The box is held in reset and closed between operations.
        if (m_session)
            m_session->Release();
    }
    m_run = nullptr;
    m_progress = py::none();
    if (m_pythonError) {
        // A Ctrl-C or an exception of the progress callback: the box was
        // reset as the operation ended; the exception goes on up.
        py::error_already_set error = std::move(*m_pythonError);
        m_pythonError.reset();
        throw error;
    }

    py::dict record;
    record["command"] = command;
    record["part"] = run.part.empty() ? part : run.part;
    record["port"] = m_port;
    record["usbSerial"] = m_usbSerial;
    py::list messages;
    if (!run.usage.empty()) {
        record["outcome"] = "UsageError";
        record["message"] = run.usage;
    } else if (!run.result) {
        record["outcome"] = "Failed";
        record["message"] = "the box could not be reached";
    } else {
        const OperationResult& result = *run.result;
        for (const Message& message : MessagesFor(result))
            run.messages.push_back(message);
        record["outcome"] = OutcomeName(result.outcome);
        // The first error reports the ending; without one, the last notice.
        std::string text;
        bool error = false;
        for (const Message& message : run.messages) {
            if (message.icon == MsgIcon::Question)
                continue;
            if (!error)
                text = message.text;
            error = error || message.icon == MsgIcon::Error || message.icon == MsgIcon::Exclamation;
        }
        if (text.empty() && !result.Succeeded()) {
            for (const Message& message : run.messages)
                if (message.icon == MsgIcon::Question)
                    text = "answered No: " + message.text;
        }
        record["message"] = text;
        record["succeeded"] = result.Succeeded();
        record["resetFailed"] = result.resetFailed;
        record["percent"] = result.percent;
        const bool addressed = result.outcome == Outcome::CheckAreaNotEmpty ||
                               result.outcome == Outcome::VerifyMismatch;
        record["address"] = Optional(addressed, py::int_(result.address));
        record["expected"] =
            Optional(result.outcome == Outcome::VerifyMismatch, py::int_(result.expected));
        record["actual"] =
            Optional(result.outcome == Outcome::VerifyMismatch, py::int_(result.actual));
        record["storedName"] =
            Optional(result.outcome == Outcome::StoredName, py::str(result.storedName));
        const bool read = result.operation == Operation::Read && result.Succeeded();
        record["data"] = Optional(
            read, py::bytes(reinterpret_cast<const char*>(result.data.data()), result.data.size()));
        record["rangeStart"] = result.rangeStart;
        if (result.fileMessage)
            record["fileMessage"] = result.fileMessage->text;
    }
    for (const Message& message : run.messages) {
        py::dict shown;
        shown["caption"] = message.caption;
        shown["text"] = message.text;
        messages.append(shown);
    }
    record["messages"] = messages;
    record["serial"] = py::none();
    if (run.serial) {
        py::dict serial;
        serial["value"] = run.serial->value;
        serial["at"] = SerialPlacementText(run.serial->placement);
        serial["bytes"] = HexText(run.serial->bytes);
        record["serial"] = serial;
    }
    // The page records as sent, for the image's checksums.
    record["image"] = py::none();
    if (run.imageLoaded && m_session && m_session->Image().RecordCount() > 0) {
        const PageImage& image = m_session->Image();
        std::string bytes;
        for (std::size_t i = 0; i < image.RecordCount(); ++i)
            bytes.append(reinterpret_cast<const char*>(image.pageRecords[i].data()),
                         image.pageRecords[i].size());
        py::dict pages;
        pages["pages"] = image.RecordCount();
        pages["records"] = py::bytes(bytes);
        pages["format"] = ImageFormatShortName(image.format);
        const auto code = ImageIdCode(image);
        pages["idCode"] = Optional(code.has_value(), py::str(code ? IdCodeText(*code) : ""));
        record["image"] = pages;
    }
    return record;
}

py::dict PySession::Detect() {
    return Perform("detect", "", std::nullopt, Outcome::NormalMode, py::none(),
                   [](Run&) { return OperationResult{}; });
}

namespace {

// The board's number in its bytes, checked as o8rprog checks --serial; nothing
// after the reason.
std::optional<SerialPatch> SerialFor(const SerialRequest& request, const MemoryMap& map,
                                     const std::string& imagePath, std::string& refusal) {
    auto placement = ParseSerialPlacement(request.at, refusal);
    if (!placement)
        return std::nullopt;
    placement->overwrite = request.overwrite;
    if (const auto problem = SerialPlacementProblem(*placement, map)) {
        refusal = *problem;
        return std::nullopt;
    }
    auto image = std::make_unique<PageImage>();
    if (!placement->overwrite && !LoadImageFile(*image, imagePath, map, {})) {
        if (const auto data = LocateSerial(*image, *placement).firstDataByte) {
            refusal = "the serial number at " + Hex5(placement->address) +
                      " would overwrite the image's data at " + Hex5(*data) +
                      " (overwrite=True allows it)";
            return std::nullopt;
        }
    }
    return MakeSerialPatch(*placement, request.value, refusal);
}

}  // namespace

py::dict PySession::Program(const std::string& part, const std::string& image, bool verify,
                            const std::optional<std::string>& id,
                            const std::optional<SerialRequest>& serial, py::object progress) {
    return Perform("program", part, id, Outcome::NormalMode, std::move(progress), [&](Run& run) {
        if (serial) {
            run.serial = SerialFor(*serial, run.map, image, run.usage);
            if (!run.serial)
                return OperationResult{Operation::Program, Outcome::FileRefused};
            m_session->SetSerial(run.serial);
        }
        OperationResult result = m_session->Program(image, OperationHooks{this, &m_cancel, this});
        run.imageLoaded = result.outcome != Outcome::FileRefused;
        if (!result.Succeeded() || !verify)
            return result;
        for (const Message& message : MessagesFor(result))
            run.messages.push_back(message);
        return m_session->Verify(OperationHooks{this, &m_cancel, this});
    });
}

py::dict PySession::Erase(const std::string& part,
                          const std::optional<std::vector<std::string>>& blocks,
                          const std::optional<std::string>& id, py::object progress) {
    return Perform("erase", part, id, Outcome::NormalMode, std::move(progress), [&](Run& run) {
        KeptPrompts prompts;
        EraseBlockChoice dialog(prompts);
        const auto refused = [&](std::string text) {
            run.usage = std::move(text);
            return OperationResult{Operation::Erase, Outcome::ChoiceCancelled};
        };
        if (!dialog.Fill(m_settings.catalogue, run.part))
            return refused(prompts.shown.empty() ? "the part's blocks cannot be read"
                                                 : prompts.shown.front().text);
        // "Block 0" is named "0", as the command line names it.
        const auto name = [](const EraseBlockRow& row) {
            const std::string prefix = "Block ";
            return row.block.rfind(prefix, 0) == 0 ? row.block.substr(prefix.size()) : row.block;
        };
        if (!blocks) {
            dialog.SetSelectAll(true);
        } else {
            for (const std::string& wanted : *blocks) {
                const auto& rows = dialog.Rows();
                const auto row = std::find_if(rows.begin(), rows.end(), [&](const auto& r) {
                    return name(r) == Upper(wanted);
                });
                if (row == rows.end()) {
                    std::string names;
                    for (const EraseBlockRow& r : rows)
                        names += (names.empty() ? "" : ", ") + name(r);
                    return refused(run.part + " has no block \"" + wanted +
                                   "\" (its blocks: " + names + ")");
                }
                dialog.SetChecked(static_cast<std::size_t>(row - rows.begin()), true);
            }
        }
        if (!dialog.PressOk())
            return refused(prompts.shown.empty() ? "no block chosen" : prompts.shown.back().text);
        return m_session->Erase(ErasePagesOfList(dialog.EraseList()),
                                OperationHooks{this, &m_cancel, this});
    });
}

namespace {

// The range as the address dialog takes it; nothing after its message.
std::optional<AddressRange> RangeAccepted(const MemoryMap& map, std::uint32_t start,
                                          std::uint32_t end, const char* prompt,
                                          std::string& refusal) {
    if (start > 0xFFFFF || end > 0xFFFFF) {
        refusal = "an address has at most 5 hexadecimal digits";
        return std::nullopt;
    }
    KeptPrompts prompts;
    AddressRangeEntry dialog(prompts, map, prompt);
    std::string startText = Hex5(start);
    std::string endText = Hex5(end);
    if (!dialog.PressOk(startText, endText)) {
        const Message& shown = prompts.shown.back();
        refusal = shown.icon == MsgIcon::Question ? "answered No: " + shown.text : shown.text;
        return std::nullopt;
    }
    return AddressRange{dialog.Start(), dialog.End()};
}

}  // namespace

py::dict PySession::BlankCheck(const std::string& part, std::uint32_t start, std::uint32_t end,
                               const std::optional<std::string>& id, py::object progress) {
    return Perform("blank-check", part, id, Outcome::NormalMode, std::move(progress),
                   [&](Run& run) {
                       const auto range =
                           RangeAccepted(run.map, start, end, text::kPromptCheckRange, run.usage);
                       if (!range)
                           return OperationResult{Operation::BlankCheck, Outcome::ChoiceCancelled};
                       return m_session->BlankCheck(range->start, range->end,
                                                    OperationHooks{this, &m_cancel, this});
                   });
}

py::dict PySession::Read(const std::string& part, std::uint32_t start, std::uint32_t end,
                         const std::optional<std::string>& id, py::object progress) {
    return Perform("read", part, id, Outcome::NormalMode, std::move(progress), [&](Run& run) {
        const auto range = RangeAccepted(run.map, start, end, text::kPromptReadRange, run.usage);
        if (!range)
            return OperationResult{Operation::Read, Outcome::ChoiceCancelled};
        return m_session->Read(range->start, range->end, OperationHooks{this, &m_cancel, this});
    });
}

py::dict PySession::Load(const std::string& part, const std::string& image, bool replace,
                         py::object progress) {
    m_replace = replace;
    return Perform(
        "load", part, std::nullopt, Outcome::NormalMode, std::move(progress), [&](Run& run) {
            OperationResult result = m_session->Load(image, OperationHooks{this, &m_cancel, this});
            run.imageLoaded = result.outcome != Outcome::FileRefused;
            return result;
        });
}

py::dict PySession::Query() {
    return Perform("query", "", std::nullopt, Outcome::NormalMode, py::none(),
                   [&](Run&) { return m_session->QueryStore(); });
}

py::dict PySession::Update(const std::string& image, py::object progress) {
    return Perform("update", "", std::nullopt, Outcome::FirmwareUpdateMode, std::move(progress),
                   [&](Run& run) {
                       OperationResult result =
                           m_session->Update(image, OperationHooks{this, &m_cancel, this});
                       run.imageLoaded = result.outcome != Outcome::FileRefused;
                       return result;
                   });
}

}  // namespace o8r::python
