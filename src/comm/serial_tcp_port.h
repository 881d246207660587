#pragma once
// TCmWinsockPort: the port component the program places on its main window,
// with a serial and a TCP client device layer.

#include "comm/custom_tcp_port.h"

namespace morvik::comm {

class TCmWinsockPort final : public TCmCustomWinsockPort {
public:
    using TCmCustomWinsockPort::TCmCustomWinsockPort;
};

}  // namespace morvik::comm
