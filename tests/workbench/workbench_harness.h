// The workbench's surroundings in tests: a fake clock, a fake port answered by the
// simulated controller's own logic, and an operator who answers every message box; or the
// program's own waits and serial port, reaching the simulated controller program.
#pragma once

#include "fakes.h"
#include "link/serial_port.h"
#include "platform/serial/pdq.h"
#include "platform/serial/pdq_comm.h"
#include "platform/system/waits.h"
#include "records/report_file.h"
#include "shell/module1.h"
#include "sim/controller.h"
#include "sim_process.h"
#include "workbench/controller_identity.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <vector>

namespace testsupport {

// The program's shared variables and the controller's identity as a run starts with them.
inline void resetProgramState() {
    Module1::ResetSharedState();
    workbench::ControllerIdentity::instance().reset();
}

class WorkbenchHarness {
  public:
    WorkbenchHarness() {
        resetProgramState();
        port->responder = [this](const QByteArray& sent, int) {
            const QByteArray line = sent.endsWith("\r\n") ? sent.chopped(2) : sent;
            const auto scripted = replies.find(line);
            if (scripted != replies.end())
                return std::vector<Delivery>{{replyAfterMs, scripted->second}};
            if (silent)
                return std::vector<Delivery>{};
            const sim::Response response = controller.handle(line);
            if (!response.hasReply())
                return std::vector<Delivery>{};
            return std::vector<Delivery>{{replyAfterMs, response.bytes}};
        };
    }
    ~WorkbenchHarness() { resetProgramState(); }
    WorkbenchHarness(const WorkbenchHarness&) = delete;
    WorkbenchHarness& operator=(const WorkbenchHarness&) = delete;

    // The commands sent so far, without their CR LF.
    std::vector<QByteArray> commands() const {
        std::vector<QByteArray> lines;
        for (const QByteArray& sent : port->sent)
            lines.push_back(sent.endsWith("\r\n") ? sent.chopped(2) : sent);
        return lines;
    }
    // How many commands with this text were sent.
    int count(const QByteArray& line) const {
        int n = 0;
        for (const QByteArray& sent : commands())
            n += sent == line ? 1 : 0;
        return n;
    }
    void forget() {
        port->sent.clear();
        boxes.shown.clear();
        waits.sleeps.clear();
    }

    FakeLink link;
    FakeWaits& waits = link.waits;
    FakePort* port = link.port;
    BoxAnswerer boxes;
    sim::Controller controller;
    // Replies that stand in for the controller's own, by command line.
    std::map<QByteArray, QByteArray> replies;
    bool silent = false;
    qint64 replyAfterMs = 20;
};

// Channel 30 as it loads from the simulated controller's factory setup word 0x1200 (0 - 100,
// PSIG): 0.5 V and 4.5 V over 0 to 100, the counts 409 and 3685 of those voltages. The
// calibration command an Accept of it sends, and the record it leaves in the report file.
inline const QByteArray kCalibrationLine = ">(00TC 00 0409 +000.0 3685 +100.0)";
inline const QByteArray kChannel30Record = "0.500    4.500    +000.0    +100.0";
// Channel 30's data area: after the 44-character header, CR LF and the row's 9-character label.
inline constexpr int kChannel30RecordAt = 55;

// The communications box exactly as the operator sees it: its title, and its text when a
// write command could not be sent.
inline const QString kBoxTitle = QStringLiteral("Communications Error");
inline const QString kWriteFailureText =
    QStringLiteral("ERROR Occurred. iStatus =  4, RS-232 Retry Error");

// Points the report file at `directory` and fills it with the template, as the technician's
// folder holds it once the file has been made.
inline void putReportTemplateIn(const QTemporaryDir& directory) {
    ASSERT_TRUE(directory.isValid());
    records::setReportDirectoryForTests(directory.path());
    QFile file(records::reportFilePath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(records::reportTemplate()), records::kReportTemplateSize);
}

// The workbench's surroundings over a real line: the program's own waits (real time, the event
// loop running) and its own serial port 1, reaching the simulated controller `sim` (started
// here) over a pseudo-terminal; the report file in `reportDir`, made from the template.
inline void openRealLine(SimProcess& sim, const QTemporaryDir& reportDir) {
    resetProgramState();
    platform::setWaits(nullptr);
    ASSERT_NE(dynamic_cast<platform::EventLoopWaits*>(&platform::waits()), nullptr);
    ASSERT_NO_FATAL_FAILURE(putReportTemplateIn(reportDir));
    ASSERT_TRUE(sim.start()) << sim.error().toStdString();
    platform::PDQ().replaceComm1(std::make_unique<platform::PdqComm>(sim.directory()));
    ASSERT_TRUE(devicelink::OpenPort(1)) << devicelink::OpenPortError().toStdString();
}

// Ends what openRealLine began, once the workbench is gone: the port closed, a fresh real
// serial control, the report file in its own place, the program's state as a run starts.
inline void closeRealLine() {
    devicelink::ClosePort();
    platform::PDQ().replaceComm1(nullptr);
    records::setReportDirectoryForTests(QString());
    resetProgramState();
}

} // namespace testsupport
