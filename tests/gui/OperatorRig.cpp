#include "OperatorRig.h"

#include <QAction>
#include <QTest>
#include <QTimer>
#include <algorithm>

#include "core/jobs/Job.h"
#include "support/ControllerHarness.h"
#include "support/SRecordText.h"

namespace o8r::test {

OperatorRig::OperatorRig(GuiHarness& h, std::string boxes, std::vector<int> faulty)
    : m_h(h), m_faulty(std::move(faulty)) {
    const std::string image = dir.Write("app.mot", SRecordImage(0x4000, PatternBytes(8 * 256)));
    std::string error;
    const std::string sha = FileSha256(image, error).value_or("");
    jobPath = dir.Write("widget.toml",
                        "name = \"Widget controller rev C\"\npart = \"R5F212A8SN\"\n"
                        "image = \"app.mot\"\nimage_sha256 = \"" +
                            sha +
                            "\"\nsteps = [\"erase\", \"program\", \"verify\"]\n"
                            "log = \"line.csv\"\nboxes = \"" +
                            boxes + "\"\n[serial]\nat = \"13FF0:4:le\"\nstart = 1000\n");
    h.Window().SetBoxMaker([this](const std::string& name, std::string&) {
        SimOptions options;
        const int index = std::stoi(name.substr(name.find(':') + 1)) - 1;
        if (std::find(m_faulty.begin(), m_faulty.end(), index) != m_faulty.end())
            options.faults.wrongAnswerAtPage = 3;
        auto box = std::make_unique<SimulatedBox>(m_h.clock, options);
        madeBoxes.push_back(box.get());
        return std::unique_ptr<Bridge>(std::move(box));
    });
}

bool OperatorRig::Run(const std::function<void(OperatorWindow&)>& drive) {
    bool driven = false;
    m_h.Window().SetOperatorViewHook([&](OperatorWindow& view) {
        QTimer::singleShot(0, &view, [&] {
            drive(view);
            driven = true;
            if (view.isVisible())
                Leave(view);
        });
    });
    const bool ran = m_h.Window().OpenJobFile(jobPath);
    m_h.Window().SetOperatorViewHook(nullptr);
    return ran && driven;
}

bool OperatorRig::StartAndFinish(OperatorWindow& view) {
    QTest::keyClick(&view, Qt::Key_F5);
    return view.Controller().Running() &&
           GuiHarness::WaitFor([&] { return !view.Controller().Running(); });
}

void OperatorRig::Leave(OperatorWindow& view) {
    view.LeaveAction()->trigger();
}

}  // namespace o8r::test
