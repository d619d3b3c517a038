#include "platform/serial/pdq.h"

#include "platform/serial/pdq_comm.h"

namespace platform {

SerialControl& PdqHost::Comm1() {
    if (!m_comm1)
        m_comm1 = std::make_unique<PdqComm>();
    return *m_comm1;
}

void PdqHost::replaceComm1(std::unique_ptr<SerialControl> control) {
    m_comm1 = std::move(control);
}

PdqHost& PDQ() {
    static PdqHost host;
    return host;
}

} // namespace platform
