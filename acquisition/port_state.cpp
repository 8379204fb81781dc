#include "acquisition/port_state.h"

#include "comms/serial_link.h"
#include "document/zentra_doc.h"

namespace zentra {

bool PortGone(const CZentraDoc& doc) {
    return doc.m_PortHandle != kInvalidPort && PortGone(doc.m_PortHandle);
}

} // namespace zentra
